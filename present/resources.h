// The player's command-line options and application resources, and
// reading them without a display (parse-only runs need none).
#pragma once
#include <X11/Intrinsic.h>

inline constexpr const char* kAppClass = "Talvix";

struct AppResources {
    int redirectStderr;
    String defaultURL;
    int allowLocalAccess;
    int allowLocalWrite;
    int memoryLimit;
    int parseOnly;
    int menuBarOn;
    Boolean perfectCols;
    int downloadLimit;  // megabytes
};

extern XrmOptionDescRec appOptions[];
extern const Cardinal appOptionCount;
extern XtResource appResources[];
extern const Cardinal appResourceCount;
// Used when no application defaults file is installed.
extern String fallbackResources[];

// Removes the player's and the toolkit's options from the argument vector
// and reads the resources from the command line and the resource files the
// toolkit would read (application defaults, ~/.Xdefaults, XENVIRONMENT),
// all without a display. Texts in the result belong to a database that
// lives until the process ends.
void readResourcesWithoutDisplay(int* argc, char** argv, AppResources* out);

// Removes the player's and the toolkit's options, with their values, from
// the argument vector and reads nothing.
void removeKnownOptions(int* argc, char** argv);
