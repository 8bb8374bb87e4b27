// Answers --help and --version without a display: the usage text lists
// every player option with its resource, the environment variables and the
// exit statuses; the version names the libraries the player runs with, as
// they report themselves at run time.
#include "app/cmdline.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "present/resources.h"

#ifndef TALVIX_VERSION
#error "TALVIX_VERSION comes from the build"
#endif

namespace {

enum class InfoOption { NotAsked, Help, Version };

constexpr const char kUsage[] =
    "Usage: talvix [toolkit options] [player options] [program]\n"
    "Plays an Orvex program, named by a file name or a URL, in a window on the\n"
    "X display. Without a program the window stays empty until it is closed.\n"
    "\n"
    "Player options, each with the X resource it sets (class Talvix):\n"
    "  -rd n         redirectStderr: when not 0, messages go to a temporary file,\n"
    "                removed when the player ends (default 0)\n"
    "  -ala n        allowLocalAccess: when not 0, programs that did not come\n"
    "                from a local file may read local files; with -alw, programs\n"
    "                may open local files for reading and writing together\n"
    "                (default 0)\n"
    "  -alw n        allowLocalWrite: when not 0, programs may write local files\n"
    "                (default 0)\n"
    "  -ml n         memoryLimit: megabytes a program may hold; 0 means a\n"
    "                quarter of the physical memory, at least 64 (default 0)\n"
    "  -url text     defaultURL: the text of the URL field at start (default Local)\n"
    "  -po n         parseOnly: when not 0, only check the program; errors are\n"
    "                printed, nothing runs and no display is needed (default 0)\n"
    "  -mb n         menuBarOn: 0 hides the menu bar and the URL field (default 1)\n"
    "  -perfect      perfectCols: on 8-bit displays, use a private colormap for\n"
    "                exact colours (default off)\n"
    "  -dl n         downloadLimit: megabytes one fetch may bring; a larger\n"
    "                download fails with a message, 0 means no limit (default 256)\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "The usual X toolkit options (-display, -geometry, -name, -title, -xrm, ...)\n"
    "work too. Resources are also read from the application defaults file\n"
    "Talvix, ~/.Xdefaults, the server's resource database and XENVIRONMENT.\n"
    "\n"
    "Environment:\n"
    "  DISPLAY             the X display to use\n"
    "  KIVLIBPATH          the library folder of the files that programs include\n"
    "  BROWSER             browsers for HTML pages, a colon-separated list of\n"
    "                      commands, %s standing for the URL; without it the page\n"
    "                      goes to xdg-open (netscape, when installed, comes first)\n"
    "  PRINTER             the printer of the File menu's Print command\n"
    "  XENVIRONMENT        a resource file read after ~/.Xdefaults\n"
    "  TMPDIR              the folder of temporary files\n"
    "  http_proxy, https_proxy, no_proxy\n"
    "                      proxies for fetching programs and files\n"
    "  TALVIX_AUDIO_SINK   record sound samples to this file instead of a device\n"
    "  TALVIX_MIDI_SINK    record music events to this file instead of a device\n"
    "\n"
    "Exit status:\n"
    "  0   normal end, also after a parse-only run, --help, --version, Quit\n"
    "      and the window manager's close button\n"
    "  1   fatal error, for example no X display; or ended by SIGHUP\n"
    "  2   ended by SIGINT\n"
    "  3   ended by SIGQUIT\n"
    "  15  ended by SIGTERM\n"
    "\n"
    "See talvix(1) for more.\n";

// "--h", "--he", ..., "--help"; likewise for "--version".
bool abbreviates(std::string_view arg, std::string_view option) {
    return arg.size() > 2 && arg.size() <= option.size() && option.substr(0, arg.size()) == arg;
}

InfoOption requestedInfo(int argc, char** argv) {
    // The toolkit's and the player's options go first, with their values,
    // so that "-url --help" stays a URL text.
    std::vector<char*> rest(argv, argv + argc + 1);
    int restCount = argc;
    removeKnownOptions(&restCount, rest.data());
    for (int i = 1; i < restCount; ++i) {
        std::string_view arg = rest[i];
        if (arg == "--") break;
        if (abbreviates(arg, "--help")) return InfoOption::Help;
        if (abbreviates(arg, "--version")) return InfoOption::Version;
    }
    return InfoOption::NotAsked;
}

// The version text libjpeg keeps in its message table, runs of blanks made
// one ("6b  27-Mar-1998" becomes "6b 27-Mar-1998").
std::string jpegVersion() {
    jpeg_error_mgr errors{};
    jpeg_std_error(&errors);
    const char* text =
        JMSG_VERSION <= errors.last_jpeg_message ? errors.jpeg_message_table[JMSG_VERSION] : nullptr;
    std::string version;
    for (const char* c = text ? text : "unknown"; *c; ++c)
        if (*c != ' ' || (!version.empty() && version.back() != ' ')) version += *c;
    return version;
}

void printVersion() {
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    std::printf("talvix %s\n", TALVIX_VERSION);
    std::printf("libcurl %s\n", curl && curl->version ? curl->version : "unknown");
    std::printf("libjpeg %s\n", jpegVersion().c_str());
}

}  // namespace

std::optional<int> answerInfoOption(int argc, char** argv) {
    switch (requestedInfo(argc, argv)) {
        case InfoOption::Help:
            std::fputs(kUsage, stdout);
            break;
        case InfoOption::Version:
            printVersion();
            break;
        case InfoOption::NotAsked:
            return std::nullopt;
    }
    // Like any filter, a full disk or a closed pipe is a failure.
    bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    return written ? 0 : 1;
}
