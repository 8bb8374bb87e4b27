// Bringing other files into a parse: the include declaration with its
// local copies in the library directory, and the run-time link.
#pragma once
#include "net/kivstream.h"

struct UnitContext;
struct LearnUnit;

// A stream on the current local copy of a library file, fetching the URL
// into the library directory when the copy is missing or older than the
// version; null when nothing can be opened.
KivStream* open_local_copy(UnitContext* ctx, const char* name, const char* url, int version);

// The include declaration: parses the library file's declarations into
// the current learn unit. A file that cannot be opened is skipped
// silently; an include cycle is reported and cut.
void includeLibrary(UnitContext* ctx, const char* name, const char* url, int version);

// Parses the declarations of the tokens of the running nested parse into
// the learn unit (no back-patching).
void includeFile(UnitContext* ctx, LearnUnit* unit);

// Scans a stream and parses its declarations into the current learn unit
// with a parser of its own; the caller's parse resumes afterwards. With
// resolveCalls, calls of functions the file declares later are
// back-patched at its end.
void parseNested(UnitContext* ctx, KivStream* stream, bool resolveCalls);

// The link builtin: parses the file at the URL into the current learn unit.
// False only when the program may not read the file; a file that cannot
// be opened is skipped silently.
bool LinkUrl(UnitContext* ctx, const char* url);

// Most includes that may be open inside each other.
inline constexpr int kMaxIncludeDepth = 32;
