// Error reporting of the language front end: parse errors at the current
// token's line or at a given line, and lexical errors of the scanner.
#pragma once

struct UnitContext;

// "Error at line %d: %s\n" through errorMsg at the error level, so RS_STOP
// is set and the program will not start.
void parse_error(UnitContext* ctx, const char* text);
void parse_lerror(UnitContext* ctx, const char* text, int line);

// "%s near line %d (text was '%s')\n" on standard error; RS_STOP stays.
void lexicalError(const char* text, int line, const char* tokenText);

// Reports a failed grammar predicate on standard error; RS_STOP stays.
void failedPredicate(const char* predicate);

// The line of the token the running parse stands at (0 outside parses).
int currentParseLine();

// Reporter of the object model's declaration messages: the text at the
// current token's line, at the level the object model gives.
void reportDeclaration(UnitContext* ctx, int level, const char* text);
