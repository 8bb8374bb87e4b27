// Helpers shared by the builtin groups: owned texts, tests on argument
// nodes, and the language's int arithmetic (interp/numeric.h), which the
// handlers use so that they compute exactly as the evaluator does.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/alloc.h"
#include "interp/numeric.h"
#include "interp/records.h"

struct FreeText {
    void operator()(char* text) const noexcept { TamFree(text); }
};
// A text obtained from an accessor or an evaluator, freed on scope exit.
using OwnedText = std::unique_ptr<char, FreeText>;

// New texts for handler results; out of memory ends the player.
char* newText(UnitContext* ctx, const char* bytes, std::size_t length);
char* newText(UnitContext* ctx, const char* text);
char* emptyText(UnitContext* ctx);

// True when the argument names a text variable or a text array element,
// the only arguments a handler can store a text into.
bool isTextVariable(const param* node);
// True for an int variable or an int array element.
bool isIntVariable(const param* node);

// Takes and checks a fixed argument list described by kinds, one letter per
// argument: i int, f float, t text; I and T an int or text variable the
// handler would store into (checked for presence only). Reports extra arguments. For handlers
// that only need their arguments checked.
void takeArguments(UnitContext* ctx, param* args, const char* name, const char* kinds);

// The one text argument of a builtin that takes exactly one, checked.
OwnedText textArgument(UnitContext* ctx, param* args, const char* name);
