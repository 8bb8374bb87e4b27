"""HTML pages a program calls go to an outside browser: without netscape
on PATH, to the first command of $BROWSER that starts (%s replaced, else
the URL appended), else to xdg-open. The URL always arrives as one
argument, untouched by any shell, and the browser inherits none of the
player's descriptors beyond standard output and error."""
import json
import os
import stat
import sys
import time

from player import check, fresh_tmpdir, main, run

# A name full of what a shell would act on.
PAGE = "a;b&c'd$(touch x).html"

CALLER = """int main()
{
    call("%s");
    terminate();
}
""" % PAGE.replace('"', '\\"')

RECORDER = """#!%s
import json, os, sys
fds = sorted(int(fd) for fd in os.listdir("/proc/self/fd"))
record = {"name": os.path.basename(sys.argv[0]), "args": sys.argv[1:], "fds": fds,
          "stdin": os.readlink("/proc/self/fd/0")}
with open(os.environ["RECORD"], "a") as f:
    f.write(json.dumps(record) + "\\n")
""" % sys.executable


def setup():
    """A folder with the calling program and its page, and a folder of
    recording programs to serve as PATH."""
    folder = fresh_tmpdir()
    with open(os.path.join(folder, "caller.kiv"), "w") as f:
        f.write(CALLER)
    with open(os.path.join(folder, PAGE), "w") as f:
        f.write("<p>page</p>\n")
    tools = os.path.join(folder, "bin")
    os.mkdir(tools)
    for name in ["xdg-open", "recorder"]:
        path = os.path.join(tools, name)
        with open(path, "w") as f:
            f.write(RECORDER)
        os.chmod(path, stat.S_IRWXU)
    return folder, tools


def browser_runs(binary, browser):
    """Calls the page with BROWSER set as given (None: unset); returns the
    page's URL and what the recorders saw."""
    folder, tools = setup()
    record = os.path.join(folder, "record")
    env = dict(os.environ, PATH=tools, RECORD=record)
    env.pop("BROWSER", None)
    if browser is not None:
        env["BROWSER"] = browser
    status, out, err = run(binary, ["-mb", "0", os.path.join(folder, "caller.kiv")], env=env)
    check(status == 0, f"status {status}, stderr {err!r}")
    check(not os.path.exists(os.path.join(folder, "x")), "the URL reached a shell")
    deadline = time.time() + 10
    while time.time() < deadline and not os.path.exists(record):
        time.sleep(0.05)
    time.sleep(0.3)  # a second browser would have been started by now
    runs = [json.loads(line) for line in open(record)] if os.path.exists(record) else []
    # The program's relative name resolved against its own URL, where the
    # space is escaped.
    return "file://localhost" + os.path.join(folder, PAGE.replace(" ", "%20")), runs


def listed_browser_gets_url(binary):
    url, runs = browser_runs(binary, "no-such-browser:recorder --new-tab=%s --literal=%%s:xdg-open")
    check([r["name"] for r in runs] == ["recorder"], f"browsers run: {runs}")
    check(runs[0]["args"] == [f"--new-tab={url}", "--literal=%s"], f"arguments {runs[0]['args']}")
    # Only standard input (from /dev/null), output, error and the
    # recorder's own listing of its descriptors.
    check(runs[0]["fds"] == [0, 1, 2, 3], f"descriptors inherited: {runs[0]['fds']}")
    check(runs[0]["stdin"] == "/dev/null", f"standard input {runs[0]['stdin']}")


def url_appended_without_placeholder(binary):
    url, runs = browser_runs(binary, "  recorder   --fresh  ")
    check([(r["name"], r["args"]) for r in runs] == [("recorder", ["--fresh", url])], f"runs {runs}")


def desktop_opener_without_browser(binary):
    for browser in [None, "", "no-such-browser:also-missing %s"]:
        url, runs = browser_runs(binary, browser)
        check([(r["name"], r["args"]) for r in runs] == [("xdg-open", [url])],
              f"BROWSER={browser!r}: runs {runs}")
        check(runs[0]["fds"] == [0, 1, 2, 3], f"descriptors inherited: {runs[0]['fds']}")


if __name__ == "__main__":
    sys.exit(main([listed_browser_gets_url, url_appended_without_placeholder,
                   desktop_opener_without_browser]))
