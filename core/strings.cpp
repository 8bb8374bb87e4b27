// String and file helpers.
#include "core/strings.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/alloc.h"
#include "core/messages.h"

char* safestrdup(const char* text) {
    if (!text) return nullptr;
    std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(TamMalloc(size));
    if (!copy) outOfMemory(nullptr);
    std::memcpy(copy, text, size);
    return copy;
}

int stricmp(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int copy_file(const char* destination, const char* source) {
    std::FILE* in = std::fopen(source, "rbe");
    if (!in) return 1;
    std::FILE* out = std::fopen(destination, "wbe");
    if (!out) {
        std::fclose(in);
        return 1;
    }
    char block[1024];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        if (std::fwrite(block, 1, got, out) != got) userMsg("Write error, disk full?");
    }
    std::fclose(in);
    std::fclose(out);
    return 0;
}
