"""Hostile programs meet limits instead of taking the machine down: memory
taken in a loop (texts, objects, arrays of recursive calls) or by one
enormous read stops the
program at the memory limit and its caller goes on; a request far beyond
the limit ends the player with a message, its servers and temporary files
gone; streams opened in a loop stop at the stream limit; a program that
floods its own event queue finds it capped."""
import os
import re
import shutil
import sys

from httpfixture import with_session
from player import Idle, alive, check, environment, fresh_tmpdir, main, run

SAY = 'int out;\nvoid say(text s) { write(out, s + "\\n", strlen(s) + 1); }\n'

CALLER = SAY + """int main()
{
    out = open("file:///dev/stdout", "w");
    say("before");
    call("HOG");
    say("caller goes on");
    call("HOG");
    say("and again");
    terminate();
}
"""

HOGS = {
    "texts.kiv": """text parts[100000];
int main()
{
    text chunk;
    int i;
    chunk = "0123456789abcdef";
    while (strlen(chunk) < 65536) chunk = chunk + chunk;
    while (1) {
        parts[i % 100000] = chunk + intAsText(i);
        i = i + 1;
    }
}
""",
    "objects.kiv": """int main()
{
    int i;
    while (1) {
        box points = ((i % 90, 0), (i % 90 + 10, 10)), col = i;
        i = i + 1;
    }
}
""",
    "arrays.kiv": """int deeper(int n)
{
    int block[50000];
    block[n % 50000] = n;
    return deeper(n + 1) + block[n % 50000];
}
int main() { deeper(0); }
""",
    "reads.kiv": """int main()
{
    int fd;
    text data;
    fd = open("file:///dev/zero", "r");
    read(fd, data, 2000000000);
}
""",
}

def limit(megabytes):
    return f"Error: Kiv program exceeds its memory limit of {megabytes} MB; stopped.\n"


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def memory_hogs_stop_at_the_limit(binary):
    folder = fresh_tmpdir()
    for name, source in HOGS.items():
        hog = write(folder, name, source)
        caller = write(folder, "caller.kiv", CALLER.replace("HOG", hog))
        status, out, err = run(binary, ["-ml", "8", "-alw", "1", caller], timeout=120)
        check(status == 0, f"{name}: status {status}, stderr {err!r}")
        check(out == "before\ncaller goes on\nand again\n", f"{name}: stdout {out!r}")
        # Stopped once per run: the memory came back when the program ended.
        check(err == limit(8) * 2, f"{name}: stderr {err!r}")
    shutil.rmtree(folder)


def request_far_beyond_the_limit_ends_the_player_cleanly(binary):
    folder = fresh_tmpdir()
    tmp = fresh_tmpdir()
    hog = write(folder, "huge.kiv", "int main() { wait(300); grow(); }\n"
                                    "int grow() { int huge[100000000]; huge[1] = 1; return huge[1]; }\n")
    player = Idle(binary, ["-ml", "64", hog], environment(TMPDIR=tmp))
    servers = player.wait_for_servers()
    status = player.process.wait(60)
    err = player.stderr()
    check(status == 1, f"status {status}, stderr {err!r}")
    check(err == limit(64) + "Error: Could not allocate enough memory\n\n", f"stderr {err!r}")
    check(not [pid for pid in servers if alive(pid)], "server processes left running")
    check(os.listdir(tmp) == [], f"left behind: {os.listdir(tmp)}")
    shutil.rmtree(folder)
    os.rmdir(tmp)


STREAMS = """int main()
{
    int fd, count;
    fd = 1;
    while (fd > 0) {
        fd = open(URL, "r");
        count = count + 1;
    }
}
"""
STREAM_LIMIT = r"Error: Kiv program has too many open streams \(at most \d+\)\.\n"


@with_session
def streams_opened_in_a_loop_stop_at_the_limit(binary, session):
    server = session.server
    server.write("data.txt", "data\n")
    folder = fresh_tmpdir()
    local = write(folder, "local.kiv", STREAMS.replace("URL", '"file:///dev/null"'))
    server.write("remote.kiv", STREAMS.replace("URL", '"data.txt?" + intAsText(count)'))
    for program in (local, server.url("remote.kiv")):
        caller = write(folder, "caller.kiv", CALLER.replace("HOG", program))
        status, out, err = run(binary, ["-alw", "1", caller], env=session.env(), timeout=120)
        check(status == 0, f"{program}: status {status}, stderr {err!r}")
        check(out == "before\ncaller goes on\nand again\n", f"{program}: stdout {out!r}")
        check(re.fullmatch(STREAM_LIMIT * 2, err), f"{program}: stderr {err!r}")
        check(session.leftovers() == [], f"local copies left: {session.leftovers()}")
    shutil.rmtree(folder)


FLOOD = SAY + """int moves, i;
int main()
{
    out = open("file:///dev/stdout", "w");
    inputarea points = ((0, 0), (640, 400)), tr = (Motion : moves = moves + 1;);
    output();
    while (i < 30000) {
        setCursorPos(10 + i % 50, 10 + i % 7);
        i = i + 1;
    }
    wait(500);
    input();
    say(intAsText(moves));
    terminate();
}
"""


def event_flood_is_capped(binary):
    folder = fresh_tmpdir()
    program = write(folder, "flood.kiv", FLOOD)
    status, out, err = run(binary, ["-alw", "1", program], timeout=120)
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")
    check(0 < int(out) <= 10000, f"{out.strip()} motion events dispatched")
    shutil.rmtree(folder)


if __name__ == "__main__":
    sys.exit(main([memory_hogs_stop_at_the_limit, request_far_beyond_the_limit_ends_the_player_cleanly,
                   streams_opened_in_a_loop_stop_at_the_limit, event_flood_is_capped]))
