// Showing an HTML page in an outside web browser. Browsers are started
// directly, never through a shell: the URL comes from the program and must
// not be read as shell syntax, and it always travels as one argument. A
// browser inherits only standard output and error, with standard input on
// /dev/null, so it holds none of the player's files, pipes or connections.
//
// Where netscape is installed it is asked first, with the arguments the
// shell would have made of netscape -remote openURL\("URL"\) and of
// netscape URL &. Elsewhere the page goes to the first command of $BROWSER
// that starts, else to xdg-open, the desktop's own way of opening a URL.
#include "builtins/browser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kRemoteBrowser = "netscape";
constexpr const char* kDesktopOpener = "xdg-open";

using Command = std::vector<std::string>;

// What a started browser gets from the player: standard output and error
// only, and the signal handling a freshly started program expects.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
        posix_spawnattr_init(&attributes_);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Starts the command; false when it could not be started.
    bool spawn(pid_t* pid, char* const argv[]) const {
        return posix_spawnp(pid, argv[0], &actions_, &attributes_, argv, environ) == 0;
    }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// The argument vector over the command's texts, which must outlive it.
std::vector<char*> argumentVector(Command& command) {
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

bool waitFor(pid_t pid, int* status) {
    while (waitpid(pid, status, 0) < 0)
        if (errno != EINTR) return false;
    return true;
}

// The command's exit status; -1 when it could not be started.
int runAndWait(Command command) {
    SpawnSetup setup;
    std::vector<char*> argv = argumentVector(command);
    pid_t pid;
    int status = 0;
    if (!setup.spawn(&pid, argv.data()) || !waitFor(pid, &status)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The browser runs on after the player: an intermediate child starts it
// and ends at once, so that it is not the player's child to reap. Its exit
// status tells whether the browser could be started. Everything the child
// needs is made before the fork.
bool startInBackground(Command command) {
    SpawnSetup setup;
    std::vector<char*> argv = argumentVector(command);
    pid_t child = fork();
    if (child == 0) {
        pid_t browser;
        _exit(setup.spawn(&browser, argv.data()) ? 0 : 127);
    }
    int status = 0;
    if (child < 0 || !waitFor(child, &status)) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Looks the program up the way starting it would; an empty entry of PATH
// is the current folder.
bool installed(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/bin:/usr/bin";
    while (true) {
        std::size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        if (isExecutableFile((dir.empty() ? "." : dir) + "/" + std::string(program))) return true;
        if (colon == std::string_view::npos) return false;
        dirs.remove_prefix(colon + 1);
    }
}

// One word of a $BROWSER command with %s made the URL and %% a percent
// sign; notes whether the URL went in.
std::string expandWord(std::string_view word, const char* url, bool* usedURL) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 1 < word.size() && (word[i + 1] == 's' || word[i + 1] == '%')) {
            bool isURL = word[++i] == 's';
            out += isURL ? url : "%";
            *usedURL = *usedURL || isURL;
        } else {
            out += word[i];
        }
    }
    return out;
}

// One entry of $BROWSER as a command: words split at blanks, the URL in
// place of %s or else after the last word.
Command browserCommand(std::string_view entry, const char* url) {
    Command command;
    bool usedURL = false;
    std::size_t start = 0;
    while ((start = entry.find_first_not_of(" \t", start)) != std::string_view::npos) {
        std::size_t end = entry.find_first_of(" \t", start);
        command.push_back(expandWord(entry.substr(start, end - start), url, &usedURL));
        start = end;
    }
    if (!command.empty() && !usedURL) command.push_back(url);
    return command;
}

bool startListedBrowser(const char* url) {
    const char* list = std::getenv("BROWSER");
    std::string_view entries = list ? list : "";
    while (!entries.empty()) {
        std::size_t colon = entries.find(':');
        Command command = browserCommand(entries.substr(0, colon), url);
        if (!command.empty() && startInBackground(command)) return true;
        if (colon == std::string_view::npos) break;
        entries.remove_prefix(colon + 1);
    }
    return false;
}

void showInRemoteBrowser(const char* url) {
    if (runAndWait({kRemoteBrowser, "-remote", std::string("openURL(") + url + ")"}) == 0) return;
    startInBackground({kRemoteBrowser, url});
}

}  // namespace

void showInBrowser(const char* url) {
    if (installed(kRemoteBrowser)) {
        showInRemoteBrowser(url);
        return;
    }
    if (!startListedBrowser(url)) startInBackground({kDesktopOpener, url});
}
