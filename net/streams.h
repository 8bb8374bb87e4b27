// Program streams: the descriptors a program opens with the open builtin
// and reads and writes through read, write, getc and putc.
#pragma once

struct UnitContext;

// Most program streams open at once; a program that asks for more is
// stopped with a message.
inline constexpr int kMaxProgramStreams = 256;

// Opens the URL; mode letters r and w select reading and writing (both:
// read-write), N reads without waiting for a download. Writing to a local
// file needs allowLocalWrite, read-write also allowLocalAccess; reading one
// needs a program loaded from a local file or allowLocalAccess. Any other
// URL is fetched in the background and opened for reading whatever the
// mode; reads that overtake the download wait for it. Returns the
// descriptor, or -1.
int OpenURL(UnitContext* ctx, const char* url, const char* mode);

// Transfer up to n bytes; the count transferred, 0 when nothing moved,
// -1 for a descriptor that is not a program stream.
int Sread(int fd, char* buffer, int n);
int Swrite(int fd, const char* data, int n);
