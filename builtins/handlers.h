// Handlers of the builtin functions, one block per group file. The table in
// builtins/table.cpp binds them to the names programs call; each handler
// receives the unevaluated argument list and reads it through the
// accessors of interp/builtin_frame.h.
#pragma once
#include <cstdint>

#include "interp/records.h"

// builtins/maths.cpp
double Asin(UnitContext* ctx, param* args);
double Acos(UnitContext* ctx, param* args);
double Atan(UnitContext* ctx, param* args);
double Atan2(UnitContext* ctx, param* args);
double Ceil(UnitContext* ctx, param* args);
double Scos(UnitContext* ctx, param* args);
double Cosh(UnitContext* ctx, param* args);
double Fabs(UnitContext* ctx, param* args);
double Floor(UnitContext* ctx, param* args);
double Fmod(UnitContext* ctx, param* args);
double Slog(UnitContext* ctx, param* args);
double Slog10(UnitContext* ctx, param* args);
double Ssin(UnitContext* ctx, param* args);
double Sinh(UnitContext* ctx, param* args);
double Ssqrt(UnitContext* ctx, param* args);
double Tan(UnitContext* ctx, param* args);
double Tanh(UnitContext* ctx, param* args);
// The function a one-argument maths handler applies to its float
// argument, or null for any other handler.
using MathsFunction = double (*)(double);
MathsFunction pureMathsFunction(FltBuiltin handler);

// builtins/convert.cpp
char* IntAsText(UnitContext* ctx, param* args);
std::int32_t Int2Text(UnitContext* ctx, param* args);
std::int32_t TextAsInt(UnitContext* ctx, param* args);
std::int32_t text2Int(UnitContext* ctx, param* args);
double text2Float(UnitContext* ctx, param* args);

// builtins/strings.cpp
std::int32_t Sstrcat(UnitContext* ctx, param* args);
std::int32_t Sstrcmp(UnitContext* ctx, param* args);
std::int32_t Sstrncmp(UnitContext* ctx, param* args);
std::int32_t Sstrlen(UnitContext* ctx, param* args);
std::int32_t Stricmp(UnitContext* ctx, param* args);
std::int32_t Strgetchar(UnitContext* ctx, param* args);
char* SubString(UnitContext* ctx, param* args);

// builtins/sprintf.cpp
char* Ssprintf(UnitContext* ctx, param* args);

// builtins/regmatch.cpp
std::int32_t RegMatch(UnitContext* ctx, param* args);

// builtins/geometry.cpp
std::int32_t addpoint(UnitContext* ctx, param* args);
std::int32_t distsort(UnitContext* ctx, param* args);
std::int32_t linedist(UnitContext* ctx, param* args);
std::int32_t pointdist(UnitContext* ctx, param* args);
std::int32_t project(UnitContext* ctx, param* args);
std::int32_t rotate(UnitContext* ctx, param* args);
std::int32_t scale(UnitContext* ctx, param* args);
std::int32_t visiblesurface(UnitContext* ctx, param* args);
std::int32_t norm_vector(UnitContext* ctx, param* args);
std::int32_t VectorSum(UnitContext* ctx, param* args);
std::int32_t VectorProd(UnitContext* ctx, param* args);
std::int32_t VectorSub(UnitContext* ctx, param* args);

// builtins/system.cpp
std::int32_t sim_time(UnitContext* ctx, param* args);
std::int32_t set_start_time(UnitContext* ctx, param* args);
std::int32_t UnixTime(UnitContext* ctx, param* args);
std::int32_t init_random(UnitContext* ctx, param* args);
std::int32_t get_random(UnitContext* ctx, param* args);
std::int32_t Sexit(UnitContext* ctx, param* args);
std::int32_t EvalStatement(UnitContext* ctx, param* args);
std::int32_t upper_limit(UnitContext* ctx, param* args);
std::int32_t lower_limit(UnitContext* ctx, param* args);

// builtins/input.cpp
std::int32_t input(UnitContext* ctx, param* args);
std::int32_t flush_input(UnitContext* ctx, param* args);
std::int32_t wait_for_input(UnitContext* ctx, param* args);
std::int32_t mouse_pos(UnitContext* ctx, param* args);
std::int32_t set_mouse(UnitContext* ctx, param* args);
std::int32_t getXPoint(UnitContext* ctx, param* args);
std::int32_t getYPoint(UnitContext* ctx, param* args);
std::int32_t halt(UnitContext* ctx, param* args);
std::int32_t sync_input(UnitContext* ctx, param* args);

// builtins/display.cpp
std::int32_t getWindowSize(UnitContext* ctx, param* args);
std::int32_t resize_window(UnitContext* ctx, param* args);
std::int32_t Output(UnitContext* ctx, param* args);
std::int32_t OptimizeObjects(UnitContext* ctx, param* args);
std::int32_t Bell(UnitContext* ctx, param* args);
std::int32_t imageextents(UnitContext* ctx, param* args);
std::int32_t textextents(UnitContext* ctx, param* args);
std::int32_t brighterRGB(UnitContext* ctx, param* args);
std::int32_t darkerRGB(UnitContext* ctx, param* args);
std::int32_t get_color(UnitContext* ctx, param* args);
std::int32_t resetpalette(UnitContext* ctx, param* args);

// builtins/sound.cpp
std::int32_t SndSingle(UnitContext* ctx, param* args);
std::int32_t SndCont(UnitContext* ctx, param* args);
std::int32_t SndStop(UnitContext* ctx, param* args);
std::int32_t PlSingle(UnitContext* ctx, param* args);
std::int32_t PlCont(UnitContext* ctx, param* args);
std::int32_t PlStop(UnitContext* ctx, param* args);

// builtins/network.cpp
char* absolute_url(UnitContext* ctx, param* args);
char* content_type(UnitContext* ctx, param* args);
std::int32_t TamCall(UnitContext* ctx, param* args);
// What call() does once the program may reach the URL; a URL the user
// types into the shell goes straight here, with the user's rights.
void callURL(UnitContext* ctx, const char* url);
std::int32_t link_url(UnitContext* ctx, param* args);
std::int32_t SetAnchor(UnitContext* ctx, param* args);
char* Post(UnitContext* ctx, param* args);

// builtins/streams.cpp
std::int32_t url_open(UnitContext* ctx, param* args);
std::int32_t url_close(UnitContext* ctx, param* args);
std::int32_t ReadFD(UnitContext* ctx, param* args);
std::int32_t WriteFD(UnitContext* ctx, param* args);
std::int32_t Getc(UnitContext* ctx, param* args);
std::int32_t Putc(UnitContext* ctx, param* args);
std::int32_t get_char(UnitContext* ctx, param* args);

// builtins/authoring.cpp
std::int32_t terminate(UnitContext* ctx, param* args);
std::int32_t Load(UnitContext* ctx, param* args);
std::int32_t Save(UnitContext* ctx, param* args);
std::int32_t LoadView(UnitContext* ctx, param* args);
std::int32_t SaveView(UnitContext* ctx, param* args);
std::int32_t GenerateObject(UnitContext* ctx, param* args);
std::int32_t KillObject(UnitContext* ctx, param* args);
std::int32_t TextPopup(UnitContext* ctx, param* args);
std::int32_t IsLegalDir(UnitContext* ctx, param* args);
std::int32_t GetDirectory(UnitContext* ctx, param* args);
std::int32_t ArraySize(UnitContext* ctx, param* args);
std::int32_t ChangeDir(UnitContext* ctx, param* args);
std::int32_t GetFunctions(UnitContext* ctx, param* args);
std::int32_t FreeFile(UnitContext* ctx, param* args);
