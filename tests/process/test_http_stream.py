"""Program streams on a download still under way: a read that overtakes
the download waits for just the bytes it asks for, a stream opened with N
never waits, and background transfers go on while the program waits."""
import queue
import subprocess
import sys
import threading
import time

from httpfixture import with_session
from player import PROGRAMS, SANITIZER, check, main, run

PROGRAM = """int out;
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
int main()
{
    int fd, n, got;
    text s, all;
    out = open("file:///dev/stdout", "w");
    fd = open("first.txt", "r");
    n = read(fd, s, 3);
    say(sprintf("%d ", n) + s);
    n = read(fd, s, 7);
    say(sprintf("%d ", n) + s);
    fd = open("second.txt", "rN");
    n = read(fd, s, 10);
    say(sprintf("nowait %d", n));
    while (got < 10) {
        n = read(fd, s, 10 - got);
        if (n > 0) {
            all = all + s;
            got = got + n;
        } else {
            wait(20);
        }
    }
    say(all);
    terminate();
}
"""


def held_back(gate):
    """A route that sends half of a ten-byte body, then the rest once the
    gate opens."""
    def handler(request):
        request.send_response(200)
        request.send_header("Content-Type", "text/plain")
        request.send_header("Content-Length", "10")
        request.end_headers()
        request.wfile.write(b"01234")
        request.wfile.flush()
        gate.wait(20)
        request.wfile.write(b"56789")
        request.wfile.flush()
    return handler


class Lines:
    def __init__(self, stream):
        self.queue = queue.Queue()
        threading.Thread(target=self.pump, args=(stream,), daemon=True).start()

    def pump(self, stream):
        for line in stream:
            self.queue.put(line.decode("latin-1").rstrip("\n"))
        self.queue.put(None)

    def next(self, seconds=10):
        try:
            return self.queue.get(timeout=seconds)
        except queue.Empty:
            return "(nothing)"


@with_session
def reads_overtake_a_download(binary, session):
    server = session.server
    first, second = threading.Event(), threading.Event()
    server.route("first.txt", held_back(first))
    server.route("second.txt", held_back(second))
    server.write("prog.kiv", PROGRAM)
    player = subprocess.Popen([binary, "-alw", "1", server.url("prog.kiv")], cwd=PROGRAMS,
                              env=session.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        lines = Lines(player.stdout)
        line = lines.next()
        check(line == "3 012", f"first read gave {line!r}")
        check(not first.is_set(), "the read waited for the whole download")
        first.set()
        line = lines.next()
        check(line == "7 3456789", f"second read gave {line!r}")
        line = lines.next()
        check(line in ("nowait -1", "nowait 5"), f"read without waiting gave {line!r}")
        second.set()
        line = lines.next()
        check(line == "0123456789", f"background download gave {line!r}")
        check(player.wait(10) == 0, f"status {player.returncode}")
    finally:
        first.set()
        second.set()
        if player.poll() is None:
            player.kill()
            player.wait()
    err = player.stderr.read().decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


WAITING = """int main()
{
    int err, fd;
    err = open("file:///dev/stderr", "w");
    fd = open("late.txt", "r");
    wait(1500);
    write(err, "after wait\\n", 11);
    terminate();
}
"""


def late_refusal(request):
    time.sleep(0.2)
    request.reply(404, b"", "text/plain")


@with_session
def transfers_go_on_while_the_program_waits(binary, session):
    """The answer arrives during wait(), when only the toolkit's loop runs."""
    server = session.server
    server.route("late.txt", late_refusal)
    server.write("prog.kiv", WAITING)
    status, _, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=session.env())
    check(status == 0, f"status {status}")
    lines = err.splitlines()
    check(len(lines) == 2 and lines[0].startswith("Warning: Could not load " + server.url("late.txt"))
          and lines[1] == "after wait", f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([reads_overtake_a_download, transfers_go_on_while_the_program_waits]))
