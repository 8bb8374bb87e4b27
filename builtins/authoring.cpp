// Authoring builtins, through which a program edits other programs'
// source (authoring/), a few file-system helpers such an editor needs, and
// terminate.
//
// A program fetched by URL may look at local files only with the user's
// allowLocalAccess permission (net/sandbox.h) and save only with
// allowLocalWrite; one started from a local file may do both.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/context.h"
#include "app/shutdown.h"
#include "authoring/display.h"
#include "authoring/model.h"
#include "authoring/view.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/builtin_frame.h"
#include "interp/eval.h"
#include "net/sandbox.h"
#include "net/url.h"
#include "present/objects.h"
#include "present/popups.h"

namespace {

// A program from a local file may save as it always could; one fetched by
// URL needs the user's allowLocalWrite.
bool maySave(UnitContext* ctx) { return programIsLocal(ctx) || mayWriteLocal(ctx, "save a program"); }

// A file name or a file: URL as a path.
std::string localPath(const char* name) {
    if (char* path = localPathOfURL(name)) {
        std::string text(path);
        TamFree(path);
        return text;
    }
    return name;
}

// Replaces the text array's entries by the names, resizing it to fit.
void storeNames(UnitContext* ctx, vinst* array, const std::vector<std::string>& names) {
    resizeArray(ctx, array, static_cast<int>(names.size()), false);
    for (std::size_t i = 0; i < names.size(); ++i) {
        TamFree(array->value.ta[i]);
        array->value.ta[i] = dupText(ctx, names[i].c_str());
    }
    update_changed_attr(ctx, array);
}

vinst* textArrayArgument(UnitContext* ctx, param*& cursor, int argno, const char* fname) {
    param* node = cursor;
    char** storage;
    int size;
    if (getTextArrPar(ctx, cursor, argno, fname, 1, &storage, &size)) return nullptr;
    return arrayInstance(node->expr->left.arr);
}

}  // namespace

std::int32_t terminate(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "terminate", "");
    c_exit(ctx, 0);
}

std::int32_t Load(UnitContext* ctx, param* args) {
    OwnedText name = textArgument(ctx, args, "load");
    if (!name || !mayReadLocal(ctx, "read a program's source")) return 0;
    return kivthor_parse(ctx, localPath(name.get()).c_str());
}

std::int32_t Save(UnitContext* ctx, param* args) {
    OwnedText name = textArgument(ctx, args, "save");
    if (!name || !maySave(ctx)) return 0;
    return kivthor_write(ctx, localPath(name.get()).c_str());
}

std::int32_t LoadView(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText block(getTextPar(ctx, cursor, 1, "loadView"));
    ViewArrays view;
    bool arrays = takeViewArrays(ctx, cursor, 2, "loadView", &view);
    if (arrays) checkPars(ctx, cursor, 1 + VA_ARRAYS, "loadView");
    if (!block || !arrays || !set_current_block(ctx, block.get())) return 0;
    return fillView(ctx, view);
}

std::int32_t SaveView(UnitContext* ctx, param* args) {
    param* cursor = args;
    ViewArrays view;
    if (!takeViewArrays(ctx, cursor, 1, "saveView", &view)) return 0;
    checkPars(ctx, cursor, VA_ARRAYS, "saveView");
    return storeView(ctx, view);
}

std::int32_t GenerateObject(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t index = getIntPar(ctx, cursor, 1, "generateObject");
    ViewArrays view;
    if (!takeViewArrays(ctx, cursor, 2, "generateObject", &view)) return 0;
    checkPars(ctx, cursor, 1 + VA_ARRAYS, "generateObject");
    return generateObjects(ctx, index, view);
}

std::int32_t KillObject(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t index = getIntPar(ctx, cursor, 1, "killObject");
    checkPars(ctx, cursor, 1, "killObject");
    return killObjects(ctx, index);
}

// Lets the user edit a text variable in the shell's modal editor.
std::int32_t TextPopup(UnitContext* ctx, param* args) {
    if (!args || !isTextVariable(args)) {
        takeArguments(ctx, args, "textPopup", "T");
        return 0;
    }
    checkPars(ctx, nextOf(args), 1, "textPopup");
    char* text = t_par_value(ctx, args);
    t_set_par_value(ctx, args, textEditPopup(ctx, text ? text : emptyText(ctx)));
    return 1;
}

std::int32_t IsLegalDir(UnitContext* ctx, param* args) {
    OwnedText path = textArgument(ctx, args, "isLegalDir");
    if (!path || !mayReadLocal(ctx, "look at local directories")) return 0;
    struct stat info;
    return stat(localPath(path.get()).c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 1 : 0;
}

std::int32_t GetDirectory(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText path(getTextPar(ctx, cursor, 1, "getDirectory"));
    vinst* array = textArrayArgument(ctx, cursor, 2, "getDirectory");
    if (array) checkPars(ctx, cursor, 2, "getDirectory");
    if (!path || !array || !mayReadLocal(ctx, "list a local directory")) return -1;
    DIR* dir = opendir(localPath(path.get()).c_str());
    if (!dir) return -1;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
    storeNames(ctx, array, names);
    return static_cast<std::int32_t>(names.size());
}

// The size of one dimension (from 1) of an array of any type; without a
// dimension the first.
std::int32_t ArraySize(UnitContext* ctx, param* args) {
    if (!args) {
        paramErrorDS(ctx, kNoLine, "arg %d (integer array) missing in function %s", 1, "arraySize");
        return 0;
    }
    op* expr = args->expr;
    bool isArray = expr && (expr->flag == VT_INT_ARRAY || expr->flag == VT_FLOAT_ARRAY ||
                            expr->flag == VT_TEXT_ARRAY) && !expr->left.arr->indexes;
    vinst* array = isArray ? arrayInstance(expr->left.arr) : nullptr;
    if (!array || !array->decl || !array->dims) {
        paramErrorDS(ctx, args->line, "arg %d wrong type (expected integer array) in function %s", 1, "arraySize");
        return 0;
    }
    param* cursor = nextOf(args);
    std::int32_t dimension = cursor ? getIntPar(ctx, cursor, 2, "arraySize") : 1;
    checkPars(ctx, cursor, 2, "arraySize");
    if (dimension < 1 || dimension > array->decl->ndims) {
        paramError(ctx, args->line, "Array is not one dimensional");
        return 0;
    }
    return array->dims[dimension - 1];
}

std::int32_t ChangeDir(UnitContext* ctx, param* args) {
    OwnedText path = textArgument(ctx, args, "changeDir");
    if (!path || !mayReadLocal(ctx, "change the working directory")) return -1;
    return chdir(localPath(path.get()).c_str()) == 0 ? 0 : -1;
}

std::int32_t GetFunctions(UnitContext* ctx, param* args) {
    param* cursor = args;
    vinst* array = textArrayArgument(ctx, cursor, 1, "getFunctions");
    if (!array) return 0;
    checkPars(ctx, cursor, 1, "getFunctions");
    std::vector<std::string> names;
    int count = get_kiv_blocks(ctx, &names);
    if (count > 0) storeNames(ctx, array, names);
    return count;
}

std::int32_t FreeFile(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "freeFile", "");
    kivthor_free(ctx);
    return 1;
}
