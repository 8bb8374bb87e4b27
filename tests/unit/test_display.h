// The connection the unit tests that draw open to the test's X server.
#pragma once
#include <X11/Xlib.h>
#include <unistd.h>

// The server may refuse a connection made right after the previous test's
// one closed, so the connection is tried again for up to a second.
inline Display* openTestDisplay() {
    Display* dpy = nullptr;
    for (int tries = 0; !dpy && tries < 50; ++tries) {
        dpy = XOpenDisplay(nullptr);
        if (!dpy) usleep(20000);
    }
    return dpy;
}
