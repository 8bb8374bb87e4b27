// HTTP transfers. Each fetch writes the body into a fresh temporary file
// as it arrives, so that program streams can read a download while it is
// still under way. The toolkit's loop is the only loop: curl's sockets are
// toolkit input sources and its timer one toolkit timeout, replaced
// whenever curl moves it. A blocking fetch simply runs that loop until its
// transfer ends, which keeps the window alive; the per-statement pass
// (ProcessRequests) polls the same sockets without waiting. Without a
// display (parse-only runs) poll(2) on those sockets does the waiting.
#include "net/transfer.h"

#include <X11/Intrinsic.h>
#include <X11/cursorfont.h>
#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "app/context.h"
#include "app/signals.h"
#include "core/messages.h"
#include "net/mime.h"
#include "net/url.h"
#include "present/shell.h"

namespace {

using Clock = std::chrono::steady_clock;

// A peer that accepts the connection but sends nothing must not hold the
// player forever.
constexpr long kConnectSeconds = 30;
constexpr long kStallSeconds = 30;
// Longest single wait of poll(2); transfers and signals are looked at
// again at least this often.
constexpr int kMaxPollMs = 500;
constexpr const char* kUserAgent = "Talvix/1.0 X11";

enum class FetchState { UnderWay, Failed, Loaded };

}  // namespace

struct Request {
    EntryRef entry;
    UnitContext* ctx = nullptr;
    const LearnUnit* owner = nullptr;  // the program that asked; none at start-up
    long long limit = 0;               // bytes the body may have; 0 for no limit
    bool tooLarge = false;
    std::string url;  // what is fetched, for the status line and messages
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    int file = -1;
    FetchState status = FetchState::UnderWay;
    std::string shownStatus;
    char error[CURL_ERROR_SIZE] = "";
};

namespace {

struct Watch {
    int what = 0;  // CURL_POLL_IN, _OUT or _INOUT
    XtInputId readInput = 0;
    XtInputId writeInput = 0;
};

CURLM* multi = nullptr;
// Transfers under way, newest first.
std::list<std::shared_ptr<Request>> active;
std::map<curl_socket_t, Watch> watches;
std::optional<Clock::time_point> timerDue;
// The context whose toolkit loop drives the transfers, and the
// application context the inputs and the timer are registered with.
UnitContext* loopCtx = nullptr;
XtAppContext inputApp = nullptr;
XtIntervalId timer = 0;
int busyDepth = 0;

void act(curl_socket_t socket, int mask);

void onReadable(XtPointer, int* source, XtInputId*) { act(*source, CURL_CSELECT_IN); }
void onWritable(XtPointer, int* source, XtInputId*) { act(*source, CURL_CSELECT_OUT); }

void onTimer(XtPointer, XtIntervalId*) {
    timer = 0;
    timerDue.reset();
    act(CURL_SOCKET_TIMEOUT, 0);
}

void addInputs(curl_socket_t socket, Watch& watch) {
    if (!inputApp) return;
    if (watch.what & CURL_POLL_IN)
        watch.readInput = XtAppAddInput(inputApp, socket, reinterpret_cast<XtPointer>(XtInputReadMask),
                                        onReadable, nullptr);
    if (watch.what & CURL_POLL_OUT)
        watch.writeInput = XtAppAddInput(inputApp, socket, reinterpret_cast<XtPointer>(XtInputWriteMask),
                                         onWritable, nullptr);
}

void removeInputs(Watch& watch) {
    if (inputApp) {
        if (watch.readInput) XtRemoveInput(watch.readInput);
        if (watch.writeInput) XtRemoveInput(watch.writeInput);
    }
    watch.readInput = watch.writeInput = 0;
}

long millisecondsUntil(Clock::time_point due) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
    return std::max<long>(0, static_cast<long>(left));
}

void addTimer() {
    if (inputApp && timerDue)
        timer = XtAppAddTimeOut(inputApp, static_cast<unsigned long>(millisecondsUntil(*timerDue)), onTimer,
                                nullptr);
}

// Follows the toolkit of the driving context: registrations made with an
// application context that has since gone are forgotten (they went with
// it), and everything watched is registered with the current one.
void followToolkit() {
    XtAppContext app = loopCtx ? loopCtx->appContext : nullptr;
    if (app == inputApp) return;
    inputApp = app;
    timer = 0;
    for (auto& [socket, watch] : watches) {
        watch.readInput = watch.writeInput = 0;
        addInputs(socket, watch);
    }
    addTimer();
}

void setCloseOnExec(int fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC)) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

std::set<int> openDescriptors() {
    std::set<int> found;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') found.insert(std::atoi(entry->d_name));
        // The listing's own descriptor is free again afterwards.
        found.erase(dirfd(dir));
        closedir(dir);
    }
    return found;
}

// curl makes descriptors of its own without close-on-exec: the sockets
// it asks us to watch (connections, resolver wake-ups) are marked here as
// they are reported, before anything can start another program.
int onSocketChange(CURL*, curl_socket_t socket, int what, void*, void*) {
    followToolkit();
    if (what != CURL_POLL_REMOVE) setCloseOnExec(socket);
    Watch& watch = watches[socket];
    removeInputs(watch);
    if (what == CURL_POLL_REMOVE) {
        watches.erase(socket);
        return 0;
    }
    watch.what = what;
    addInputs(socket, watch);
    return 0;
}

int onTimerChange(CURLM*, long milliseconds, void*) {
    followToolkit();
    if (timer && inputApp) XtRemoveTimeOut(timer);
    timer = 0;
    timerDue.reset();
    if (milliseconds >= 0) timerDue = Clock::now() + std::chrono::milliseconds(milliseconds);
    addTimer();
    return 0;
}

// The multi handle holds a wake-up socket pair that curl never reports;
// whatever descriptors its creation opened are marked close-on-exec.
bool ensureMulti() {
    if (multi) return true;
    std::set<int> before = openDescriptors();
    multi = curl_multi_init();
    if (!multi) return false;
    for (int fd : openDescriptors())
        if (!before.count(fd)) setCloseOnExec(fd);
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, onSocketChange);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, onTimerChange);
    return true;
}

void showStatus(Request& req, const std::string& text) {
    if (!req.ctx || text == req.shownStatus) return;
    req.shownStatus = text;
    setStatus(req.ctx, text.c_str());
}

std::shared_ptr<Request> activeRequest(const Request* raw) {
    auto found = std::find_if(active.begin(), active.end(), [&](const auto& r) { return r.get() == raw; });
    return found == active.end() ? nullptr : *found;
}

// Detaches the request from curl, its file and its entry. The caller holds
// a reference, since the lists dropped here may have held the last ones.
void release(Request& req) {
    if (req.easy) {
        curl_multi_remove_handle(multi, req.easy);
        curl_easy_cleanup(req.easy);
        req.easy = nullptr;
    }
    curl_slist_free_all(req.headers);
    req.headers = nullptr;
    if (req.file >= 0) close(req.file);
    req.file = -1;
    active.remove_if([&](const auto& r) { return r.get() == &req; });
    if (req.entry && req.entry->pending.get() == &req) req.entry->pending.reset();
}

std::string failureReason(const Request& req, CURLcode result) {
    return req.error[0] ? req.error : curl_easy_strerror(result);
}

void finish(Request* raw, CURLcode result) {
    std::shared_ptr<Request> req = activeRequest(raw);
    if (!req) return;
    char* header = nullptr;
    curl_easy_getinfo(req->easy, CURLINFO_CONTENT_TYPE, &header);
    std::string type = formatOfHeader(header);
    std::string reason = result == CURLE_OK ? "" : failureReason(*req, result);
    if (req->tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        reason = formatMsg("larger than the download limit of %d MB", static_cast<int>(req->limit >> 20));
    release(*req);
    EntryRef entry = req->entry;
    entry->contentType = type.empty() ? formatOfName(entry->url.c_str()) : type;
    const char* url = req->url.c_str();
    if (result == CURLE_OK) {
        req->status = FetchState::Loaded;
        showStatus(*req, formatMsg("Loaded %s succesfully", url));
        return;
    }
    req->status = FetchState::Failed;
    showStatus(*req, formatMsg("Error occured on loading %s", url));
    userMsg(formatMsg("Warning: Could not load %s: %s", url, reason.c_str()).c_str());
    removeEntry(entry);
}

void collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURLcode result = message->data.result;
        Request* req = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &req);
        finish(req, result);
    }
}

void act(curl_socket_t socket, int mask) {
    if (!multi) return;
    int running = 0;
    curl_multi_socket_action(multi, socket, mask, &running);
    collectFinished();
}

short pollEvents(int what) {
    return static_cast<short>(((what & CURL_POLL_IN) ? POLLIN : 0) | ((what & CURL_POLL_OUT) ? POLLOUT : 0));
}

int selectMask(short revents) {
    int mask = 0;
    if (revents & (POLLIN | POLLHUP)) mask |= CURL_CSELECT_IN;
    if (revents & POLLOUT) mask |= CURL_CSELECT_OUT;
    if (revents & (POLLERR | POLLNVAL)) mask |= CURL_CSELECT_ERR;
    return mask;
}

// One pass over the watched sockets and the timer, waiting at most
// timeoutMs for something to happen.
void pollOnce(int timeoutMs) {
    std::vector<pollfd> fds;
    for (const auto& [socket, watch] : watches) fds.push_back({socket, pollEvents(watch.what), 0});
    if (timerDue) timeoutMs = static_cast<int>(std::min<long>(timeoutMs, millisecondsUntil(*timerDue)));
    int ready = poll(fds.data(), fds.size(), timeoutMs);
    for (int i = 0; ready > 0 && i < static_cast<int>(fds.size()); ++i)
        if (fds[i].revents) act(fds[i].fd, selectMask(fds[i].revents));
    if (timerDue && Clock::now() >= *timerDue) {
        timerDue.reset();
        act(CURL_SOCKET_TIMEOUT, 0);
    }
}

// Lets the transfers advance once. Blocking with a toolkit means one turn
// of its loop, which also serves the window.
void step(UnitContext* ctx, bool block) {
    followToolkit();
    if (block && ctx && ctx->appContext && ctx->appContext == inputApp) {
        XtAppProcessEvent(ctx->appContext, XtIMAll);
        return;
    }
    pollOnce(block ? kMaxPollMs : 0);
    serviceSignals();
}

// The watch cursor over the player's window while it waits for a fetch.
class BusyCursor {
public:
    explicit BusyCursor(UnitContext* ctx) : ctx_(ctx) {
        if (busyDepth++ > 0 || !ctx->display || !ctx->toplevel || !XtIsRealized(ctx->toplevel)) return;
        display_ = ctx->display;
        cursor_ = XCreateFontCursor(display_, XC_watch);
        XDefineCursor(display_, XtWindow(ctx->toplevel), cursor_);
        XFlush(display_);
    }
    ~BusyCursor() {
        --busyDepth;
        if (!display_ || ctx_->display != display_) return;
        if (ctx_->toplevel && XtIsRealized(ctx_->toplevel)) XUndefineCursor(display_, XtWindow(ctx_->toplevel));
        XFreeCursor(display_, cursor_);
        XFlush(display_);
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UnitContext* ctx_;
    Display* display_ = nullptr;
    Cursor cursor_ = 0;
};

// Back and Reload given while the fetch is waited for end it at once: the
// user must never have to sit out a stalled or endless transfer.
bool userStopped(const UnitContext* ctx, std::uint32_t before) {
    constexpr std::uint32_t userStops = RS_BACK | RS_RESTART;
    return ctx && (ctx->runState & userStops & ~before) != 0;
}

void waitFor(const std::shared_ptr<Request>& req) {
    BusyCursor busy(req->ctx);
    std::uint32_t before = req->ctx ? req->ctx->runState : 0;
    while (req->status == FetchState::UnderWay) {
        if (userStopped(req->ctx, before)) {
            EntryRef entry = req->entry;
            cancelFetch(entry);
            removeEntry(entry);
            return;
        }
        step(req->ctx, true);
    }
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* req = static_cast<Request*>(user);
    size_t total = size * count;
    if (req->limit > 0 && req->entry->bytesLoaded + static_cast<long long>(total) > req->limit) {
        req->tooLarge = true;
        return 0;
    }
    for (size_t done = 0; done < total;) {
        ssize_t put = write(req->file, data + done, total - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return 0;
        done += static_cast<size_t>(put);
    }
    req->entry->bytesLoaded += static_cast<long long>(total);
    return total;
}

std::string readingStatus(const std::string& url, curl_off_t total, curl_off_t now) {
    if (total <= 0) return formatMsg("Loading %s %ld bytes.", url.c_str(), static_cast<long>(now));
    return formatMsg("Read %d%%(%dK/%dK) of %s", static_cast<int>(now * 100 / total), static_cast<int>(now / 1024),
                     static_cast<int>(total / 1024), url.c_str());
}

int onProgress(void* user, curl_off_t downTotal, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) {
    auto* req = static_cast<Request*>(user);
    if (upNow > 0 && upNow < upTotal) {
        showStatus(*req, "Writing data");
    } else if (downNow > 0) {
        showStatus(*req, readingStatus(req->url, downTotal, downNow));
    } else {
        curl_off_t lookup = 0, connect = 0;
        curl_easy_getinfo(req->easy, CURLINFO_NAMELOOKUP_TIME_T, &lookup);
        curl_easy_getinfo(req->easy, CURLINFO_CONNECT_TIME_T, &connect);
        if (lookup == 0) showStatus(*req, formatMsg("Doing DNS resolution on %s", req->url.c_str()));
        else if (connect == 0) showStatus(*req, formatMsg("Connecting to %s", req->url.c_str()));
    }
    return 0;
}

// A fresh temporary file for the entry's copy, made atomically so that
// nobody can slip a file or link of their own under its name.
bool openCopy(Request& req) {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : P_tmpdir) + "/talvix-copy-XXXXXX";
    req.file = mkostemp(name.data(), O_CLOEXEC);
    if (req.file < 0) {
        userMsg(formatMsg("Could not open file %s.\n", name.c_str()).c_str());
        return false;
    }
    req.entry->localFile = name;
    req.entry->temporary = true;
    req.entry->bytesLoaded = 0;
    return true;
}

// Spaces and other bytes a request line cannot carry are escaped here;
// the map keeps the URL as it was written.
std::string requestURL(const std::string& url) {
    CURLU* parsed = curl_url();
    std::string result = url;
    char* text = nullptr;
    if (parsed && curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_URL, &text, 0) == CURLUE_OK && text)
        result = text;
    curl_free(text);
    curl_url_cleanup(parsed);
    return result;
}

void configure(Request& req, const std::string* body) {
    CURL* easy = req.easy;
    curl_easy_setopt(easy, CURLOPT_URL, requestURL(req.url).c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &req);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &req);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &req);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, req.error);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    if (req.limit > 0) curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(req.limit));
    req.headers = curl_slist_append(req.headers, "Accept: */*");
    if (body) {
        // Without an empty Expect header curl would hold back larger
        // bodies until the server invites them.
        req.headers = curl_slist_append(req.headers, "Content-Type: application/x-www-form-urlencoded");
        req.headers = curl_slist_append(req.headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body->c_str());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, req.headers);
}

// Sets up a transfer of url (a POST when body is given) into a new
// temporary copy for the entry; the result's status tells whether it could
// start.
std::shared_ptr<Request> startRequest(UnitContext* ctx, const EntryRef& entry, const std::string& url,
                                      const std::string* body) {
    auto req = std::make_shared<Request>();
    req->entry = entry;
    req->ctx = ctx;
    req->url = url;
    req->owner = ctx ? ctx->learnUnit : nullptr;
    if (ctx && ctx->downloadLimit > 0) req->limit = static_cast<long long>(ctx->downloadLimit) << 20;
    if (!ensureMulti() || !openCopy(*req) || !(req->easy = curl_easy_init())) {
        release(*req);
        req->status = FetchState::Failed;
        return req;
    }
    configure(*req, body);
    loopCtx = ctx;
    entry->pending = req;
    active.push_front(req);
    showStatus(*req, formatMsg("Loading URL %s", url.c_str()));
    if (curl_multi_add_handle(multi, req->easy) != CURLM_OK) {
        release(*req);
        req->status = FetchState::Failed;
    }
    return req;
}

}  // namespace

bool fetchEntry(UnitContext* ctx, const EntryRef& entry, bool wait) {
    std::shared_ptr<Request> req = entry->pending;
    if (!req) req = startRequest(ctx, entry, entry->url, nullptr);
    if (wait) waitFor(req);
    return req->status != FetchState::Failed;
}

bool postEntry(UnitContext* ctx, const EntryRef& entry, const std::string& target, const char* data,
               std::size_t length) {
    std::string body(data ? data : "", data ? length : 0);
    std::shared_ptr<Request> req = startRequest(ctx, entry, target, &body);
    waitFor(req);
    return req->status == FetchState::Loaded;
}

void cancelFetch(const EntryRef& entry) {
    std::shared_ptr<Request> req = entry->pending;
    if (!req) return;
    release(*req);
    req->status = FetchState::Failed;
}

void awaitBytes(const EntryRef& entry, long long needed, bool block) {
    for (;;) {
        std::shared_ptr<Request> req = entry->pending;
        if (!req) return;
        step(req->ctx, block && entry->bytesLoaded < needed);
        if (!block || !entry->pending || entry->bytesLoaded >= needed || halted(req->ctx)) return;
    }
}

// Requests are matched by owner only: the unit is going and is not read.
void endUnitTransfers(const LearnUnit* unit) {
    std::vector<std::shared_ptr<Request>> owned;
    for (const auto& req : active)
        if (unit && req->owner == unit) owned.push_back(req);
    for (const auto& req : owned) {
        EntryRef entry = req->entry;
        cancelFetch(entry);
        removeEntry(entry);
    }
}

void endTransfers() {
    // The toolkit may be gone already: nothing is unregistered from it.
    inputApp = nullptr;
    loopCtx = nullptr;
    while (!active.empty()) {
        std::shared_ptr<Request> req = active.front();
        release(*req);
        req->status = FetchState::Failed;
    }
    if (multi) curl_multi_cleanup(multi);
    multi = nullptr;
    watches.clear();
    timerDue.reset();
    timer = 0;
}

void ProcessRequests() {
    if (active.empty()) return;
    followToolkit();
    pollOnce(0);
}
