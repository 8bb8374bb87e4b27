#!/usr/bin/env python3
"""getc(0) and getchar read the key of the event a translation handles:
keys typed through XTEST reach a program's input area, getc appends the
character to a line, getchar's backspace removes the last one. Outside a
translation both find no key. Needs an X display (the test runs under
Xvfb) and xdotool.
Usage: test_key_builtins.py <talvix binary>
"""
import os
import subprocess
import sys
import tempfile
import time

PROGRAM = """int out, count;
text line;

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

int main()
{
    out = open("file:///dev/stdout", "w");
    window points = ((0, 0), (639, 399));
        inputarea points = ((0, 0), (639, 399)),
            tr = ("a" | "b" : { say(sprintf("getc %d", getc(0, line))); count++; },
                  BackSpace : { say(sprintf("getchar %d", getchar(line))); count++; });
    endwindow;
    say(sprintf("outside %d %d", getc(0), getchar()));
    output();
    while (count < 4) {
        waitOnInput();
        input();
    }
    say("[" + line + "]");
    terminate();
}
"""

EXPECTED = ["outside -1 0", "getc 97", "getc 98", "getchar 8", "getc 97", "[aa]"]


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10)


def main():
    binary = os.path.abspath(sys.argv[1])
    if not os.environ.get("DISPLAY"):
        print("no X display")
        return 1
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "keys.kiv")
        with open(program, "w") as f:
            f.write(PROGRAM)
        output = os.path.join(folder, "out.txt")
        with open(output, "w") as out:
            player = subprocess.Popen([binary, "-alw", "1", program], stdout=out,
                                      stderr=subprocess.PIPE, cwd=folder)
            deadline = time.time() + 20
            while time.time() < deadline and "outside" not in open(output).read():
                time.sleep(0.05)
            time.sleep(0.3)
            xdotool("mousemove", "200", "200")
            for key in ["a", "b", "BackSpace", "a"]:
                xdotool("key", key)
                time.sleep(0.1)
            try:
                status = player.wait(timeout=20)
            except subprocess.TimeoutExpired:
                player.kill()
                status = player.wait()
        err = player.stderr.read().decode("latin-1")
        lines = open(output).read().splitlines()
    if status != 0 or lines != EXPECTED or err.strip():
        print(f"status {status}\nstdout {lines!r}\nexpected {EXPECTED!r}\nstderr {err}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
