// Kiv stream API: buffered byte streams on complete local copies of URLs.
// The program loader, includes, images and sound requests read through it.
#pragma once
#include <cstddef>
#include <cstdio>

struct UnitContext;

using KivStream = std::FILE;

// Resolves the URL (waiting for a fetch when needed) and opens its local
// copy for binary reading; null when it cannot be had.
KivStream* KivOpen(UnitContext* ctx, const char* url);
int KivClose(KivStream* stream);
std::size_t KivRead(KivStream* stream, void* buffer, std::size_t n);
std::size_t KivWrite(KivStream* stream, const void* data, std::size_t n);
int KivGetc(KivStream* stream);
int KivUngetc(int c, KivStream* stream);
