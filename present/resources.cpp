// Options, resources and their reading without a display. With a display
// the toolkit reads the same tables itself (present/mainwin.cpp); without
// one this file follows the toolkit's order of resource sources, lowest
// precedence first, and converts the values the way its converters do.
#include "present/resources.h"

#include <X11/StringDefs.h>
#include <X11/Xresource.h>
#include <unistd.h>

#include <climits>
#include <initializer_list>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/messages.h"
#include "core/strings.h"

#define RES(field) static_cast<Cardinal>(XtOffsetOf(AppResources, field))

XrmOptionDescRec appOptions[] = {
    {const_cast<char*>("-rd"), const_cast<char*>("*redirectStderr"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-ala"), const_cast<char*>("*allowLocalAccess"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-alw"), const_cast<char*>("*allowLocalWrite"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-ml"), const_cast<char*>("*memoryLimit"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-url"), const_cast<char*>("*defaultURL"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-po"), const_cast<char*>("*parseOnly"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-mb"), const_cast<char*>("*menuBarOn"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-perfect"), const_cast<char*>("*perfectCols"), XrmoptionNoArg,
     const_cast<char*>("True")},
    {const_cast<char*>("-dl"), const_cast<char*>("*downloadLimit"), XrmoptionSepArg, nullptr},
};
const Cardinal appOptionCount = XtNumber(appOptions);

XtResource appResources[] = {
    {const_cast<char*>("redirectStderr"), const_cast<char*>("RedirectStderr"), XtRInt, sizeof(int),
     RES(redirectStderr), XtRImmediate, reinterpret_cast<XtPointer>(0)},
    {const_cast<char*>("allowLocalAccess"), const_cast<char*>("AllowLocalAccess"), XtRInt,
     sizeof(int), RES(allowLocalAccess), XtRImmediate, reinterpret_cast<XtPointer>(0)},
    {const_cast<char*>("allowLocalWrite"), const_cast<char*>("AllowLocalWrite"), XtRInt,
     sizeof(int), RES(allowLocalWrite), XtRImmediate, reinterpret_cast<XtPointer>(0)},
    {const_cast<char*>("memoryLimit"), const_cast<char*>("MemoryLimit"), XtRInt, sizeof(int),
     RES(memoryLimit), XtRImmediate, reinterpret_cast<XtPointer>(0)},
    {const_cast<char*>("defaultURL"), const_cast<char*>("DefaultURL"), XtRString, sizeof(String),
     RES(defaultURL), XtRString, const_cast<char*>("Local")},
    {const_cast<char*>("parseOnly"), const_cast<char*>("ParseOnly"), XtRInt, sizeof(int),
     RES(parseOnly), XtRImmediate, reinterpret_cast<XtPointer>(0)},
    {const_cast<char*>("menuBarOn"), const_cast<char*>("MenuBarOn"), XtRInt, sizeof(int),
     RES(menuBarOn), XtRImmediate, reinterpret_cast<XtPointer>(1)},
    {const_cast<char*>("perfectCols"), const_cast<char*>("PerfectCols"), XtRBoolean,
     sizeof(Boolean), RES(perfectCols), XtRImmediate, reinterpret_cast<XtPointer>(False)},
    {const_cast<char*>("downloadLimit"), const_cast<char*>("DownloadLimit"), XtRInt, sizeof(int),
     RES(downloadLimit), XtRImmediate, reinterpret_cast<XtPointer>(kDefaultDownloadLimit)},
};
const Cardinal appResourceCount = XtNumber(appResources);

// The URL field keeps the resource's own default, "Local", which names no
// program that might not exist.
String fallbackResources[] = {
    const_cast<char*>("*background:  gray"),
    nullptr,
};

namespace {

// The toolkit's own options, so that a parse-only run removes them too
// instead of taking one for the program name.
XrmOptionDescRec toolkitOptions[] = {
    {const_cast<char*>("-display"), const_cast<char*>(".display"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-geometry"), const_cast<char*>(".geometry"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-name"), const_cast<char*>(".name"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-title"), const_cast<char*>(".title"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-xrm"), nullptr, XrmoptionResArg, nullptr},
    {const_cast<char*>("-background"), const_cast<char*>("*background"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-bg"), const_cast<char*>("*background"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-foreground"), const_cast<char*>("*foreground"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-fg"), const_cast<char*>("*foreground"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-bordercolor"), const_cast<char*>("*borderColor"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-bd"), const_cast<char*>("*borderColor"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-borderwidth"), const_cast<char*>(".borderWidth"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-bw"), const_cast<char*>(".borderWidth"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-font"), const_cast<char*>("*font"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-fn"), const_cast<char*>("*font"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-iconic"), const_cast<char*>(".iconic"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("-reverse"), const_cast<char*>("*reverseVideo"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("-rv"), const_cast<char*>("*reverseVideo"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("+rv"), const_cast<char*>("*reverseVideo"), XrmoptionNoArg, const_cast<char*>("off")},
    {const_cast<char*>("-synchronous"), const_cast<char*>("*synchronous"), XrmoptionNoArg, const_cast<char*>("on")},
    {const_cast<char*>("+synchronous"), const_cast<char*>("*synchronous"), XrmoptionNoArg, const_cast<char*>("off")},
    {const_cast<char*>("-selectionTimeout"), const_cast<char*>(".selectionTimeout"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-xnllanguage"), const_cast<char*>(".xnlLanguage"), XrmoptionSepArg, nullptr},
};

std::string envOr(const char* name, const std::string& otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? value : otherwise;
}

std::string homeDir() { return envOr("HOME", ""); }

// The application's name as the toolkit takes it: -name, RESOURCE_NAME,
// or the last component of the program path.
std::string appName(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-name") == 0) return argv[i + 1];
    if (const char* name = std::getenv("RESOURCE_NAME"); name && *name) return name;
    const char* path = argc > 0 && argv[0] ? argv[0] : "talvix";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Fills a search path the way the toolkit does for the application
// defaults: %N the class, %T "app-defaults", the language parts empty.
std::string expandSearchEntry(const std::string& entry) {
    std::string out;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] != '%' || i + 1 == entry.size()) {
            out += entry[i];
            continue;
        }
        char code = entry[++i];
        if (code == 'N') out += kAppClass;
        else if (code == 'T') out += "app-defaults";
        else if (code == '%') out += '%';
    }
    return out;
}

std::string firstReadable(const std::string& searchPath) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        std::string candidate = expandSearchEntry(searchPath.substr(start, end - start));
        if (!candidate.empty() && access(candidate.c_str(), R_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

std::string appDefaultsFile() {
    return firstReadable(envOr("XFILESEARCHPATH",
                               "/etc/X11/%T/%N:/usr/share/X11/%T/%N:/usr/lib/X11/%T/%N"));
}

std::string userDefaultsFile() {
    if (const char* path = std::getenv("XUSERFILESEARCHPATH")) return firstReadable(path);
    return firstReadable(envOr("XAPPLRESDIR", homeDir()) + "/%N");
}

std::string environmentFile() {
    if (const char* path = std::getenv("XENVIRONMENT")) return path;
    char host[HOST_NAME_MAX + 1] = "";
    gethostname(host, sizeof host - 1);
    return homeDir() + "/.Xdefaults-" + host;
}

XrmDatabase fileDatabase() {
    XrmDatabase db = nullptr;
    std::string appDefaults = appDefaultsFile();
    if (appDefaults.empty()) {
        for (String* line = fallbackResources; *line; ++line) XrmPutLineResource(&db, *line);
    } else {
        XrmCombineFileDatabase(appDefaults.c_str(), &db, True);
    }
    for (const std::string& file : {userDefaultsFile(), homeDir() + "/.Xdefaults", environmentFile()})
        if (!file.empty()) XrmCombineFileDatabase(file.c_str(), &db, True);
    return db;
}

const char* lookup(XrmDatabase db, const std::string& name, const XtResource& resource) {
    std::string fullName = name + "." + resource.resource_name;
    std::string fullClass = std::string(kAppClass) + "." + resource.resource_class;
    char* type = nullptr;
    XrmValue value{};
    if (!XrmGetResource(db, fullName.c_str(), fullClass.c_str(), &type, &value) || !value.addr)
        return nullptr;
    return value.addr;
}

void cannotConvert(const char* text, const char* type) {
    userMsg(formatMsg("Warning: Cannot convert string \"%s\" to type %s", text, type).c_str());
}

void convertInt(const char* text, int* field) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (end == text || *end || value < INT_MIN || value > INT_MAX)
        cannotConvert(text, "Int");
    else
        *field = static_cast<int>(value);
}

void convertBoolean(const char* text, Boolean* field) {
    for (const char* yes : {"true", "yes", "on", "1"})
        if (stricmp(text, yes) == 0) {
            *field = True;
            return;
        }
    for (const char* no : {"false", "no", "off", "0"})
        if (stricmp(text, no) == 0) {
            *field = False;
            return;
        }
    cannotConvert(text, "Boolean");
}

void storeValue(const XtResource& resource, const char* text, AppResources* out) {
    char* field = reinterpret_cast<char*>(out) + resource.resource_offset;
    if (std::strcmp(resource.resource_type, XtRInt) == 0)
        convertInt(text, reinterpret_cast<int*>(field));
    else if (std::strcmp(resource.resource_type, XtRBoolean) == 0)
        convertBoolean(text, reinterpret_cast<Boolean*>(field));
    else
        *reinterpret_cast<String*>(field) = const_cast<char*>(text);
}

void storeDefault(const XtResource& resource, AppResources* out) {
    if (std::strcmp(resource.default_type, XtRString) == 0) {
        storeValue(resource, static_cast<const char*>(resource.default_addr), out);
        return;
    }
    char* field = reinterpret_cast<char*>(out) + resource.resource_offset;
    auto value = reinterpret_cast<std::intptr_t>(resource.default_addr);
    if (std::strcmp(resource.resource_type, XtRBoolean) == 0)
        *reinterpret_cast<Boolean*>(field) = static_cast<Boolean>(value);
    else
        *reinterpret_cast<int*>(field) = static_cast<int>(value);
}

std::vector<XrmOptionDescRec> allOptions() {
    std::vector<XrmOptionDescRec> options(appOptions, appOptions + appOptionCount);
    options.insert(options.end(), std::begin(toolkitOptions), std::end(toolkitOptions));
    return options;
}

// The options found become resources of the database returned; they are
// removed from the argument vector.
XrmDatabase parseCommandLine(const std::string& name, int* argc, char** argv) {
    XrmInitialize();
    std::vector<XrmOptionDescRec> options = allOptions();
    XrmDatabase commandLine = nullptr;
    XrmParseCommand(&commandLine, options.data(), static_cast<int>(options.size()), name.c_str(),
                    argc, argv);
    return commandLine;
}

// The texts of the resources live in it until the process ends.
XrmDatabase resourceDatabase = nullptr;

}  // namespace

void readResourcesWithoutDisplay(int* argc, char** argv, AppResources* out) {
    std::string name = appName(*argc, argv);
    XrmDatabase commandLine = parseCommandLine(name, argc, argv);
    XrmDatabase db = fileDatabase();
    XrmMergeDatabases(commandLine, &db);
    if (resourceDatabase) XrmDestroyDatabase(resourceDatabase);
    resourceDatabase = db;
    for (Cardinal i = 0; i < appResourceCount; ++i) {
        storeDefault(appResources[i], out);
        if (const char* text = lookup(db, name, appResources[i])) storeValue(appResources[i], text, out);
    }
}

void removeKnownOptions(int* argc, char** argv) {
    if (XrmDatabase options = parseCommandLine(appName(*argc, argv), argc, argv))
        XrmDestroyDatabase(options);
}
