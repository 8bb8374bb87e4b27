// Start-up and shutdown of the URL layer, and posting forms: a POST gets a
// map entry of its own ("internal:post/" and the URL) whose temporary copy
// receives the reply; the entry goes as soon as the reply has been read.
#include <curl/curl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "core/alloc.h"
#include "net/transfer.h"
#include "net/url.h"
#include "net/urlmap.h"

namespace {

struct FreeText {
    void operator()(char* text) const noexcept { TamFree(text); }
};

struct CloseFile {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// The whole file as a new zero-terminated text; its length, or -1 when it
// cannot be read or does not fit a text.
int readReply(const std::string& path, char** result) {
    std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rbe"));
    struct stat info;
    if (!file || fstat(fileno(file.get()), &info) != 0 || info.st_size >= INT_MAX) return -1;
    auto length = static_cast<std::size_t>(info.st_size);
    auto* text = static_cast<char*>(TamMalloc(length + 1));
    if (!text) return -1;
    length = std::fread(text, 1, length, file.get());
    text[length] = '\0';
    *result = text;
    return static_cast<int>(length);
}

}  // namespace

void WWWInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }

void WWWFree() {
    endTransfers();
    clearMap();
}

int PostData(UnitContext* ctx, const char* url, const char* data, std::size_t length, char** result) {
    *result = nullptr;
    std::unique_ptr<char, FreeText> target(simplifyURL(ctx, url));
    if (!target) return -1;
    EntryRef entry = addEntry(std::string("internal:post/") + (url ? url : ""));
    int size = postEntry(ctx, entry, target.get(), data, length) ? readReply(entry->localFile, result) : -1;
    removeEntry(entry);
    return size;
}
