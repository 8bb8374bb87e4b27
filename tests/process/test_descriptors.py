"""Programs the player starts inherit none of its descriptors: after
fetches, open program streams and a written file, a stand-in browser
started by call() on an HTML page finds only standard input, output and
error open."""
import os
import stat
import sys
import time

from httpfixture import with_session
from player import check, fresh_tmpdir, main, run

PROGRAM = """int main()
{
    int out; int data; int written;
    text s;
    out = open("file:///dev/stdout", "w");
    data = open("data.txt", "r");
    read(data, s, 4);
    written = open("file://%s", "w");
    write(written, "kept open\\n", 10);
    write(out, s + "\\n", 5);
    call("page.html");
    write(out, "done\\n", 5);
    terminate();
}
"""

# Lists the descriptors it holds; the one listdir used is closed again by
# the time its link is read, and so drops out.
BROWSER = """#!/usr/bin/env python3
import os, sys
held = []
for name in os.listdir("/proc/self/fd"):
    try:
        held.append(name + " " + os.readlink("/proc/self/fd/" + name))
    except OSError:
        pass
with open(os.environ["RECORD"], "a") as record:
    record.write(" ".join(sys.argv[1:]) + "\\n" + "\\n".join(sorted(held)) + "\\n")
"""


@with_session
def started_browser_inherits_nothing(binary, session):
    server = session.server
    folder = fresh_tmpdir()
    written = os.path.join(folder, "written.txt")
    server.write("prog.kiv", PROGRAM % written)
    server.write("data.txt", "data\n")
    server.write("page.html", "<p>page</p>\n")
    browser = os.path.join(folder, "netscape")
    with open(browser, "w") as f:
        f.write(BROWSER)
    os.chmod(browser, stat.S_IRWXU)
    record = os.path.join(folder, "record")
    env = session.env(PATH=folder + ":" + os.environ["PATH"], RECORD=record)
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=env)
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == "data\ndone\n", f"stdout {out!r}")
    deadline = time.time() + 10
    while time.time() < deadline and not os.path.exists(record):
        time.sleep(0.05)
    lines = open(record).read().splitlines()
    check(lines[0] == f"-remote openURL({server.url('page.html')})", f"browser arguments {lines[0]!r}")
    held = [line.split()[0] for line in lines[1:]]
    check(held == ["0", "1", "2"], "descriptors inherited by the browser:\n" + "\n".join(lines[1:]))


if __name__ == "__main__":
    sys.exit(main([started_browser_inherits_nothing]))
