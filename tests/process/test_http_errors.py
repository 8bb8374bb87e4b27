"""What cannot be fetched: missing documents, refused connections, bodies
cut short and malformed URLs give the system's messages and fallback
values, never a hang, and leave no local copy behind; a termination
signal during a blocking fetch still ends the player cleanly."""
import signal
import subprocess
import sys
import threading
import time

from httpfixture import refused_port, with_session
from player import PROGRAMS, SANITIZER, Idle, check, main, run


def cut_short(request):
    request.reply(200, b"int main() { return 0; }", "application/x-talvix", length=5000)


@with_session
def programs_that_cannot_be_fetched(binary, session):
    server = session.server
    server.route("short.kiv", cut_short)
    urls = [server.url("missing.kiv"), f"http://127.0.0.1:{refused_port()}/prog.kiv",
            server.url("short.kiv"), "http://"]
    for url in urls:
        status, out, err = run(binary, ["-po", "1", url], env=session.env(DISPLAY=None))
        check(status == 0, f"{url}: status {status}")
        check(f"Could not open {url}." in err, f"{url}: stderr {err!r}")
        check(session.leftovers() == [], f"{url}: local copies left: {session.leftovers()}")


@with_session
def refused_program_leaves_the_player_idle(binary, session):
    url = f"http://127.0.0.1:{refused_port()}/prog.kiv"
    player = Idle(binary, [url], env=session.env())
    player.wait_for_servers()
    time.sleep(0.5)
    check(player.process.poll() is None, "the player ended")
    status = player.signal(signal.SIGTERM)
    check(status == signal.SIGTERM, f"status {status}")
    check(f"Could not open {url}." in player.stderr(), "no message")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


PROGRAM = """int out;
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
include missing "missing-lib.kiv";
int main()
{
    int fd;
    text s;
    out = open("file:///dev/stdout", "w");
    fd = open("missing.txt", "r");
    s = "unchanged";
    say(sprintf("%d ", read(fd, s, 10)) + s);
    say("[" + contentType("missing.kiv") + "]");
    say("[" + post("REFUSED/echo", "a=1") + "]");
    say(sprintf("%d", link("missing-part.kiv")));
    fd = open("http://", "r");
    say(sprintf("%d", read(fd, s, 10)));
    call("REFUSED/other.kiv");
    say("after");
    terminate();
}
"""


@with_session
def failures_inside_a_program(binary, session):
    server = session.server
    refused = f"http://127.0.0.1:{refused_port()}"
    server.write("prog.kiv", PROGRAM.replace("REFUSED", refused))
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=session.env())
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == "-1 unchanged\n[]\n[]\n1\n-1\nafter\n", f"stdout {out!r}")
    check(f"Unsupported content-type '' in call(\"{refused}/other.kiv\")\n" in err, f"stderr {err!r}")
    for missing in ("missing.txt", "missing.kiv", "missing-part.kiv", "missing-lib.kiv"):
        check(f"Warning: Could not load {server.url(missing)}: " in err, f"no warning for {missing}")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


@with_session
def signal_during_a_blocking_fetch(binary, session):
    server = session.server
    gate = threading.Event()
    server.route("slow.kiv", lambda request: gate.wait(20))
    player = subprocess.Popen([binary, server.url("slow.kiv")], cwd=PROGRAMS, env=session.env(),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        deadline = time.time() + 10
        while server.requests("slow.kiv") == 0 and time.time() < deadline:
            time.sleep(0.05)
        check(server.requests("slow.kiv") == 1, "the program was not requested")
        time.sleep(0.2)
        check(len(session.leftovers()) == 1, f"no local copy under way: {session.leftovers()}")
        player.send_signal(signal.SIGTERM)
        status = player.wait(10)
    finally:
        gate.set()
        if player.poll() is None:
            player.kill()
            player.wait()
    check(status == signal.SIGTERM, f"status {status}")
    err = player.stderr.read().decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


if __name__ == "__main__":
    sys.exit(main([programs_that_cannot_be_fetched, refused_program_leaves_the_player_idle,
                   failures_inside_a_program, signal_during_a_blocking_fetch]))
