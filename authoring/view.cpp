// The view arrays: taking them from a builtin's arguments, resizing them in
// place, and copying objects between them and the source model.
#include "authoring/view.h"

#include <algorithm>
#include <cstring>

#include "app/context.h"
#include "authoring/model.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/builtin_frame.h"
#include "interp/eval.h"

namespace {

constexpr int kCodes[] = {2, 15, 16, 17, 18, 19, 20, 21, 22};
constexpr const char* kKeywords[] = {"image", "point", "line", "arc", "box", "polygon", "textobj", "inputarea", "window"};

// The int arrays 5 to 14 and the text arrays 16 to 19, by model attribute.
constexpr int kViewInts[] = {MA_COLOR, MA_ACTIVE,  MA_SAVEBACKGROUND, MA_LEVEL,      MA_FILL,
                             MA_TEXTURE, MA_DASHES, MA_LINEWIDTH,     MA_STARTANGLE, MA_ENDANGLE};
constexpr int kViewTexts[] = {MA_FONT, MA_OUTTEXT, MA_IMAGE, MA_TRANSLATION};

bool isTextArray(int array) { return array >= kFirstViewText; }
bool isPointArray(int array) { return array == VA_X || array == VA_Y; }

long offsetOf(const vinst* inst, int row, int column) {
    int n = inst->decl->ndims;
    long offset = static_cast<long>(row) * inst->dims[n];
    if (n > 1) offset += static_cast<long>(column) * inst->dims[n + 1];
    return offset;
}

int rowsOf(const vinst* inst) { return inst && inst->dims ? inst->dims[0] : 0; }
int columnsOf(const vinst* inst) { return inst->decl->ndims > 1 ? inst->dims[1] : 1; }

char** textSlot(const ViewArrays& view, int array, int row) {
    vinst* inst = view.array[array];
    if (row < 0 || row >= rowsOf(inst) || !inst->value.ta) return nullptr;
    return inst->value.ta + offsetOf(inst, row, 0);
}

void setViewText(UnitContext* ctx, const ViewArrays& view, int array, int row, const std::string& text) {
    if (char** slot = textSlot(view, array, row)) {
        TamFree(*slot);
        *slot = dupText(ctx, text.c_str());
    }
}

std::string viewText(const ViewArrays& view, int array, int row) {
    char** slot = textSlot(view, array, row);
    return slot && *slot ? std::string(*slot) : std::string();
}

// A changed value of a constant written in the source replaces it: the
// source text would otherwise be written back over the edit.
void storeInt(SourceObject* obj, int attr, std::int32_t value) {
    if (obj->ints[attr] == value) return;
    if (obj->flags[attr] == VF_SOURCE) obj->raw[attr].clear();
    obj->ints[attr] = value;
}

void storeText(SourceObject* obj, int attr, const std::string& value) {
    std::string& slot = obj->texts[attr - kIntAttrs];
    if (slot == value) return;
    if (obj->flags[attr] == VF_SOURCE || attr == MA_TRANSLATION) obj->raw[attr].clear();
    slot = value;
}

void fillEntry(UnitContext* ctx, const ViewArrays& view, int row, const SourceObject* obj) {
    setViewInt(view, VA_KIND, row, authoringCode(obj->kind.c_str()));
    int count = static_cast<int>(obj->points.size());
    setViewInt(view, VA_COUNT, row, count);
    for (int j = 0; j < std::min(count, kViewPoints); ++j) {
        setViewInt(view, VA_X, row, obj->points[j].x, j);
        setViewInt(view, VA_Y, row, obj->points[j].y, j);
    }
    for (int i = 0; i < 10; ++i) setViewInt(view, kFirstViewInt + i, row, obj->ints[kViewInts[i]]);
    setViewText(ctx, view, VA_NAME, row, obj->name);
    for (int i = 0; i < 4; ++i) setViewText(ctx, view, VA_FONT + i, row, obj->texts[kViewTexts[i] - kIntAttrs]);
}

// Points beyond the view's 16 columns keep their model values.
void storePoints(const ViewArrays& view, int row, SourceObject* obj) {
    int count = std::max(0, viewInt(view, VA_COUNT, row));
    count = std::min<int>(count, std::max<int>(kViewPoints, static_cast<int>(obj->points.size())));
    obj->points.resize(count);
    for (int j = 0; j < std::min(count, kViewPoints); ++j) {
        SourcePoint& p = obj->points[j];
        p.x = viewInt(view, VA_X, row, j);
        p.y = viewInt(view, VA_Y, row, j);
    }
}

void storeEntry(const ViewArrays& view, int row, SourceObject* obj) {
    if (const char* keyword = authoringKeyword(viewInt(view, VA_KIND, row))) {
        if (authoringCode(obj->kind.c_str()) != viewInt(view, VA_KIND, row)) obj->kind = keyword;
    }
    storePoints(view, row, obj);
    for (int i = 0; i < 10; ++i) storeInt(obj, kViewInts[i], viewInt(view, kFirstViewInt + i, row));
    obj->name = viewText(view, VA_NAME, row);
    for (int i = 0; i < 4; ++i) storeText(obj, kViewTexts[i], viewText(view, VA_FONT + i, row));
}

}  // namespace

// Point arrays get 16 columns; the dimension's sizes and strides follow.
void resizeArray(UnitContext* ctx, vinst* inst, int rows, bool keep) {
    int ndims = inst->decl->ndims;
    int columns = ndims > 1 ? kViewPoints : 1;
    bool text = inst->decl->type == VT_TEXT_ARRAY;
    std::size_t size = text ? sizeof(char*) : sizeof(std::int32_t);
    std::size_t cells = static_cast<std::size_t>(rows) * columns;
    void* storage = TamCalloc(cells ? cells : 1, size);
    if (!storage) outOfMemory(ctx);
    int oldRows = rowsOf(inst), oldColumns = inst->dims ? columnsOf(inst) : 0;
    long oldCount = elementCount(inst);
    for (int r = 0; keep && r < std::min(rows, oldRows); ++r) {
        for (int c = 0; c < std::min(columns, oldColumns); ++c) {
            long from = offsetOf(inst, r, c);
            std::size_t to = static_cast<std::size_t>(r) * columns + c;
            if (text) {
                static_cast<char**>(storage)[to] = inst->value.ta[from];
                inst->value.ta[from] = nullptr;
            } else {
                static_cast<std::int32_t*>(storage)[to] = inst->value.ia[from];
            }
        }
    }
    if (text) {
        for (long i = 0; inst->value.ta && i < oldCount; ++i) TamFree(inst->value.ta[i]);
        for (std::size_t i = 0; i < cells; ++i)
            if (!static_cast<char**>(storage)[i]) static_cast<char**>(storage)[i] = dupText(ctx, "");
    }
    TamFree(inst->value.p);
    inst->value.p = storage;
    if (!inst->dims) inst->dims = static_cast<std::int32_t*>(mustAlloc(ctx, sizeof(std::int32_t) * 2 * ndims));
    inst->dims[0] = rows;
    if (ndims > 1) {
        inst->dims[1] = columns;
        inst->dims[2] = columns;
        inst->dims[3] = 1;
    } else {
        inst->dims[1] = 1;
    }
}

bool takeViewArrays(UnitContext* ctx, param*& cursor, int argno, const char* fname, ViewArrays* view) {
    for (int i = 0; i < VA_ARRAYS; ++i) {
        param* node = cursor;
        int ndims = isPointArray(i) ? 2 : 1;
        int failed;
        if (isTextArray(i)) {
            char** storage;
            int size;
            failed = getTextArrPar(ctx, cursor, argno + i, fname, ndims, &storage, &size);
        } else {
            std::int32_t* storage;
            int size;
            failed = getIntArrPar(ctx, cursor, argno + i, fname, ndims, &storage, &size);
        }
        if (failed) return false;
        view->array[i] = arrayInstance(node->expr->left.arr);
        if (!view->array[i] || !view->array[i]->dims) return false;
    }
    return true;
}

int viewLength(const ViewArrays& view) {
    int n = rowsOf(view.array[0]);
    for (vinst* inst : view.array) n = std::min(n, rowsOf(inst));
    return n;
}

std::int32_t viewInt(const ViewArrays& view, int array, int row, int column) {
    vinst* inst = view.array[array];
    if (row < 0 || row >= rowsOf(inst) || column >= columnsOf(inst) || !inst->value.ia) return 0;
    return inst->value.ia[offsetOf(inst, row, column)];
}

void setViewInt(const ViewArrays& view, int array, int row, std::int32_t value, int column) {
    vinst* inst = view.array[array];
    if (row < 0 || row >= rowsOf(inst) || column >= columnsOf(inst) || !inst->value.ia) return;
    inst->value.ia[offsetOf(inst, row, column)] = value;
}

void resizeView(UnitContext* ctx, const ViewArrays& view, int rows, bool keep) {
    for (vinst* inst : view.array) resizeArray(ctx, inst, rows, keep);
}

void markViewChanged(UnitContext* ctx, const ViewArrays& view) {
    for (vinst* inst : view.array) update_changed_attr(ctx, inst);
}

int authoringCode(const char* keyword) {
    for (std::size_t i = 0; i < std::size(kCodes); ++i)
        if (std::strcmp(kKeywords[i], keyword) == 0) return kCodes[i];
    return 0;
}

const char* authoringKeyword(int code) {
    for (std::size_t i = 0; i < std::size(kCodes); ++i)
        if (kCodes[i] == code) return kKeywords[i];
    return nullptr;
}

int fillView(UnitContext* ctx, const ViewArrays& view) {
    AuthoringState& state = authoringState(ctx);
    int rows = static_cast<int>(state.table.size());
    resizeView(ctx, view, rows, false);
    for (int row = 0; row < rows; ++row)
        if (const SourceObject* obj = state.table[row].object) fillEntry(ctx, view, row, obj);
    markViewChanged(ctx, view);
    return 1;
}

// The last entry of the arrays is the spare slot; entries beyond the
// table have no object to go to.
int storeView(UnitContext* ctx, const ViewArrays& view) {
    AuthoringState& state = authoringState(ctx);
    int rows = std::min<int>(viewLength(view) - 1, static_cast<int>(state.table.size()));
    int stored = 0;
    for (int row = 0; row < rows; ++row) {
        if (SourceObject* obj = state.table[row].object) {
            storeEntry(view, row, obj);
            ++stored;
        }
    }
    return stored;
}
