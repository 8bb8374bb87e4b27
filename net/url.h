// The URL layer: canonical URLs, the map binding each URL to a local copy
// in a temporary file, the transfers that fetch http resources into those
// copies (driven from the toolkit's event loop), and posting form data.
// file: URLs are never fetched: they map straight to local path names.
#pragma once
#include <cstddef>

struct UnitContext;
struct LearnUnit;

// Sets up the transfer machinery; once, before the main window opens.
void WWWInit();
// Ends every transfer and removes the local copies of fetched files; at
// exit. Safe to call again.
void WWWFree();
// Advances the transfers under way by what is ready, without blocking.
void ProcessRequests();
// Ends the fetches the program started that are still under way, when it
// ends; their unfinished copies leave the map and the disk.
void endUnitTransfers(const LearnUnit* unit);

// The canonical absolute form of a URL or local path (newly allocated), or
// null when it cannot be formed. Relative names are resolved against the
// base anchor; without one, a name with a scheme stands as it is and a
// path becomes a file://localhost URL relative to the working directory.
// "." and ".." path segments are collapsed.
char* simplifyURL(UnitContext* ctx, const char* url);
char* canonizedURL(UnitContext* ctx, const char* url);
// The relative URL resolved against the given base (newly allocated).
char* AbsoluteURL(const char* base, const char* relative);

// The base anchor, the canonical URL of the current document; null when
// there is none.
const char* baseAnchor(UnitContext* ctx);
// Replaces the base anchor. Mode 0: the canonical form of url, taken
// relative to the working directory; mode 1: the URL whose local copy is
// the file url; any other mode only drops the base.
void NewAnchor(UnitContext* ctx, const char* url, int mode);

// The local file standing for the URL (newly allocated), or null when it
// cannot be had. A URL not in the map yet is fetched; with wait the call
// returns when the copy is complete, serving window events meanwhile,
// without it the transfer goes on in the background. The first URL
// resolved becomes the base anchor when there is none.
char* startResolveURL(UnitContext* ctx, const char* url, int wait);
// The MIME type of the resource (fetching it when needed); an empty text
// when it cannot be had. The text belongs to the map: copy it.
const char* ContentType(UnitContext* ctx, const char* url);
// The URL (newly allocated) whose local copy is the file, or null with a
// message.
char* lookupURL(UnitContext* ctx, const char* localFile);
// Forgets the local copy of a URL so that the next access fetches it
// again; 1 when there was one.
int RemoveMapEntry(UnitContext* ctx, const char* url);

// Posts data of the given length to the URL as a form. Stores the reply
// (newly allocated) through result and returns its length; on failure
// result is null and the result -1.
int PostData(UnitContext* ctx, const char* url, const char* data, std::size_t length, char** result);

// Whether the URL names a local file.
bool isFileURL(const char* url);
// The local path a file: URL names (newly allocated, %XX escapes
// undone), or null for any other URL.
char* localPathOfURL(const char* url);
// Whether a URL would misread the local path: it holds %, #, ?, control
// characters or bytes above 127.
bool pathNeedsEscapes(const char* path);
// The file://localhost URL (newly allocated) whose local path is the given
// path: every byte outside the few a URL path keeps as they are is
// escaped. A relative path is taken from the working directory; null when
// that is unknown.
char* fileURLOfPath(const char* path);
