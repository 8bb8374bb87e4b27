#!/usr/bin/env python3
"""Translations passed to an object generator: each input area the
generator builds runs its own statements, which still see the variables of
the function that called the generator. Clicks arrive through XTEST.
Needs an X display (the test runs under Xvfb) and xdotool.
Usage: test_generator_translations.py <talvix binary>
"""
import os
import subprocess
import sys
import tempfile
import time

PROGRAM = """int out, clicks;

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

object Button(points area, translation action)
{
    inputarea points = area, tr = action;
}

int main()
{
    int local;
    out = open("file:///dev/stdout", "w");
    local = 10;
    Button area = ((0, 0), (299, 399)),
        action = (Press Button1 : { local = local + 1; say(sprintf("left %d", local)); clicks++; });
    Button area = ((340, 0), (639, 399)), action = (Press Button1 : { say("right"); clicks++; });
    say("ready");
    output();
    while (clicks < 3) {
        waitOnInput();
        input();
    }
    say(sprintf("local %d", local));
    terminate();
}
"""

EXPECTED = ["ready", "left 11", "right", "left 12", "local 12"]


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10)


def main():
    binary = os.path.abspath(sys.argv[1])
    if not os.environ.get("DISPLAY"):
        print("no X display")
        return 1
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "buttons.kiv")
        with open(program, "w") as f:
            f.write(PROGRAM)
        output = os.path.join(folder, "out.txt")
        with open(output, "w") as out:
            player = subprocess.Popen([binary, "-alw", "1", program], stdout=out,
                                      stderr=subprocess.PIPE, cwd=folder)
            deadline = time.time() + 20
            while time.time() < deadline and "ready" not in open(output).read():
                time.sleep(0.05)
            time.sleep(0.3)
            for x in ["100", "500", "100"]:
                xdotool("mousemove", x, "200", "click", "1")
                time.sleep(0.2)
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
