// Canonical URLs and the base anchor. A name is made canonical once, when
// it enters the layer, so that the URL map can use the text as its key:
// surrounding white space goes, "." and ".." path segments are collapsed
// and control characters cut the text short. Relative names are resolved
// against the base anchor (the current document) with curl's URL parser;
// without a base they are local paths relative to the working directory.
#include "net/url.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "net/urlmap.h"

// The layer's part of the unit context.
struct UrlState {
    std::string baseAnchor;
    bool hasBase = false;
};

namespace {

// Every state handed out stays here until the process ends, so that a
// context may be copied or dropped without leaving its state behind.
std::deque<UrlState> states;

UrlState* stateOf(UnitContext* ctx) {
    if (!ctx) return nullptr;
    if (!ctx->urlState) ctx->urlState = &states.emplace_back();
    return ctx->urlState;
}

struct FreeCurlText {
    void operator()(char* text) const noexcept { curl_free(text); }
};

struct CurlUrl {
    CURLU* handle = curl_url();
    ~CurlUrl() { curl_url_cleanup(handle); }
    CurlUrl() = default;
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    bool set(const std::string& url) {
        return handle && curl_url_set(handle, CURLUPART_URL, url.c_str(),
                                      CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) == CURLUE_OK;
    }
    std::string part(CURLUPart which) const {
        char* text = nullptr;
        if (curl_url_get(handle, which, &text, 0) != CURLUE_OK || !text) return "";
        std::unique_ptr<char, FreeCurlText> owned(text);
        return owned.get();
    }
};

std::string_view stripSpace(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// A control character (tab excepted) could smuggle a second line into a
// request.
bool hasControlCharacter(const std::string& text, std::size_t* at = nullptr) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c != '\t' && (c < 32 || (c > 126 && c < 160))) {
            if (at) *at = i;
            return true;
        }
    }
    return false;
}

// The text ends before its first control character. True when something
// was cut.
bool cutAtControlCharacter(std::string& text) {
    std::size_t at;
    if (!hasControlCharacter(text, &at)) return false;
    text.erase(at);
    return true;
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

// Collapses the dot segments of the path, leaving query and fragment.
std::string simplifyPath(const std::string& url) {
    std::size_t start = pathStart(url);
    std::size_t end = url.find_first_of("?#", start);
    if (end == std::string::npos) end = url.size();
    if (start >= end || url[start] != '/') return url;
    return url.substr(0, start) + collapseDots(std::string_view(url).substr(start, end - start)) +
           url.substr(end);
}

// Stripped, cut at control characters and simplified. White space left
// in front of a cut goes as well, as it would have at the end.
std::string cleanURL(const char* url) {
    std::string text(stripSpace(url ? url : ""));
    if (cutAtControlCharacter(text)) {
        userMsg("Removed characters from URL to prevent security holes\n");
        text = std::string(stripSpace(text));
    }
    return simplifyPath(text);
}

// curl takes a longer "scheme" for the start of a relative path.
constexpr std::size_t kMaxSchemeLength = 40;

// A scheme is a letter followed by letters, digits, "+", "-" or "." up to
// a colon; a colon further on ("/tmp/a:b.kiv", "notes/1:2.kiv") is part
// of a local path. The length limit is curl's, so that a name is a URL
// here exactly when it is one to curl, and making a URL canonical again
// cannot turn it into a path.
bool startsWithScheme(const std::string& url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) return false;
    std::size_t end = url.find_first_not_of(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    return end != std::string::npos && end <= kMaxSchemeLength && url[end] == ':';
}

// Without a base: a URL with a scheme stands as it is, a path is local.
std::optional<std::string> absoluteWithoutBase(const std::string& url) {
    if (startsWithScheme(url)) return url;
    if (!url.empty() && url[0] == '/') return "file://localhost" + url;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) {
        userMsg("Failed getcwd in simplifyURL\n");
        return std::nullopt;
    }
    return "file://localhost" + std::string(cwd) + "/" + url;
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) about inserting
// in front of a string at -O3.
std::string withLeadingSlash(const std::string& path) {
    std::string result;
    result.reserve(path.size() + 1);
    result += '/';
    result += path;
    return result;
}

// scheme://[user[:password]@]host[:port]/path[?query]; the fragment is
// dropped. Local files keep the host name localhost, which curl drops.
std::string composeURL(const CurlUrl& url) {
    std::string scheme = url.part(CURLUPART_SCHEME);
    std::string path = url.part(CURLUPART_PATH);
    if (path.empty() || path[0] != '/') path = withLeadingSlash(path);
    std::string query = url.part(CURLUPART_QUERY);
    if (!query.empty()) path += "?" + query;
    if (scheme == "file") return "file://localhost" + path;
    std::string authority;
    std::string user = url.part(CURLUPART_USER);
    if (!user.empty()) {
        std::string password = url.part(CURLUPART_PASSWORD);
        authority = user + (password.empty() ? "" : ":" + password) + "@";
    }
    authority += url.part(CURLUPART_HOST);
    std::string port = url.part(CURLUPART_PORT);
    if (!port.empty()) authority += ":" + port;
    return scheme + "://" + authority + path;
}

// An empty reference and a bare fragment name the base document itself;
// curl would take them for its folder.
bool namesBaseDocument(const std::string& url) { return url.empty() || url[0] == '#'; }

// curl's composition of what it parsed, unless undoing %XX escapes (of a
// host name) brought back a control character, or curl cannot read the
// composition on its own (a host "%6%30" resolved against a base becomes
// "%60"), which would make it a relative name the next time. curl may
// normalise its own result again (a host "%3%31" becomes "%31", then "1",
// then "0.0.0.1"), so the composition is parsed and composed until it
// stays. Each rewrite but the last undoes an escape and so shortens the
// text, which bounds the rounds by its length.
std::optional<std::string> composeClean(const CurlUrl& url) {
    std::string composed = composeURL(url);
    for (std::size_t round = 0, rounds = composed.size() + 2; round < rounds; ++round) {
        CurlUrl again;
        if (!again.set(composed)) return std::nullopt;
        std::string next = composeURL(again);
        if (next == composed) break;
        composed = std::move(next);
    }
    if (hasControlCharacter(composed)) return std::nullopt;
    return composed;
}

// The URL resolved against the base; what curl cannot resolve is taken
// as if there were no base. Either way the fragment goes, and a result
// curl can parse on its own is composed by it, so that making the result
// canonical again (always against a base) leaves it as it is.
std::optional<std::string> resolveAgainst(const std::string& base, const std::string& url) {
    std::string target = url.substr(0, url.find('#'));
    CurlUrl parsed;
    if (parsed.set(base) && (namesBaseDocument(url) || parsed.set(target)))
        if (std::optional<std::string> composed = composeClean(parsed)) return composed;
    std::optional<std::string> absolute = absoluteWithoutBase(target);
    if (!absolute) return std::nullopt;
    std::string trimmed = simplifyPath(std::string(stripSpace(*absolute)));
    CurlUrl alone;
    if (alone.set(trimmed))
        if (std::optional<std::string> composed = composeClean(alone)) return composed;
    return trimmed;
}

// White space that resolving left at an end (a path of spaces, the space
// before a dropped fragment) goes as it would from a name given so, and
// so does an empty query left behind ("h/a?  #f"), which curl drops when
// the result is made canonical again.
char* finish(const std::optional<std::string>& url) {
    if (!url) return nullptr;
    std::string text = simplifyPath(std::string(stripSpace(*url)));
    if (text.empty() || text.find('?') != text.size() - 1) return safestrdup(text.c_str());
    while (!text.empty() && text.find('?') == text.size() - 1) {
        text.pop_back();
        text = simplifyPath(std::string(stripSpace(text)));
    }
    // What is left may now be a URL curl takes, which it would compose
    // differently the next time.
    CurlUrl parsed;
    if (parsed.set(text))
        if (std::optional<std::string> composed = composeClean(parsed))
            text = simplifyPath(std::string(stripSpace(*composed)));
    return safestrdup(text.c_str());
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Undoes %XX escapes; a % that starts no escape stands for itself, and so
// does %00, which would end the path early.
std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() && text[i] == '%' ? hexValue(text[i + 1]) : -1;
        int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0 && high * 16 + low != 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

const char* baseAnchor(UnitContext* ctx) {
    UrlState* state = stateOf(ctx);
    return state && state->hasBase ? state->baseAnchor.c_str() : nullptr;
}

void setBaseAnchor(UnitContext* ctx, const char* url) {
    UrlState* state = stateOf(ctx);
    if (!state) return;
    state->hasBase = url != nullptr;
    state->baseAnchor = url ? url : "";
}

char* simplifyURL(UnitContext* ctx, const char* url) {
    std::string text = cleanURL(url);
    const char* base = baseAnchor(ctx);
    return finish(base ? resolveAgainst(base, text) : absoluteWithoutBase(text));
}

char* canonizedURL(UnitContext* ctx, const char* url) { return simplifyURL(ctx, url); }

char* AbsoluteURL(const char* base, const char* relative) {
    std::optional<std::string> absoluteBase = absoluteWithoutBase(std::string(stripSpace(base ? base : "")));
    if (!absoluteBase) return nullptr;
    return finish(resolveAgainst(*absoluteBase, cleanURL(relative)));
}

void NewAnchor(UnitContext* ctx, const char* url, int mode) {
    setBaseAnchor(ctx, nullptr);
    char* base = nullptr;
    if (mode == 0 && url) base = simplifyURL(ctx, url);
    if (mode == 1 && url) base = lookupURL(ctx, url);
    setBaseAnchor(ctx, base);
    TamFree(base);
}

bool isFileURL(const char* url) { return url && std::strncmp(url, "file:", 5) == 0; }

char* localPathOfURL(const char* url) {
    if (!isFileURL(url)) return nullptr;
    std::string text(url);
    std::size_t start = pathStart(text);
    std::size_t end = text.find('#', start);
    std::string path = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t firstName = path.find_first_not_of('/');
    path = firstName == std::string::npos ? std::string() : path.substr(firstName);
    return safestrdup(withLeadingSlash(unescape(path)).c_str());
}

bool pathNeedsEscapes(const char* path) {
    for (const char* c = path ? path : ""; *c; ++c) {
        auto byte = static_cast<unsigned char>(*c);
        if (byte < 32 || byte > 126 || byte == '%' || byte == '#' || byte == '?') return true;
    }
    return false;
}

char* fileURLOfPath(const char* path) {
    std::string absolute = path ? path : "";
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return nullptr;
        absolute = std::string(cwd) + "/" + absolute;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://localhost";
    for (char c : absolute) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("/-._~!$&'()*+,;=:@", byte)) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 15];
        }
    }
    return safestrdup(url.c_str());
}
