// Authoring builtins, through which a program edits other programs'
// source, and terminate. Until the source model is linked in, the model
// builtins check their arguments and return 0.
#include "app/shutdown.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "interp/builtin_frame.h"
#include "present/popups.h"

std::int32_t terminate(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "terminate", "");
    c_exit(ctx, 0);
}

std::int32_t Load(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "load", "t");
    return 0;
}

std::int32_t Save(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "save", "t");
    return 0;
}

// The view builtins take a block name or index and 19 arrays of mixed
// types; their arguments are read by the model code itself.
std::int32_t LoadView(UnitContext*, param*) { return 0; }
std::int32_t SaveView(UnitContext*, param*) { return 0; }
std::int32_t GenerateObject(UnitContext*, param*) { return 0; }

std::int32_t KillObject(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "killObject", "i");
    return 0;
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
    takeArguments(ctx, args, "isLegalDir", "t");
    return 0;
}

std::int32_t GetDirectory(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "getDirectory", "tT");
    return 0;
}

std::int32_t ArraySize(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "arraySize", "Ii");
    return 0;
}

std::int32_t ChangeDir(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "changeDir", "t");
    return 0;
}

std::int32_t GetFunctions(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "getFunctions", "T");
    return 0;
}

std::int32_t FreeFile(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "freeFile", "");
    return 0;
}
