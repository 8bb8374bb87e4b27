// Canonical URLs and the mapping of file: URLs to local paths. Names
// without a scheme are local paths; they are made absolute against the
// working directory so that a program's URL stays valid whatever the
// working directory later becomes.
#include "net/url.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/strings.h"

namespace {

std::string_view stripSpace(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Removes "." and ".." segments of an absolute path; ".." never climbs
// above the root.
std::string collapseDots(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        std::size_t end = path.find('/', 1);
        std::string_view segment = path.substr(0, end);
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
        bool last = path.empty();
        if (segment == "/." || segment == "/..") {
            if (segment == "/.." && !out.empty()) out.erase(out.rfind('/'));
            if (last) out += '/';
        } else {
            out += segment;
        }
    }
    return out;
}

// Offset where the path of a URL starts: after "scheme://host" or after
// "scheme:".
std::size_t pathStart(const std::string& url) {
    std::size_t colon = url.find(':');
    if (colon == std::string::npos) return 0;
    if (url.compare(colon + 1, 2, "//") != 0) return colon + 1;
    std::size_t slash = url.find('/', colon + 3);
    return slash == std::string::npos ? url.size() : slash;
}

std::string simplifyPathOf(const std::string& url) {
    std::size_t start = pathStart(url);
    std::size_t end = url.find_first_of("?#", start);
    if (end == std::string::npos) end = url.size();
    if (start >= end || url[start] != '/') return url;
    return url.substr(0, start) + collapseDots(std::string_view(url).substr(start, end - start)) +
           url.substr(end);
}

}  // namespace

char* simplifyURL(UnitContext*, const char* url) {
    std::string text(stripSpace(url ? url : ""));
    if (text.find(':') == std::string::npos) {
        if (text.empty() || text[0] != '/') {
            char cwd[PATH_MAX];
            if (!getcwd(cwd, sizeof cwd)) {
                userMsg("Failed getcwd in simplifyURL\n");
                return nullptr;
            }
            text = std::string(cwd) + "/" + text;
        }
        text = "file://localhost" + text;
    }
    return safestrdup(simplifyPathOf(text).c_str());
}

char* canonizedURL(UnitContext* ctx, const char* url) { return simplifyURL(ctx, url); }

char* localPathOfURL(const char* url) {
    if (!url || std::strncmp(url, "file:", 5) != 0) return nullptr;
    std::string text(url);
    std::size_t start = pathStart(text);
    std::size_t end = text.find('#', start);
    std::string path = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!path.empty() && path[0] == '/') path.erase(0, 1);
    return safestrdup(("/" + path).c_str());
}
