"""Closing the main window from outside: the window manager's close
request (WM_DELETE_WINDOW) quits like File → Quit, and a window destroyed
by another client ends the player as well. Either way the status is 0, no
server process is left running and no temporary file is left behind."""
import ctypes
import os
import re
import subprocess
import sys
import time

from httpfixture import with_session
from player import PROGRAMS, Failure, Idle, alive, check, main

X11 = ctypes.cdll.LoadLibrary("libX11.so.6")
X11.XOpenDisplay.restype = ctypes.c_void_p
X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
X11.XInternAtom.restype = ctypes.c_ulong
X11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
X11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
X11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
X11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
X11.XCloseDisplay.argtypes = [ctypes.c_void_p]

CLIENT_MESSAGE = 33


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


def main_window(name="talvix", seconds=10):
    """The id of the top-level window of that name."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
        found = re.search(r'(0x[0-9a-f]+) "' + name + '"', tree)
        if found:
            return int(found.group(1), 16)
        time.sleep(0.05)
    raise Failure(f"no window {name!r}")


def ask_to_close(window):
    """What a window manager does, which asks only windows that take part."""
    protocols = subprocess.run(["xprop", "-id", str(window), "WM_PROTOCOLS"], capture_output=True,
                               text=True).stdout
    check("WM_DELETE_WINDOW" in protocols, f"window does not take part: {protocols!r}")
    display = X11.XOpenDisplay(None)
    event = Event()
    message = event.xclient
    message.type = CLIENT_MESSAGE
    message.window = window
    message.message_type = X11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    message.format = 32
    message.data[0] = X11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    X11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    X11.XSync(display, 0)
    X11.XCloseDisplay(display)


def destroy(window):
    display = X11.XOpenDisplay(None)
    X11.XDestroyWindow(display, window)
    X11.XSync(display, 0)
    X11.XCloseDisplay(display)


def ends_cleanly(binary, session, close):
    player = Idle(binary, ["-rd", "1", session.server.url("waiting.kiv")], session.env())
    servers = player.wait_for_servers()
    window = main_window()
    time.sleep(0.5)
    close(window)
    try:
        status = player.process.wait(10)
    except subprocess.TimeoutExpired:
        player.process.kill()
        player.process.wait()
        raise Failure("the player went on running")
    err = player.stderr()
    check(status == 0 and not err, f"status {status}, stderr {err!r}")
    check(not [pid for pid in servers if alive(pid)], "servers left running")
    check(session.leftovers() == [], f"left behind: {session.leftovers()}")


@with_session
def close_request_quits(binary, session):
    with open(os.path.join(PROGRAMS, "waiting.kiv")) as f:
        session.server.write("waiting.kiv", f.read())
    ends_cleanly(binary, session, ask_to_close)


@with_session
def destroyed_window_ends_player(binary, session):
    with open(os.path.join(PROGRAMS, "waiting.kiv")) as f:
        session.server.write("waiting.kiv", f.read())
    ends_cleanly(binary, session, destroy)


if __name__ == "__main__":
    sys.exit(main([close_request_quits, destroyed_window_ends_player]))
