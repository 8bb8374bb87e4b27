// The one process-wide record. It is allocated once at start-up and passed
// as the first argument to nearly every operation; each subsystem keeps its
// process-wide state here, grouped by owner.
#pragma once
#include <X11/Intrinsic.h>
#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>

struct LearnUnit;

struct Picture;
struct DisplayState;
struct ShellState;
struct UrlState;
struct ParserState;
struct AuthoringState;
class RecordArena;

// Run-state word.
enum : std::uint32_t {
    RS_STOP = 1,
    RS_RELOAD = 2,
    RS_RESTART = 4,
    RS_IDLE = 16,
    RS_BACK = 32,
    RS_HALT_MASK = RS_STOP | RS_RESTART | RS_BACK,
};

// Damage rectangle of the update-area store.
struct UpdateRect {
    int x, y, width, height;
};

inline constexpr int kUpdatePoolStart = 4096;
// Megabytes one fetch may bring unless the downloadLimit resource says
// otherwise: a server sending without end must not fill the disk.
inline constexpr int kDefaultDownloadLimit = 256;

struct UnitContext {
    // Display and toolkit (owned by the display code).
    Display* display = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    Widget toplevel = nullptr;
    Widget drawArea = nullptr;
    XtAppContext appContext = nullptr;
    DisplayState* displayState = nullptr;
    ShellState* shell = nullptr;  // widgets of the browser shell

    // Sound and music servers.
    int soundPipe[2] = {-1, -1};
    int musicPipe[2] = {-1, -1};
    pid_t soundServerPid = 0;
    pid_t musicServerPid = 0;
    int audioFd = -1;
    int sequencerFd = -1;

    // Application resources (command-line options and X resources).
    int redirectStderr = 0;
    char* defaultURL = nullptr;
    int allowLocalAccess = 0;
    int allowLocalWrite = 0;
    int memoryLimit = 0;  // megabytes; 0: a quarter of physical memory
    int parseOnly = 0;
    int menuBarOn = 1;
    Boolean perfectCols = False;
    int downloadLimit = kDefaultDownloadLimit;  // megabytes a fetch may bring; 0 for no limit

    // Error output: temporary file receiving standard error, if any.
    char* stderrFileName = nullptr;

    // Bumped whenever an attribute leaves the changed queue, so that a
    // variable whose dependents were all queued since then can skip
    // walking them again on its next store. Never 0.
    std::uint32_t changedEpoch = 1;

    // Run state.
    std::uint32_t runState = 0;
    bool urlFieldHasFocus = false;
    LearnUnit* learnUnit = nullptr;  // top of the learn-unit stack
    std::FILE* reloadStream = nullptr;  // pending reload stream (KivStream)
    // URL of the last program run at the bottom of the stack: Reload starts
    // it again after it has ended.
    char* lastProgramURL = nullptr;

    // Images: the default image heads the list and is permanent.
    Picture* images = nullptr;
    int imageCount = 0;
    int gifTransparent = -1;
    int gifDelay = -1;
    int gifInput = -1;
    int gifDisposal = 0;

    // Update-rectangle pool.
    int updateCapacity = 0;
    int updateUsed = 0;
    UpdateRect* updateRects = nullptr;

    // Last known pointer position.
    int mouseX = 0;
    int mouseY = 0;

    // Clock reading (milliseconds) of the previous sync builtin; 0 before it.
    std::uint32_t lastSyncTime = 0;

    // Loader: name of the file being read, library directory.
    char* scanFileName = nullptr;
    char* libraryDir = nullptr;
    ParserState* parserState = nullptr;
    // Where the parser takes its records while it reads a program; null:
    // from the allocator, one by one.
    RecordArena* recordArena = nullptr;

    // Lifetime: 1 from start-up until the first cleanup.
    int cleanupPending = 0;

    // URL map and transfers; authoring model.
    UrlState* urlState = nullptr;
    AuthoringState* authoring = nullptr;
};

inline bool halted(const UnitContext* ctx) { return (ctx->runState & RS_HALT_MASK) != 0; }

inline void bumpChangedEpoch(UnitContext* ctx) {
    if (++ctx->changedEpoch == 0) ctx->changedEpoch = 1;
}
