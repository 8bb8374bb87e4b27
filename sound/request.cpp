// Reading requests from the server pipes. The header is read a byte at a
// time so that resource bytes which arrive with it stay in the pipe for
// the resource. Memory grows only as bytes actually arrive, so a header
// announcing an absurd size cannot make a server allocate it.
#include "sound/request.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>

#include "app/context.h"

namespace {

constexpr std::size_t kMaxHeader = 256;
constexpr std::size_t kChunk = 65536;

// Read that retries when a stop request interrupts it: a request that has
// begun must be taken whole to keep the pipe in step.
ssize_t readSome(int fd, void* into, std::size_t size) {
    for (;;) {
        ssize_t got = read(fd, into, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

// The header up to its NUL; a header that never ends within kMaxHeader
// bytes is garbage and is skipped up to its NUL.
ReadResult readHeader(int fd, std::string& header) {
    header.clear();
    char c;
    for (;;) {
        if (readSome(fd, &c, 1) != 1) return ReadResult::Closed;
        if (c == '\0') return header.size() <= kMaxHeader ? ReadResult::Ok : ReadResult::Garbage;
        if (header.size() <= kMaxHeader) header += c;
    }
}

bool readResource(int fd, long count, PipeRequest& request) {
    auto left = static_cast<std::size_t>(count);
    request.tooLarge = left > kMaxResource;
    std::vector<unsigned char> dropped;
    std::vector<unsigned char>& into = request.tooLarge ? dropped : request.bytes;
    while (left > 0) {
        std::size_t have = into.size();
        std::size_t want = std::min(left, kChunk);
        into.resize(have + want);
        ssize_t got = readSome(fd, into.data() + have, want);
        if (got <= 0) return false;
        into.resize(have + static_cast<std::size_t>(got));
        left -= static_cast<std::size_t>(got);
        if (request.tooLarge) into.clear();
    }
    return true;
}

[[noreturn]] void serverOutOfMemory() {
    std::fputs("Error: Could not allocate enough memory\n", stderr);
    _exit(1);
}

}  // namespace

bool parseHeader(const std::string& header, bool withType, long& count, PipeRequest& request) {
    const char* text = header.c_str();
    char* end = nullptr;
    errno = 0;
    count = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || count < 0 || *end != ' ') return false;
    text = end + 1;
    if (withType) {
        const char* space = text;
        while (*space && *space != ' ') ++space;
        if (!*space) return false;
        request.type.assign(text, space);
        text = space + 1;
    }
    if (!text[0] || text[1]) return false;
    request.mode = text[0];
    return true;
}

void prepareServer(UnitContext* ctx, int ownRead) {
    for (int fd : {ctx->soundPipe[0], ctx->soundPipe[1], ctx->musicPipe[0], ctx->musicPipe[1]})
        if (fd >= 0 && fd != ownRead) close(fd);
    std::set_new_handler(serverOutOfMemory);
}

bool waitForRequest(int fd) {
    if (fd < 0) return false;
    pollfd watch{fd, POLLIN, 0};
    for (;;) {
        int ready = poll(&watch, 1, -1);
        if (ready > 0) return (watch.revents & (POLLIN | POLLHUP)) != 0 && (watch.revents & POLLNVAL) == 0;
        if (ready < 0 && errno != EINTR) return false;
    }
}

ReadResult readRequest(int fd, bool withType, PipeRequest& request) {
    std::string header;
    ReadResult result = readHeader(fd, header);
    if (result != ReadResult::Ok) return result;
    long count = 0;
    if (!parseHeader(header, withType, count, request)) return ReadResult::Garbage;
    return readResource(fd, count, request) ? ReadResult::Ok : ReadResult::Closed;
}
