// Includes and links. Library files are kept as local copies in the
// directory named by KIVLIBPATH; a copy whose "name" line declares at least
// the requested version is used as it is, otherwise the URL is fetched
// into it. Every program may use a current copy, but only a program loaded
// from a local file, or one the user let write local files, may create or
// replace one: the next trusted program to include the library would run
// it. Any other program parses the fetched file straight from the
// download. Includes that are open inside each other are tracked so that a
// file including itself, directly or through others, is cut off with a
// message instead of recursing without end.
#include "lang/include.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/messages.h"
#include "lang/diagnostics.h"
#include "net/sandbox.h"

namespace {

// Names of the includes being parsed, outermost first.
std::vector<std::string> openIncludes;

std::string localPath(const UnitContext* ctx, const char* name) {
    return std::string(ctx->libraryDir) + "/" + name + ".kiv";
}

// Whether the copy at the path declares at least the version.
bool copyIsCurrent(const std::string& path, int version) {
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (!file) return false;
    char line[512] = "";
    bool current = false;
    if (std::fgets(line, sizeof line, file)) {
        char name[256];
        int declared = 0;
        int fields = std::sscanf(line, "name %255s %d", name, &declared);
        current = fields >= 1 && declared >= version;
    }
    std::fclose(file);
    return current;
}

// Copies the stream into the file in blocks of 256 bytes. The copy is
// written beside the file and renamed over it only when complete, so a
// failed write (a full disk) leaves the earlier copy as it was.
bool storeCopy(KivStream* in, const std::string& path) {
    std::string partial = path + ".part" + std::to_string(getpid());
    std::FILE* out = std::fopen(partial.c_str(), "wbe");
    if (!out) return false;
    char block[256];
    bool ok = true;
    for (;;) {
        std::size_t n = KivRead(in, block, sizeof block);
        if (n > 0 && std::fwrite(block, 1, n, out) != n) ok = false;
        if (n < sizeof block || !ok) break;
    }
    if (std::fclose(out) != 0) ok = false;
    if (ok) ok = std::rename(partial.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(partial.c_str());
    return ok;
}

KivStream* openCopy(UnitContext* ctx, const std::string& path) {
    return KivOpen(ctx, ("file://localhost" + path).c_str());
}

// Whether the running program may create or replace library copies.
bool mayStoreCopy(UnitContext* ctx) {
    return programIsLocal(ctx) || mayWriteLocal(ctx, "replace a library file");
}

// Opens an included or linked file named by URL, if the program may read it.
KivStream* openSource(UnitContext* ctx, const char* url, const char* what) {
    if (!mayReadURL(ctx, url, what)) return nullptr;
    return KivOpen(ctx, url);
}

}  // namespace

KivStream* open_local_copy(UnitContext* ctx, const char* name, const char* url, int version) {
    if (!ctx->libraryDir || !name) return nullptr;
    std::string path = localPath(ctx, name);
    if (copyIsCurrent(path, version)) return openCopy(ctx, path);
    if (!url) return nullptr;
    KivStream* remote = openSource(ctx, url, "include local file");
    if (!remote) return nullptr;
    if (!mayStoreCopy(ctx)) return remote;
    bool stored = storeCopy(remote, path);
    KivClose(remote);
    return stored ? openCopy(ctx, path) : nullptr;
}

void includeLibrary(UnitContext* ctx, const char* name, const char* url, int version) {
    std::string key = ctx->libraryDir ? name : (url ? url : "");
    for (const std::string& open : openIncludes) {
        if (open == key) {
            parse_error(ctx, formatMsg("Include of \"%s\" skipped: it includes itself", name).c_str());
            return;
        }
    }
    if (static_cast<int>(openIncludes.size()) >= kMaxIncludeDepth) {
        parse_error(ctx, formatMsg("Include of \"%s\" skipped: includes nested more than %d deep", name,
                                   kMaxIncludeDepth).c_str());
        return;
    }
    KivStream* stream = nullptr;
    if (ctx->libraryDir)
        stream = open_local_copy(ctx, name, url, version);
    else if (url)
        stream = openSource(ctx, url, "include local file");
    if (!stream) return;
    openIncludes.push_back(key);
    parseNested(ctx, stream, false);
    openIncludes.pop_back();
    KivClose(stream);
}

bool LinkUrl(UnitContext* ctx, const char* url) {
    if (!url || !ctx->learnUnit) return true;
    if (!mayReadURL(ctx, url, "link local file")) return false;
    KivStream* stream = KivOpen(ctx, url);
    if (!stream) return true;
    parseNested(ctx, stream, true);
    KivClose(stream);
    return true;
}
