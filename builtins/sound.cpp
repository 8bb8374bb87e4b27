// Sound and music builtins: requests to the sound server (sound,
// contSound, stopSound) and to the music server (play, contPlay,
// stopPlay). Messages of the first three name sound, of the others play.
//
// A request is SIGUSR1, which makes the server drop what it plays and read
// its pipe, then a header line closed by NUL, then the resource's bytes.
// A server that has ended must not take the player with it: writes to its
// pipe run with SIGPIPE held back and report failure instead.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>

#include "app/context.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "net/kivstream.h"
#include "net/sandbox.h"

namespace {

constexpr std::size_t kReadChunk = 1024;

enum class Server { Sound, Music };

struct ServerEnds {
    pid_t pid;
    int pipe;
};

ServerEnds endsOf(const UnitContext* ctx, Server server) {
    if (server == Server::Sound) return {ctx->soundServerPid, ctx->soundPipe[1]};
    return {ctx->musicServerPid, ctx->musicPipe[1]};
}

// A pid of 0 or less would signal a whole process group.
void interruptServer(const ServerEnds& ends) {
    if (ends.pid > 0) kill(ends.pid, SIGUSR1);
}

// The whole resource, in a buffer that grows while it is read.
class Resource {
public:
    ~Resource() { TamFree(bytes_); }
    bool read(UnitContext* ctx, KivStream* stream) {
        for (;;) {
            if (capacity_ - size_ < kReadChunk) grow(ctx);
            std::size_t got = KivRead(stream, bytes_ + size_, capacity_ - size_);
            if (got == 0) return true;
            size_ += got;
        }
    }
    const char* bytes() const { return bytes_; }
    std::size_t size() const { return size_; }

private:
    void grow(UnitContext* ctx) {
        std::size_t capacity = capacity_ ? 2 * capacity_ : kReadChunk;
        auto* bytes = static_cast<char*>(TamRealloc(bytes_, capacity));
        if (!bytes) outOfMemory(ctx);
        bytes_ = bytes;
        capacity_ = capacity;
    }
    char* bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

bool fetchResource(UnitContext* ctx, const char* url, Resource& resource) {
    KivStream* stream = KivOpen(ctx, url);
    if (!stream) {
        errorMsg(ctx, MSG_ERROR, formatMsg("Error: Couldn't resolve URL %s.", url).c_str());
        return false;
    }
    resource.read(ctx, stream);
    KivClose(stream);
    return true;
}

// Holds SIGPIPE back while it lives and discards one that a write to a
// closed pipe raised meanwhile.
class PipeSignalGuard {
public:
    PipeSignalGuard() {
        sigemptyset(&pipeSignal_);
        sigaddset(&pipeSignal_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        sigprocmask(SIG_BLOCK, &pipeSignal_, &previous_);
    }
    ~PipeSignalGuard() {
        sigset_t pending;
        sigpending(&pending);
        if (!alreadyPending_ && sigismember(&pending, SIGPIPE) == 1) {
            timespec noWait{};
            sigtimedwait(&pipeSignal_, nullptr, &noWait);
        }
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

private:
    sigset_t pipeSignal_{};
    sigset_t previous_{};
    bool alreadyPending_ = false;
};

bool waitWritable(int fd) {
    pollfd watch{fd, POLLOUT, 0};
    while (poll(&watch, 1, -1) < 0)
        if (errno != EINTR) return false;
    return (watch.revents & (POLLERR | POLLNVAL)) == 0;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool sendRequest(int pipe, const std::string& header, const Resource& resource) {
    if (pipe < 0) return false;
    PipeSignalGuard guard;
    return waitWritable(pipe) && writeAll(pipe, header.c_str(), header.size() + 1) && waitWritable(pipe) &&
           writeAll(pipe, resource.bytes(), resource.size());
}

// Header "<bytes> <type> <mode>" for sounds, "<bytes> <mode>" for music;
// the type is what follows the URL's last dot. False when a sound URL has
// no dot, since the server could not tell its format.
bool buildHeader(Server server, const char* url, std::size_t size, char mode, std::string& header) {
    header = std::to_string(size);
    if (server == Server::Sound) {
        const char* dot = std::strrchr(url, '.');
        if (!dot) return false;
        header += ' ';
        header += dot + 1;
    }
    header += ' ';
    header += mode;
    return true;
}

std::int32_t requestPlay(UnitContext* ctx, param* args, Server server, char mode) {
    const char* name = server == Server::Sound ? "sound" : "play";
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, name));
    checkPars(ctx, cursor, 1, name);
    const char* attempt = server == Server::Sound ? "play local sound file" : "play local music file";
    if (!url || !mayReadURL(ctx, url.get(), attempt)) return 0;
    Resource resource;
    if (!fetchResource(ctx, url.get(), resource)) return 0;
    std::string header;
    if (!buildHeader(server, url.get(), resource.size(), mode, header)) return 0;
    ServerEnds ends = endsOf(ctx, server);
    interruptServer(ends);
    return sendRequest(ends.pipe, header, resource) ? 1 : 0;
}

std::int32_t requestStop(UnitContext* ctx, param* args, Server server) {
    takeArguments(ctx, args, server == Server::Sound ? "sound" : "play", "");
    interruptServer(endsOf(ctx, server));
    return 0;
}

}  // namespace

std::int32_t SndSingle(UnitContext* ctx, param* args) { return requestPlay(ctx, args, Server::Sound, 'S'); }

std::int32_t SndCont(UnitContext* ctx, param* args) { return requestPlay(ctx, args, Server::Sound, 'C'); }

std::int32_t SndStop(UnitContext* ctx, param* args) { return requestStop(ctx, args, Server::Sound); }

std::int32_t PlSingle(UnitContext* ctx, param* args) { return requestPlay(ctx, args, Server::Music, 'S'); }

std::int32_t PlCont(UnitContext* ctx, param* args) { return requestPlay(ctx, args, Server::Music, 'C'); }

std::int32_t PlStop(UnitContext* ctx, param* args) { return requestStop(ctx, args, Server::Music); }
