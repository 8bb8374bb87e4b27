// Inside the URL layer: HTTP transfers through curl's multi interface. The
// sockets curl asks to watch join the toolkit's event loop as input
// sources and its timer as one toolkit timeout, so transfers advance
// whenever the player waits for anything; without a display they are
// driven by poll(2) on the same sockets.
#pragma once
#include <cstddef>
#include <string>

#include "net/urlmap.h"

struct UnitContext;

// Fetches the entry's URL into a new temporary copy, or joins the fetch
// already under way for it. With wait it returns when the fetch has ended,
// serving window events meanwhile. False when the fetch failed (the entry
// has then left the map).
bool fetchEntry(UnitContext* ctx, const EntryRef& entry, bool wait);

// Posts the data as a form to the target URL and waits for the reply,
// which goes into the entry's temporary copy. False on failure.
bool postEntry(UnitContext* ctx, const EntryRef& entry, const std::string& target, const char* data,
               std::size_t length);

// Stops the entry's fetch, if one is under way, without a message.
void cancelFetch(const EntryRef& entry);

// Lets the entry's fetch go on until it has written `needed` bytes or has
// ended (or the program is halted). With block false it only takes what is
// ready now.
void awaitBytes(const EntryRef& entry, long long needed, bool block);

// Ends every transfer; at exit.
void endTransfers();
