"""Includes: local copies in the KIVLIBPATH directory and their version
rule, plain URL includes, missing files, errors inside included files and
include cycles."""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile

from player import check, environment, main, run

LIB_V3 = "name shapes 3;\nint area(int w, int h) { return w * h; }\n"
REMOTE_V4 = ("name shapes 4;\nint area(int w, int h) { return w * h; }\n"
             "int perimeter(int w, int h) { return 2 * (w + h); }\n")


class Workspace:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="talvix-include-")
        self.lib = os.path.join(self.root, "lib")
        self.remote = os.path.join(self.root, "remote")
        os.mkdir(self.lib)
        os.mkdir(self.remote)

    def write(self, folder, name, text):
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def parse(self, source, libdir=True):
        program = self.write(self.root, "main.kiv", source)
        env = environment(DISPLAY=None, KIVLIBPATH=self.lib if libdir else None)
        return run(binary_path, ["-po", "1", program], env=env)

    def close(self):
        shutil.rmtree(self.root)


def with_workspace(test):
    def wrapped(binary):
        global binary_path
        binary_path = binary
        ws = Workspace()
        try:
            test(ws)
        finally:
            ws.close()
    wrapped.__name__ = test.__name__
    return wrapped


@with_workspace
def current_copy_is_used_without_fetching(ws):
    local = ws.write(ws.lib, "shapes.kiv", LIB_V3)
    url = "file://" + os.path.join(ws.remote, "shapes.kiv")  # does not exist
    status, _, err = ws.parse(f'include shapes "{url}" 2;\nint x;\n'
                              "void main() { x = area(2, 3); }\n")
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")
    check(open(local).read() == LIB_V3, "the local copy changed")


@with_workspace
def older_copy_is_fetched_again(ws):
    local = ws.write(ws.lib, "shapes.kiv", LIB_V3)
    remote = ws.write(ws.remote, "shapes.kiv", REMOTE_V4)
    status, _, err = ws.parse(f'include shapes "file://{remote}" 4;\nint x;\n'
                              "void main() { x = perimeter(2, 3) + area(1, 1); }\n")
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")
    check(open(local).read() == REMOTE_V4, "the local copy was not rewritten")


@with_workspace
def failed_write_keeps_the_older_copy(ws):
    local = ws.write(ws.lib, "shapes.kiv", LIB_V3)
    remote = ws.write(ws.remote, "shapes.kiv", REMOTE_V4 + "// padding\n" * 400)
    program = ws.write(ws.root, "main.kiv", f'include shapes "file://{remote}" 4;\nvoid main() {{ }}\n')

    def small_files():
        # Writes past 1 KB fail (EFBIG) instead of raising SIGXFSZ.
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))

    done = subprocess.run([binary_path, "-po", "1", program], env=environment(DISPLAY=None, KIVLIBPATH=ws.lib),
                          capture_output=True, preexec_fn=small_files, timeout=30)
    check(done.returncode == 0, f"status {done.returncode}, stderr {done.stderr!r}")
    check(os.path.exists(local) and open(local).read() == LIB_V3, "the older copy was lost")
    check(os.listdir(ws.lib) == ["shapes.kiv"], f"left in the library: {os.listdir(ws.lib)}")


@with_workspace
def missing_copy_without_url_is_skipped(ws):
    status, _, err = ws.parse("include nothing;\nint x;\nvoid main() { x = area(1, 2); }\n")
    check(status == 0, f"status {status}")
    check(err == "Error at line 3: Function 'area' is not declared\n\n", f"stderr {err!r}")


@with_workspace
def url_include_without_library(ws):
    remote = ws.write(ws.remote, "parts.kiv",
                      "int helper() { return 1; }\nint broken = ;\n")
    status, _, err = ws.parse(f'include parts "file://{remote}";\nint x;\n'
                              "void main() { x = helper(); }\n", libdir=False)
    check(status == 0, f"status {status}")
    check(err == 'Error at line 2: global: malformed global declaration at token ";".\n\n',
          f"errors of the included file carry its own lines: {err!r}")


@with_workspace
def include_cycles_are_cut(ws):
    ws.write(ws.lib, "selfish.kiv", "name selfish 1;\ninclude selfish;\nint s;\n")
    ws.write(ws.lib, "ping.kiv", "name ping 1;\ninclude pong;\nint p;\n")
    ws.write(ws.lib, "pong.kiv", "name pong 1;\ninclude ping;\nint q;\n")
    status, _, err = ws.parse("include selfish;\ninclude ping;\nvoid main() { s = p + q; }\n")
    check(status == 0, f"status {status}")
    check(err == 'Error at line 3: Include of "selfish" skipped: it includes itself\n\n'
                 'Error at line 3: Include of "ping" skipped: it includes itself\n\n',
          f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([current_copy_is_used_without_fetching, older_copy_is_fetched_again, failed_write_keeps_the_older_copy,
                   missing_copy_without_url_is_skipped, url_include_without_library,
                   include_cycles_are_cut]))
