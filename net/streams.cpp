// The program stream table: one entry per descriptor opened by the open
// builtin, with the byte counts of what the program read and wrote. Local
// files (file: URLs and plain path names) are opened directly, with the
// program's permissions checked here. Other URLs are fetched in the
// background and their local copy opened for reading at once; a read that
// overtakes the download waits for it, unless the stream was opened with N.
#include "net/streams.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "net/sandbox.h"
#include "net/transfer.h"
#include "net/url.h"
#include "net/urlmap.h"

namespace {

struct FreeText {
    void operator()(char* text) const noexcept { TamFree(text); }
};

struct StreamEntry {
    bool open = false;
    EntryRef fetched;  // the map entry of a fetched resource; null for local files
    long long bytesRead = 0;
    long long bytesWritten = 0;
    bool waitForDownload = true;
};

// Indexed by descriptor; grows to the highest descriptor opened.
std::vector<StreamEntry> fdmap;
// Streams are never closed (the close builtin leaves them open), so each
// open holds a descriptor until the player ends.
int openStreams = 0;

int openFlagsOf(const char* mode) {
    bool reading = std::strchr(mode, 'r'), writing = std::strchr(mode, 'w');
    if (reading && writing) return O_RDWR | O_CREAT | O_TRUNC;
    if (writing) return O_WRONLY | O_CREAT | O_TRUNC;
    return O_RDONLY;
}

bool mayOpen(UnitContext* ctx, int flags) {
    constexpr const char* kWriting = "open local file for writing";
    switch (flags & O_ACCMODE) {
    case O_WRONLY: return mayWriteLocal(ctx, kWriting);
    case O_RDWR: return mayReadWriteLocal(ctx, kWriting);
    default: return mayReadLocal(ctx, "open local file for reading");
    }
}

// Half the descriptors the system grants the player, at most
// kMaxProgramStreams: the rest stay for the display connection, the
// transfers and the player's own files.
int streamLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return kMaxProgramStreams;
    return static_cast<int>(std::min<rlim_t>(kMaxProgramStreams, files.rlim_cur / 2));
}

// A program that keeps opening streams is stopped before the player runs
// out of descriptors.
bool roomForStream(UnitContext* ctx) {
    int limit = streamLimit();
    if (openStreams < limit) return true;
    errorMsg(ctx, MSG_ERROR, formatMsg("Error: Kiv program has too many open streams (at most %d).", limit).c_str());
    return false;
}

// The standard streams are shared rather than reopened: reopening would
// truncate a redirected output file and write over what is already there.
int openLocal(const std::string& path, int flags) {
    if ((flags & O_ACCMODE) != O_RDONLY) {
        if (path == "/dev/stdout") return fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (path == "/dev/stderr") return fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    }
    // Data files, not programs: nobody's execute bit is set.
    return open(path.c_str(), flags | O_CLOEXEC, 0666);
}

int registerStream(int fd, bool wait, EntryRef fetched) {
    if (fd < 1) return -1;
    if (static_cast<std::size_t>(fd) >= fdmap.size()) fdmap.resize(static_cast<std::size_t>(fd) + 1);
    if (!fdmap[fd].open) ++openStreams;
    fdmap[fd] = StreamEntry{true, std::move(fetched), 0, 0, wait};
    return fd;
}

// Descriptors a program may use: those it opened, and standard output and
// error once the table reaches them. Other descriptors of the player (the
// display connection, the server pipes) stay out of reach.
StreamEntry* streamOf(int fd) {
    if (fd < 1 || static_cast<std::size_t>(fd) >= fdmap.size()) return nullptr;
    if (fdmap[fd].open) return &fdmap[fd];
    if (fd == STDOUT_FILENO || fd == STDERR_FILENO) return &fdmap[fd];
    return nullptr;
}

// Whatever the mode, a fetched resource is only read.
int openFetched(UnitContext* ctx, const char* url, bool wait) {
    EntryRef entry = resolveEntry(ctx, url, false);
    if (!entry) return -1;
    return registerStream(open(entry->localFile.c_str(), O_RDONLY | O_CLOEXEC), wait, entry);
}

int openLocalURL(UnitContext* ctx, const char* url, const char* mode, bool wait) {
    int flags = openFlagsOf(mode);
    if (!mayOpen(ctx, flags)) return -1;
    EntryRef entry = resolveEntry(ctx, url, false);
    if (!entry || entry->localFile.empty()) return -1;
    return registerStream(openLocal(entry->localFile, flags), wait, nullptr);
}

// A read that overtakes the download lets the transfer go on until the
// bytes it asks for have arrived or the download has ended.
void catchUp(StreamEntry& stream, int n) {
    if (!stream.fetched || !stream.fetched->pending) return;
    awaitBytes(stream.fetched, stream.bytesRead + n, stream.waitForDownload);
}

}  // namespace

int OpenURL(UnitContext* ctx, const char* url, const char* mode) {
    if (!url || !mode) return -1;
    std::unique_ptr<char, FreeText> canonical(simplifyURL(ctx, url));
    if (!canonical || !roomForStream(ctx)) return -1;
    bool wait = std::strchr(mode, 'N') == nullptr;
    if (!isFileURL(canonical.get())) return openFetched(ctx, canonical.get(), wait);
    return openLocalURL(ctx, canonical.get(), mode, wait);
}

int Sread(int fd, char* buffer, int n) {
    StreamEntry* stream = streamOf(fd);
    if (!stream) return -1;
    catchUp(*stream, n);
    int total = 0;
    while (total < n) {
        ssize_t got = read(fd, buffer + total, static_cast<std::size_t>(n - total));
        if (got < 0 && errno == EINTR) continue;
        if (got < 1) break;
        total += static_cast<int>(got);
    }
    stream->bytesRead += total;
    return total;
}

// A fetched resource is open for reading only, so writing to it fails at
// once; there is nothing to wait for.
int Swrite(int fd, const char* data, int n) {
    StreamEntry* stream = streamOf(fd);
    if (!stream) return -1;
    int total = 0;
    while (total < n) {
        ssize_t put = write(fd, data + total, static_cast<std::size_t>(n - total));
        if (put < 0 && errno == EINTR) continue;
        if (put < 1) break;
        total += static_cast<int>(put);
    }
    stream->bytesWritten += total;
    return total;
}
