"""Transfers never outlive their use: a background download ends with the
program that started it, Back and Reload end a blocking load at once, and
a download beyond the size limit fails with a message. No local copy is
left behind in any case."""
import os
import select
import signal
import sys
import threading
import time

from httpfixture import with_session
from player import Idle, check, main, run
from test_shell import Shell

SAY = 'int out;\nvoid say(text s) { write(out, s + "\\n", strlen(s) + 1); }\n'

BACKGROUND = SAY + """int main()
{
    int fd;
    text s;
    out = open("file:///dev/stdout", "w");
    fd = open("endless", "rN");
    while (read(fd, s, 5) < 5) wait(10);
    say("returning");
}
"""

BLOCKING = SAY + """int main()
{
    out = open("file:///dev/stdout", "w");
    setCursorPos(0, 0);
    say("ready");
    say("loading");
    say(contentType("trickle"));
    say("not reached");
}
"""

LIMITED = SAY + """int main()
{
    out = open("file:///dev/stdout", "w");
    say("[" + contentType("big.txt") + "]");
    say("[" + contentType("endless") + "]");
    say("[" + contentType("small.txt") + "]");
    terminate();
}
"""


class Stream:
    """A route that sends a body without end, a chunk every pause, and
    notes when the client has gone."""

    def __init__(self, chunk, pause):
        self.chunk, self.pause = chunk, pause
        self.started = 0
        self.closed = 0
        self.lock = threading.Lock()

    def __call__(self, request):
        with self.lock:
            self.started += 1
        request.send_response(200)
        request.send_header("Content-Type", "text/plain")
        request.end_headers()
        try:
            while True:
                request.wfile.write(self.chunk)
                request.wfile.flush()
                time.sleep(self.pause)
        except OSError:
            with self.lock:
                self.closed += 1

    def wait_closed(self, count, seconds=10.0):
        deadline = time.time() + seconds
        while time.time() < deadline and self.closed < count:
            time.sleep(0.05)
        return self.closed >= count

    def wait_started(self, count, seconds=5.0):
        deadline = time.time() + seconds
        while time.time() < deadline and self.started < count:
            time.sleep(0.05)
        return self.started >= count


def sized(length):
    """A route whose body has the length, announced in its header."""
    def handler(request):
        request.send_response(200)
        request.send_header("Content-Type", "text/plain")
        request.send_header("Content-Length", str(length))
        request.end_headers()
        try:
            request.wfile.write(b"y" * length)
        except OSError:
            pass
    return handler


@with_session
def background_download_ends_with_its_program(binary, session):
    server = session.server
    endless = Stream(b"x" * 65536, 0.01)
    server.route("endless", endless)
    server.write("prog.kiv", BACKGROUND)
    player = Idle(binary, ["-alw", "1", server.url("prog.kiv")], env=session.env())
    ready = select.select([player.process.stdout], [], [], 10)[0]
    check(ready and player.process.stdout.readline() == b"returning\n", "the program did not return")
    check(endless.wait_closed(1), "the download went on after its program had ended")
    # Only the copy of the program itself stays, for Reload and View Source.
    sizes = [os.path.getsize(os.path.join(session.tmp, name)) for name in session.leftovers()]
    check(sizes == [len(BACKGROUND)], f"copies left while idle, of sizes {sizes}")
    status = player.signal(signal.SIGTERM)
    check(status == 15, f"status {status}, stderr {player.stderr()!r}")


@with_session
def back_and_reload_end_a_blocking_load(binary, session):
    server = session.server
    trickle = Stream(b"x", 0.1)
    server.route("trickle", trickle)
    server.write("prog.kiv", BLOCKING)
    player = Shell(binary, env={"TMPDIR": session.tmp}, program=server.url("prog.kiv"))
    player.expect("loading")
    check(trickle.wait_started(1), "the load did not start")
    player.menu("Reload")
    player.expect("ready", "loading")
    check(trickle.wait_closed(1), "Reload left the load running")
    check(trickle.wait_started(2), "the reloaded program did not load again")
    player.menu("Back")
    check(trickle.wait_closed(2), "Back left the load running")
    player.quiet(0.3)
    player.menu("Quit")
    player.finish(0)
    check(session.leftovers() == [], f"copies left: {session.leftovers()}")


@with_session
def downloads_stop_at_the_size_limit(binary, session):
    server = session.server
    server.route("endless", Stream(b"x" * 65536, 0.001))
    server.route("big.txt", sized(2 << 20))
    server.write("small.txt", "small\n")
    server.write("prog.kiv", LIMITED)
    status, out, err = run(binary, ["-alw", "1", "-dl", "1", server.url("prog.kiv")], env=session.env())
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == "[]\n[]\n[text/plain]\n", f"stdout {out!r}")
    for name in ["big.txt", "endless"]:
        message = f"Warning: Could not load {server.url(name)}: larger than the download limit of 1 MB"
        check(message in err, f"no limit message for {name}: {err!r}")
    check(session.leftovers() == [], f"copies left: {session.leftovers()}")


if __name__ == "__main__":
    sys.exit(main([background_download_ends_with_its_program, back_and_reload_end_a_blocking_load,
                   downloads_stop_at_the_size_limit]))
