// Start-up: creates the unit context, starts the sound and music servers,
// installs the signal handlers, opens the main window, loads the program
// named on the command line and then idles in the event loop.
#include "app/startup.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "app/cmdline.h"
#include "app/context.h"
#include "app/limits.h"
#include "app/driver.h"
#include "app/events.h"
#include "app/shutdown.h"
#include "app/signals.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "net/url.h"
#include "present/display.h"
#include "present/draw.h"
#include "present/image.h"
#include "present/learnunit.h"
#include "present/palette.h"
#include "present/picture.h"
#include "present/resources.h"
#include "present/shell.h"
#include "sound/servers.h"

namespace {

UnitContext* newContext() {
    auto* ctx = new (mustAlloc(nullptr, sizeof(UnitContext))) UnitContext();
    setCleanupContext(ctx);
    return ctx;
}

// Closed on exec, so that programs the player starts later do not hold
// the servers' pipes open after the player has gone.
void openServerPipes(UnitContext* ctx) {
    bool soundOk = pipe2(ctx->soundPipe, O_CLOEXEC) == 0;
    bool musicOk = pipe2(ctx->musicPipe, O_CLOEXEC) == 0;
    if (!soundOk || !musicOk) {
        std::fputs("Pipe error !\n", stderr);
        std::fflush(stderr);
    }
}

pid_t startServer(UnitContext* ctx, void (*server)(UnitContext*), const char* what) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) server(ctx);
    if (pid < 0) userMsg(formatMsg("Warning: Could not start the %s server.", what).c_str());
    return pid < 0 ? 0 : pid;
}

void allocateUpdatePool(UnitContext* ctx) {
    ctx->updateCapacity = kUpdatePoolStart;
    ctx->updateRects = static_cast<UpdateRect*>(TamCalloc(kUpdatePoolStart, sizeof(UpdateRect)));
    if (!ctx->updateRects) outOfMemory(ctx);
}

// Standard error goes to a fresh temporary file, created atomically so
// that nobody can put a file or link of their own under its name.
void redirectStderr(UnitContext* ctx) {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : P_tmpdir) + "/talvix-stderr-XXXXXX";
    // A termination signal between creating the file and recording its
    // name would leave the file behind: the handler deletes only what the
    // context names.
    sigset_t previous;
    blockTerminationSignals(&previous);
    int fd = mkstemp(name.data());
    if (fd >= 0) ctx->stderrFileName = safestrdup(name.c_str());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        userMsg("Warning: Could not redirect standard error to a temporary file.");
        return;
    }
    std::fflush(stderr);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

// The default image heads the image list for the whole run; it is
// permanent, so no program's image release ever frees it.
void prepareDisplayResources(UnitContext* ctx) {
    initDefImg(ctx);
    initDrawingResources(ctx);
}

// The toolkit leaves a player option in place when its value is missing.
bool isPlayerOption(const char* arg) {
    for (Cardinal i = 0; i < appOptionCount; ++i)
        if (std::strcmp(arg, appOptions[i].option) == 0) return true;
    return false;
}

// The program to load: the first argument the toolkit left that is not an
// option. Options it did not take are reported and skipped.
const char* programArgument(int argc, char** argv) {
    const char* program = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || argv[i][1] == '\0') {
            if (!program) program = argv[i];
        } else if (isPlayerOption(argv[i])) {
            userMsg(formatMsg("Warning: Option %s needs a value; ignored.", argv[i]).c_str());
        } else {
            userMsg(formatMsg("Warning: Unknown option %s ignored.", argv[i]).c_str());
        }
    }
    return program;
}

// Desktops may pass a local file as a plain path, whose bytes a URL would
// misread (a non-ASCII name, a % or # in it): such a file is opened
// through its escaped file: URL. Other names go to the URL layer as given.
std::string openableName(const char* name) {
    if (!pathNeedsEscapes(name) || access(name, F_OK) != 0) return name;
    char* url = fileURLOfPath(name);
    std::string result = url ? url : name;
    TamFree(url);
    return result;
}

// The name is made canonical before it is opened: opening makes the
// document the base anchor, against which a relative name would be
// resolved a second time. A program that cannot be opened leaves the name
// as the user gave it in the URL field.
void loadProgram(UnitContext* ctx, const char* name) {
    ctx->scanFileName = safestrdup(name);
    std::string openName = openableName(name);
    char* url = canonizedURL(ctx, openName.c_str());
    if (!url) url = safestrdup(openName.c_str());
    KivStream* stream = KivOpen(ctx, url);
    if (!ctx->parseOnly) setURL(ctx, stream ? url : name);
    if (stream) {
        start_orvex_unit(ctx, stream, url);
        killLearnUnit(ctx);
    } else {
        reportUnopenable(ctx, name);
    }
    TamFree(url);
}

}  // namespace

int talvixMain(int argc, char** argv) {
    if (std::optional<int> status = answerInfoOption(argc, argv)) return *status;
    UnitContext* ctx = newContext();
    openServerPipes(ctx);
    ctx->soundServerPid = startServer(ctx, waveserver, "sound");
    ctx->musicServerPid = startServer(ctx, midiserver, "music");
    installSignalHandlers();
    ctx->gifTransparent = ctx->gifDelay = ctx->gifInput = -1;
    ctx->cleanupPending = 1;
    if (const char* libraryDir = std::getenv("KIVLIBPATH")) ctx->libraryDir = safestrdup(libraryDir);
    allocateUpdatePool(ctx);
    WWWInit();
    openMainWin(ctx, &argc, argv);
    installMemoryLimit(ctx);
    if (ctx->redirectStderr) redirectStderr(ctx);
    if (!ctx->parseOnly) {
        prepareDisplayResources(ctx);
        deferSignalsToEventLoop(ctx);
    }
    ctx->runState = 0;
    GetMousePos(ctx, &ctx->mouseX, &ctx->mouseY);
    if (const char* program = programArgument(argc, argv)) loadProgram(ctx, program);
    if (!ctx->parseOnly) mainLoop(ctx);
    c_exit(ctx, 0);
}
