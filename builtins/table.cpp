// The builtin table and its lookup. The parser consults get_func for every
// identifier it resolves, so lookup goes through a name-sorted index built
// on first use instead of walking the table.
#include "builtins/table.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "builtins/handlers.h"

const BuiltinEntry funcarray[] = {
    {"absoluteURL", BT_TEXT, nullptr, nullptr, absolute_url},
    {"addPoint", BT_INT, addpoint, nullptr, nullptr},
    {"asin", BT_FLOAT, nullptr, Asin, nullptr},
    {"acos", BT_FLOAT, nullptr, Acos, nullptr},
    {"atan", BT_FLOAT, nullptr, Atan, nullptr},
    {"atan2", BT_FLOAT, nullptr, Atan2, nullptr},
    {"bell", BT_INT, Bell, nullptr, nullptr},
    {"brighterRGB", BT_INT, brighterRGB, nullptr, nullptr},
    {"call", BT_INT, TamCall, nullptr, nullptr},
    {"ceil", BT_FLOAT, nullptr, Ceil, nullptr},
    {"close", BT_INT, url_close, nullptr, nullptr},
    {"contentType", BT_TEXT, nullptr, nullptr, content_type},
    {"contPlay", BT_INT, PlCont, nullptr, nullptr},
    {"contSound", BT_INT, SndCont, nullptr, nullptr},
    {"cos", BT_FLOAT, nullptr, Scos, nullptr},
    {"cosh", BT_FLOAT, nullptr, Cosh, nullptr},
    {"darkerRGB", BT_INT, darkerRGB, nullptr, nullptr},
    {"distSort", BT_INT, distsort, nullptr, nullptr},
    {"elapsedTime", BT_INT, sim_time, nullptr, nullptr},
    {"exit", BT_INT, Sexit, nullptr, nullptr},
    {"eval", BT_INT, EvalStatement, nullptr, nullptr},
    {"fabs", BT_FLOAT, nullptr, Fabs, nullptr},
    {"floor", BT_FLOAT, nullptr, Floor, nullptr},
    {"fmod", BT_FLOAT, nullptr, Fmod, nullptr},
    {"flushInput", BT_INT, flush_input, nullptr, nullptr},
    {"getchar", BT_INT, get_char, nullptr, nullptr},
    {"getc", BT_INT, Getc, nullptr, nullptr},
    {"getInt", BT_INT, text2Int, nullptr, nullptr},
    {"getFloat", BT_FLOAT, nullptr, text2Float, nullptr},
    {"getXPoint", BT_INT, getXPoint, nullptr, nullptr},
    {"getYPoint", BT_INT, getYPoint, nullptr, nullptr},
    {"getWindowSize", BT_INT, getWindowSize, nullptr, nullptr},
    {"imageExtents", BT_INT, imageextents, nullptr, nullptr},
    {"initRandom", BT_INT, init_random, nullptr, nullptr},
    {"input", BT_INT, input, nullptr, nullptr},
    {"intAsText", BT_TEXT, nullptr, nullptr, IntAsText},
    {"int2text", BT_INT, Int2Text, nullptr, nullptr},
    {"lineDist", BT_INT, linedist, nullptr, nullptr},
    {"link", BT_INT, link_url, nullptr, nullptr},
    {"limVarHigh", BT_INT, upper_limit, nullptr, nullptr},
    {"limVarLow", BT_INT, lower_limit, nullptr, nullptr},
    {"log", BT_FLOAT, nullptr, Slog, nullptr},
    {"log10", BT_FLOAT, nullptr, Slog10, nullptr},
    {"mousePos", BT_INT, mouse_pos, nullptr, nullptr},
    {"normVector", BT_INT, norm_vector, nullptr, nullptr},
    {"open", BT_INT, url_open, nullptr, nullptr},
    {"optimizeObjects", BT_INT, OptimizeObjects, nullptr, nullptr},
    {"output", BT_INT, Output, nullptr, nullptr},
    {"pixelColor", BT_INT, get_color, nullptr, nullptr},
    {"play", BT_INT, PlSingle, nullptr, nullptr},
    {"pointDist", BT_INT, pointdist, nullptr, nullptr},
    {"post", BT_TEXT, nullptr, nullptr, Post},
    {"project", BT_INT, project, nullptr, nullptr},
    {"putc", BT_INT, Putc, nullptr, nullptr},
    {"random", BT_INT, get_random, nullptr, nullptr},
    {"read", BT_INT, ReadFD, nullptr, nullptr},
    {"regmatch", BT_INT, RegMatch, nullptr, nullptr},
    {"resetPalette", BT_INT, resetpalette, nullptr, nullptr},
    {"resizeWindow", BT_INT, resize_window, nullptr, nullptr},
    {"rotate", BT_INT, rotate, nullptr, nullptr},
    {"scale", BT_INT, scale, nullptr, nullptr},
    {"setAnchor", BT_INT, SetAnchor, nullptr, nullptr},
    {"setCursorPos", BT_INT, set_mouse, nullptr, nullptr},
    {"sin", BT_FLOAT, nullptr, Ssin, nullptr},
    {"sinh", BT_FLOAT, nullptr, Sinh, nullptr},
    {"sound", BT_INT, SndSingle, nullptr, nullptr},
    {"sprintf", BT_TEXT, nullptr, nullptr, Ssprintf},
    {"sqrt", BT_FLOAT, nullptr, Ssqrt, nullptr},
    {"startTime", BT_INT, set_start_time, nullptr, nullptr},
    {"stopPlay", BT_INT, PlStop, nullptr, nullptr},
    {"stopSound", BT_INT, SndStop, nullptr, nullptr},
    {"strcat", BT_INT, Sstrcat, nullptr, nullptr},
    {"strcmp", BT_INT, Sstrcmp, nullptr, nullptr},
    {"strncmp", BT_INT, Sstrncmp, nullptr, nullptr},
    {"strlen", BT_INT, Sstrlen, nullptr, nullptr},
    {"stricmp", BT_INT, Stricmp, nullptr, nullptr},
    {"strgetchar", BT_INT, Strgetchar, nullptr, nullptr},
    {"substr", BT_TEXT, nullptr, nullptr, SubString},
    {"sync", BT_INT, sync_input, nullptr, nullptr},
    {"tan", BT_FLOAT, nullptr, Tan, nullptr},
    {"tanh", BT_FLOAT, nullptr, Tanh, nullptr},
    {"text2int", BT_INT, text2Int, nullptr, nullptr},
    {"textAsInt", BT_INT, TextAsInt, nullptr, nullptr},
    {"textExtents", BT_INT, textextents, nullptr, nullptr},
    {"time", BT_INT, UnixTime, nullptr, nullptr},
    {"translate", BT_INT, addpoint, nullptr, nullptr},
    {"unixTime", BT_INT, UnixTime, nullptr, nullptr},
    {"vectorSum", BT_INT, VectorSum, nullptr, nullptr},
    {"vectorProd", BT_INT, VectorProd, nullptr, nullptr},
    {"vectorAdd", BT_INT, norm_vector, nullptr, nullptr},
    {"vectorSub", BT_INT, VectorSub, nullptr, nullptr},
    {"visibleSurface", BT_INT, visiblesurface, nullptr, nullptr},
    {"wait", BT_INT, halt, nullptr, nullptr},
    {"waitOnInput", BT_INT, wait_for_input, nullptr, nullptr},
    {"write", BT_INT, WriteFD, nullptr, nullptr},
    {"terminate", BT_INT, terminate, nullptr, nullptr},
    {"load", BT_INT, Load, nullptr, nullptr},
    {"save", BT_INT, Save, nullptr, nullptr},
    {"loadView", BT_INT, LoadView, nullptr, nullptr},
    {"saveView", BT_INT, SaveView, nullptr, nullptr},
    {"generateObject", BT_INT, GenerateObject, nullptr, nullptr},
    {"killObject", BT_INT, KillObject, nullptr, nullptr},
    {"textPopup", BT_INT, TextPopup, nullptr, nullptr},
    {"isLegalDir", BT_INT, IsLegalDir, nullptr, nullptr},
    {"getDirectory", BT_INT, GetDirectory, nullptr, nullptr},
    {"arraySize", BT_INT, ArraySize, nullptr, nullptr},
    {"changeDir", BT_INT, ChangeDir, nullptr, nullptr},
    {"getFunctions", BT_INT, GetFunctions, nullptr, nullptr},
    {"freeFile", BT_INT, FreeFile, nullptr, nullptr},    {nullptr, 0, nullptr, nullptr, nullptr},
};

namespace {

constexpr std::size_t kBuiltinCount = sizeof funcarray / sizeof funcarray[0] - 1;

bool nameBefore(const BuiltinEntry* a, const BuiltinEntry* b) {
    return std::strcmp(a->name, b->name) < 0;
}

const std::array<const BuiltinEntry*, kBuiltinCount>& sortedIndex() {
    static const auto index = [] {
        std::array<const BuiltinEntry*, kBuiltinCount> entries{};
        for (std::size_t i = 0; i < kBuiltinCount; ++i) entries[i] = &funcarray[i];
        std::sort(entries.begin(), entries.end(), nameBefore);
        return entries;
    }();
    return index;
}

}  // namespace

const BuiltinEntry* get_func(const char* name) {
    if (!name) return nullptr;
    const auto& index = sortedIndex();
    BuiltinEntry probe{name, 0, nullptr, nullptr, nullptr};
    auto found = std::lower_bound(index.begin(), index.end(), &probe, nameBefore);
    if (found == index.end() || std::strcmp((*found)->name, name) != 0) return nullptr;
    return *found;
}
