// Kiv streams: buffered reading of the complete local copy a URL stands
// for. Opening waits for a fetch still under way.
#include "net/kivstream.h"

#include <sys/stat.h>

#include "core/alloc.h"
#include "net/url.h"

namespace {

// A directory opens like a file on this system but reads nothing; it is
// refused so that the caller reports it as not openable.
bool isDirectory(std::FILE* file) {
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

KivStream* KivOpen(UnitContext* ctx, const char* url) {
    char* path = startResolveURL(ctx, url, 1);
    if (!path) return nullptr;
    std::FILE* file = std::fopen(path, "rbe");
    TamFree(path);
    if (file && isDirectory(file)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int KivClose(KivStream* stream) { return std::fclose(stream); }

std::size_t KivRead(KivStream* stream, void* buffer, std::size_t n) {
    return std::fread(buffer, 1, n, stream);
}

std::size_t KivWrite(KivStream* stream, const void* data, std::size_t n) {
    return std::fwrite(data, 1, n, stream);
}

int KivGetc(KivStream* stream) { return std::getc(stream); }

int KivUngetc(int c, KivStream* stream) { return std::ungetc(c, stream); }
