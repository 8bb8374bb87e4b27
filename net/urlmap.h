// Inside the URL layer: the map of URLs to local copies. Entries are
// shared, so that a program stream or a waiting fetch keeps the record it
// uses even when the entry leaves the map meanwhile (a reload, a failed
// fetch).
#pragma once
#include <memory>
#include <string>

struct UnitContext;
struct Request;

struct MapEntry {
    std::string url;           // canonical URL, the key
    std::string localFile;     // temporary copy, or the path of a file: URL
    std::string contentType;   // MIME type; empty while unknown
    std::shared_ptr<Request> pending;  // the fetch under way, if any
    bool temporary = false;    // the local file goes with the entry
    long long bytesLoaded = 0; // bytes the fetch has written so far
};
using EntryRef = std::shared_ptr<MapEntry>;

// The entry for a canonical URL; null when there is none.
EntryRef findEntry(const std::string& url);
// A new entry at the head of the map (newest first).
EntryRef addEntry(const std::string& url);
// Takes the entry out of the map and deletes its temporary file; an entry
// already out is left alone.
void removeEntry(const EntryRef& entry);
// Empties the map, deleting the temporary copies (WWWFree).
void clearMap();

// Resolves the URL to its entry, fetching it when it is not in the map
// (waiting for the fetch with wait); null when the resource cannot be had.
EntryRef resolveEntry(UnitContext* ctx, const char* url, bool wait);

// Sets the base anchor to a copy of url, or drops it for null.
void setBaseAnchor(UnitContext* ctx, const char* url);
