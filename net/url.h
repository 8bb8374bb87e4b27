// The URL layer: canonical URLs, local copies of what URLs name, and the
// transfers that fetch them.
#pragma once

struct UnitContext;

// Sets up the transfer machinery; once, before the main window opens.
void WWWInit();
// Removes the local copies of fetched files; at exit.
void WWWFree();
// Advances the background transfers by what is ready, without blocking.
void ProcessRequests();
// Forgets the local copy of a URL so that the next access fetches it
// again; 1 when there was one.
int RemoveMapEntry(UnitContext* ctx, const char* url);

// The canonical absolute form of a URL or local path (newly allocated), or
// null when it cannot be formed. A name without a scheme becomes a
// file://localhost URL relative to the working directory; "." and ".."
// path segments are collapsed.
char* simplifyURL(UnitContext* ctx, const char* url);
char* canonizedURL(UnitContext* ctx, const char* url);

// The local path a file: URL names (newly allocated), or null for any
// other URL.
char* localPathOfURL(const char* url);
