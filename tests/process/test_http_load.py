"""Programs loaded over HTTP: relative includes, links, data files, content
types, absolute URLs and form posts against a real server on 127.0.0.1;
every local copy is gone once the player has ended."""
import sys

from httpfixture import with_session
from player import check, main, run

SAY = ('int out;\nvoid say(text s) { write(out, s + "\\n", strlen(s) + 1); }\n')

PROGRAM = SAY + """include lib "lib.kiv";
int main()
{
    int fd, n;
    text s;
    out = open("file:///dev/stdout", "w");
    say(twice("ab"));
    link("parts/linked.kiv");
    eval("say(linkedText());");
    fd = open("data/numbers.txt", "r");
    n = read(fd, s, 4);
    say(sprintf("%d ", n) + s);
    n = read(fd, s, 100);
    say(sprintf("%d ", n) + s);
    say(contentType("prog.kiv"));
    say(contentType("data/numbers.txt"));
    say(contentType("page.html"));
    say(contentType("missing.kiv") + "|");
    say(absoluteURL("http://host:81/a/b/c.kiv", "../d/./e.kiv#top"));
    say(absoluteURL("http://host/a/b.kiv", "/x?q=1"));
    say(post("echo", "name=a%20b&n=2"));
    terminate();
}
"""


@with_session
def program_with_include_link_data_and_post(binary, session):
    server = session.server
    server.write("prog.kiv", PROGRAM)
    server.write("lib.kiv", 'text twice(text a) { return a + a; }\n')
    import os
    os.makedirs(os.path.join(server.root, "parts"))
    os.makedirs(os.path.join(server.root, "data"))
    server.write("parts/linked.kiv", 'text linkedText() { return "linked"; }\n')
    server.write("data/numbers.txt", "0123456789\n")
    server.write("page.html", "<p>hi</p>\n")
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=session.env())
    expected = [
        "abab", "linked", "4 0123", "7 456789", "",
        "application/x-talvix", "text/plain", "text/html", "|",
        "http://host:81/a/d/e.kiv", "http://host/x?q=1",
        "posted name=a%20b&n=2 as application/x-www-form-urlencoded",
    ]
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out.split("\n")[:-1] == expected, f"stdout {out!r}")
    check("Warning: Could not load " + server.url("missing.kiv") in err, f"stderr {err!r}")
    check(server.requests("prog.kiv") == 1, "the program was fetched more than once")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


@with_session
def parse_only_over_http(binary, session):
    server = session.server
    server.write("prog.kiv", 'include lib "lib.kiv";\nint main() { return nothing(); }\n')
    server.write("lib.kiv", "int nothing() { return 0; }\n")
    status, out, err = run(binary, ["-po", "1", server.url("prog.kiv")], env=session.env(DISPLAY=None))
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")
    check(server.requests("lib.kiv") == 1, "the include was not fetched")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


@with_session
def large_body_arrives_whole(binary, session):
    server = session.server
    line = "".join(chr(ord("a") + i % 26) for i in range(99)) + "\n"
    server.write("big.txt", line * 50000)
    server.write("prog.kiv", SAY + """int main()
{
    int fd, n, total, lines;
    text s;
    out = open("file:///dev/stdout", "w");
    fd = open("big.txt", "r");
    n = read(fd, s, 100000);
    while (n > 0) {
        total = total + n;
        n = read(fd, s, 100000);
    }
    say(sprintf("%d", total));
    terminate();
}
""")
    status, out, err = run(binary, ["-alw", "1", server.url("prog.kiv")], env=session.env())
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == "5000000\n", f"stdout {out!r}")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")


if __name__ == "__main__":
    sys.exit(main([program_with_include_link_data_and_post, parse_only_over_http,
                   large_body_arrives_whole]))
