// The outside browser is started directly, not through the shell: the URL
// comes from the program and must never be read as shell syntax. The
// arguments are those the shell would have made of the commands
// netscape -remote openURL\("URL"\) and netscape URL &.
#include "builtins/browser.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

extern char** environ;

namespace {

constexpr const char* kBrowser = "netscape";

// The program's exit status; -1 when it could not be started.
int runAndWait(char* const argv[]) {
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The browser runs on after the player: an intermediate child starts it
// and ends at once, so that it is not the player's child to reap.
void runInBackground(char* const argv[]) {
    pid_t child = fork();
    if (child == 0) {
        pid_t browser;
        _exit(posix_spawnp(&browser, argv[0], nullptr, nullptr, argv, environ) == 0 ? 0 : 127);
    }
    if (child < 0) return;
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

void showInBrowser(const char* url) {
    std::string browser = kBrowser, remote = "-remote", request = std::string("openURL(") + url + ")";
    std::string target = url;
    char* remoteArgs[] = {browser.data(), remote.data(), request.data(), nullptr};
    if (runAndWait(remoteArgs) == 0) return;
    char* startArgs[] = {browser.data(), target.data(), nullptr};
    runInBackground(startArgs);
}
