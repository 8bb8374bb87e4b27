// The URL map: which local file stands for which URL. Fetched resources
// get temporary copies that live as long as their entries; file: URLs map
// to their own paths and nothing of theirs is ever deleted.
#include "net/urlmap.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <list>

#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "net/mime.h"
#include "net/transfer.h"
#include "net/url.h"
#include "present/shell.h"

namespace {

// Newest first.
std::list<EntryRef> map;

struct FreeText {
    void operator()(char* text) const noexcept { TamFree(text); }
};
using OwnedText = std::unique_ptr<char, FreeText>;

void deleteCopy(const MapEntry& entry, bool report) {
    if (!entry.temporary || entry.localFile.empty() || isFileURL(entry.url.c_str())) return;
    if (unlink(entry.localFile.c_str()) != 0 && report)
        userMsg(formatMsg("WWWFree: Could not remove %s\n", entry.localFile.c_str()).c_str());
}

EntryRef addLocalEntry(const std::string& url) {
    EntryRef entry = addEntry(url);
    OwnedText path(localPathOfURL(url.c_str()));
    entry->localFile = path ? path.get() : "";
    entry->contentType = formatOfName(url.c_str());
    return entry;
}

}  // namespace

EntryRef findEntry(const std::string& url) {
    auto found = std::find_if(map.begin(), map.end(), [&](const EntryRef& e) { return e->url == url; });
    return found == map.end() ? nullptr : *found;
}

EntryRef addEntry(const std::string& url) {
    auto entry = std::make_shared<MapEntry>();
    entry->url = url;
    map.push_front(entry);
    return entry;
}

void removeEntry(const EntryRef& entry) {
    auto found = std::find(map.begin(), map.end(), entry);
    if (found == map.end()) return;
    map.erase(found);
    deleteCopy(*entry, false);
}

void clearMap() {
    for (const EntryRef& entry : map) deleteCopy(*entry, true);
    map.clear();
}

EntryRef resolveEntry(UnitContext* ctx, const char* url, bool wait) {
    OwnedText canonical(simplifyURL(ctx, url));
    if (!canonical) return nullptr;
    if (!baseAnchor(ctx)) setBaseAnchor(ctx, canonical.get());
    std::string key = canonical.get();
    if (EntryRef entry = findEntry(key)) {
        if (entry->pending && wait && !fetchEntry(ctx, entry, true)) {
            removeEntry(entry);
            return nullptr;
        }
        return entry;
    }
    if (isFileURL(key.c_str())) return addLocalEntry(key);
    EntryRef entry = addEntry(key);
    if (!fetchEntry(ctx, entry, wait)) {
        removeEntry(entry);
        return nullptr;
    }
    return entry;
}

char* startResolveURL(UnitContext* ctx, const char* url, int wait) {
    EntryRef entry = resolveEntry(ctx, url, wait != 0);
    return entry ? safestrdup(entry->localFile.c_str()) : nullptr;
}

const char* ContentType(UnitContext* ctx, const char* url) {
    OwnedText canonical(simplifyURL(ctx, url));
    if (!canonical) return "";
    EntryRef entry = findEntry(canonical.get());
    if (!entry || entry->pending) entry = resolveEntry(ctx, canonical.get(), true);
    // The text must outlive this call: it is read from the entry while the
    // entry is still in the map.
    if (!entry || !findEntry(entry->url)) return "";
    return entry->contentType.c_str();
}

char* lookupURL(UnitContext*, const char* localFile) {
    for (const EntryRef& entry : map)
        if (localFile && entry->localFile == localFile) return safestrdup(entry->url.c_str());
    userMsg(formatMsg("No such temporary file : %s", localFile ? localFile : "").c_str());
    return nullptr;
}

// The URL is looked up as given and, failing that, in its canonical form,
// which may differ in spelling (a URL stored before the base anchor was
// set keeps the form it was given in).
int RemoveMapEntry(UnitContext* ctx, const char* url) {
    EntryRef entry = url ? findEntry(url) : nullptr;
    if (!entry && url) {
        OwnedText canonical(simplifyURL(ctx, url));
        if (canonical) entry = findEntry(canonical.get());
    }
    if (!entry) {
        setStatus(ctx, formatMsg("Could not find any URL associated with local file %s", url ? url : "").c_str());
        return 0;
    }
    cancelFetch(entry);
    removeEntry(entry);
    return 1;
}
