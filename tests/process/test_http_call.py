"""call: a program fetched over HTTP runs above its caller, which goes on
afterwards even when the called program exits or does not parse; HTML goes
to the outside browser (tried remotely first), whose absence does no harm;
other types are refused with the system's message."""
import os
import stat
import sys
import time

from httpfixture import with_session
from player import check, fresh_tmpdir, main, run

SAY = 'int out;\nvoid say(text s) { write(out, s + "\\n", strlen(s) + 1); }\n'

CALLER = SAY + """int main()
{
    out = open("file:///dev/stdout", "w");
    say("before");
    say(sprintf("%d", call("sub/called.kiv")));
    say("back");
    call("sub/broken.kiv");
    say("after broken");
    call("page.html");
    say("after page");
    call("data.txt");
    say("done");
    terminate();
}
"""

CALLED = SAY + """int main()
{
    out = open("file:///dev/stdout", "w");
    say("called " + contentType("helper.txt"));
    exit();
    say("not reached");
}
"""

BROWSER = """#!/bin/sh
echo "$@" >> "$RECORD"
[ "$1" = "-remote" ] && exit 1
exit 0
"""


def prepare(server):
    os.makedirs(os.path.join(server.root, "sub"))
    server.write("prog.kiv", CALLER)
    server.write("sub/called.kiv", CALLED)
    server.write("sub/helper.txt", "help\n")
    server.write("sub/broken.kiv", "int main( {\n")
    server.write("page.html", "<p>page</p>\n")
    server.write("data.txt", "data\n")


def fake_browser():
    folder = fresh_tmpdir()
    path = os.path.join(folder, "netscape")
    with open(path, "w") as f:
        f.write(BROWSER)
    os.chmod(path, stat.S_IRWXU)
    return folder, os.path.join(folder, "record")


@with_session
def called_programs_and_documents(binary, session):
    server = session.server
    prepare(server)
    folder, record = fake_browser()
    env = session.env(PATH=folder + ":" + os.environ["PATH"], RECORD=record)
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=env)
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == "before\ncalled text/plain\n0\nback\nafter broken\nafter page\ndone\n", f"stdout {out!r}")
    check(f"Unsupported content-type 'text/plain' in call(\"{server.url('data.txt')}\")" in err,
          f"stderr {err!r}")
    page = server.url("page.html")
    deadline = time.time() + 10
    while time.time() < deadline and (not os.path.exists(record) or len(open(record).readlines()) < 2):
        time.sleep(0.05)
    check(open(record).read() == f"-remote openURL({page})\n{page}\n", f"browser runs {open(record).read()!r}")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


@with_session
def missing_browser_does_no_harm(binary, session):
    server = session.server
    prepare(server)
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")],
                           env=session.env(PATH=fresh_tmpdir()))
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out.endswith("after page\ndone\n"), f"stdout {out!r}")


if __name__ == "__main__":
    sys.exit(main([called_programs_and_documents, missing_browser_does_no_harm]))
