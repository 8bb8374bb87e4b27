// MIME type bindings. Only the types the player acts on are bound by
// suffix: its own programs, the two image formats and HTML, which it hands
// to the outside browser.
#include "net/mime.h"

#include <cctype>
#include <string_view>

namespace {

struct SuffixBinding {
    const char* suffix;
    const char* type;
};

constexpr SuffixBinding kBindings[] = {
    {"kiv", "application/x-talvix"}, {"gif", "image/gif"}, {"jpg", "image/jpeg"},
    {"html", "text/html"},           {"htm", "text/html"},
};

constexpr const char* kUnknown = "www/unknown";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The last path segment, without query and fragment.
std::string_view lastSegment(std::string_view name) {
    name = name.substr(0, name.find_first_of("?#"));
    std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string_view splitSuffix(std::string_view& segment) {
    std::size_t dot = segment.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string_view suffix = segment.substr(dot + 1);
    segment = segment.substr(0, dot);
    return suffix;
}

}  // namespace

const char* formatOfName(const char* name) {
    std::string_view segment = lastSegment(name ? name : "");
    std::string_view suffix = splitSuffix(segment);
    if (equalsIgnoringCase(suffix, "gz")) suffix = splitSuffix(segment);
    for (const SuffixBinding& binding : kBindings)
        if (equalsIgnoringCase(suffix, binding.suffix)) return binding.type;
    return kUnknown;
}

std::string formatOfHeader(const char* header) {
    std::string type;
    for (const char* c = header ? header : ""; *c && *c != ';'; ++c)
        if (!std::isspace(static_cast<unsigned char>(*c)))
            type += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return type;
}
