// The boundary around what a program may touch on this machine. Rights
// follow the origin of the running program: one loaded from a local file
// keeps the full rights it always had, while one that came over the
// network may not read local files unless the user allowed local access.
// Writing needs the user's permission whatever the origin. Every builtin
// and parse step that reaches files, local URLs or the outside browser
// asks here.
#pragma once

struct UnitContext;

// Whether the running program (the current learn unit) was loaded from a
// local file. Code it included or linked, statements it evaluates and its
// translations share its origin. With no program running the request
// comes from the user, who may do anything.
bool programIsLocal(const UnitContext* ctx);

// Whether the URL or path names a local file: a file: URL, or a name
// without a scheme.
bool urlIsLocal(const char* url);

// Whether the running program may read local files; when it may not, one
// warning saying it tried to do `what` is printed and the answer is false.
bool mayReadLocal(UnitContext* ctx, const char* what);

// Whether the program may write local files (the user's allowLocalWrite),
// with the same warning when it may not.
bool mayWriteLocal(UnitContext* ctx, const char* what);

// Opening a local file for reading and writing at once needs both the
// user's allowLocalAccess and allowLocalWrite, whatever the origin.
bool mayReadWriteLocal(UnitContext* ctx, const char* what);

// mayReadLocal for a resource named by URL: URLs that are not local need
// no permission. The URL is taken as the URL layer will resolve it, so
// relative names count by what they resolve to.
bool mayReadURL(UnitContext* ctx, const char* url, const char* what);
