// Small string and file helpers shared by every subsystem.
#pragma once

// Newly allocated copy (TamMalloc), or null for null. Out of memory ends
// the player.
char* safestrdup(const char* text);

// Case-insensitive comparison through the C library's lower-case mapping:
// -1, 0 or 1. A proper prefix sorts first.
int stricmp(const char* a, const char* b);

// Copies a file byte for byte; 0 on success, 1 when either file cannot be
// opened.
int copy_file(const char* destination, const char* source);
