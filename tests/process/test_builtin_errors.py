#!/usr/bin/env python3
"""Builtin errors stop the running program after the statement that
reported them (and so before any user function that statement calls). A stopped program leaves the player idle, so each case runs
until its last expected message has appeared, then the player is ended
with SIGTERM and the outputs are compared.
Usage: test_builtin_errors.py <talvix binary>
"""
import os
import subprocess
import sys
import tempfile
import time

PRELUDE = """int out;

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

int main()
{
    text t;
    int n;
    out = open("file:///dev/stdout", "w");
"""

# (statement, expected stderr lines). The statement completes with the
# builtin's fallback value; the say("not reached") after it must not run.
# The statement stands on line 13 of the program.
CASES = [
    ('t = sprintf("%g", sqrt(4.0, 1));',
     ["Line 13: more than 1 args in function sqrt. Ignoring redundant."]),
    ('t = sprintf("%g", sqrt());', ["arg 1 (float) missing in function sqrt"]),
    ('n = random(1, "x");',
     ["Line 13: arg 2 wrong type (expected integer) in function random",
      "Line 13: more than 2 args in function random. Ignoring redundant."]),
    ('t = sprintf("x%ny");', ["function sprintf misses parameter 2."]),
    ('t = sprintf("[%d %s]", 1);', ["arg 3 (text) missing in function sprintf"]),
    ('n = strcat();', ["No parameters Strcat."]),
    ('strcat(t, 1.5);', ["Error: second parameter to Strcat is not text constant."]),
    ('n = strcat("x", "y");', ["Error: First parameter to Strcat is not a modifiable text."]),
    ('n = int2text(t, 1.5);', ["Error: Second argument to Int2Text is not an integer."]),
    ('n = limVarLow(0, n, "x");', ["Error: Unknown parameter type in LimVarLow."]),
    ('n = read(0, t, 5);', ["Error: Can't open file with negative file descriptor(0)."]),
    ('n = write(-4, "x", 1);', ["Error: Can't open file with negative file descriptor(-4)."]),
    ('n = pixelColor();',
     ["Error: Function PixelColor is not supported in this version of Orvex."]),
]


def run_case(binary, folder, index, statements, want_err):
    source = PRELUDE + "    " + statements + '\n    say("not reached");\n    terminate();\n}\n'
    path = os.path.join(folder, f"case{index}.kiv")
    with open(path, "w") as f:
        f.write(source)
    player = subprocess.Popen([binary, "-alw", "1", path], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, cwd=folder)
    os.set_blocking(player.stderr.fileno(), False)
    err = b""
    deadline = time.time() + 20
    while time.time() < deadline and player.poll() is None:
        chunk = player.stderr.read() or b""
        err += chunk
        if want_err[-1].encode() in err:
            break
        time.sleep(0.05)
    time.sleep(0.3)
    if player.poll() is None:
        player.terminate()
    out, rest = player.communicate(timeout=10)
    err += rest or b""
    out_lines = out.decode("latin-1").splitlines()
    err_lines = [line for line in err.decode("latin-1").splitlines() if line.strip()]
    if out_lines or err_lines != want_err:
        print(f"case {index}: {statements}")
        print(f"  stdout {out_lines!r}, expected nothing")
        print(f"  stderr {err_lines!r}, expected {want_err!r}")
        return False
    return True


def main():
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as folder:
        results = [run_case(binary, folder, i, *case) for i, case in enumerate(CASES)]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
