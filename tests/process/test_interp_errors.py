#!/usr/bin/env python3
"""Run-time errors of the interpreter: each program under programs/interp
stops with its message while the player stays up (it idles after main), so
the test waits for the expected output, ends the player with SIGTERM and
compares standard output and the non-empty lines of standard error with
the program's // expect: and // stderr: directives."""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from player import SANITIZER, PROGRAMS, Failure, check, wait_until_idle

FOLDER = os.path.join(PROGRAMS, "interp")


def directives(path):
    found = {"expect": [], "stderr": [], "timeout": 30.0}
    with open(path, encoding="latin-1") as f:
        for line in f:
            for key, value in re.findall(r"//\s*(expect|stderr|timeout):\s?(.*)$", line):
                if key == "timeout":
                    found["timeout"] = float(value)
                else:
                    found[key].append(value.rstrip())
    return found


def nonempty(text):
    return [line for line in text.splitlines() if line.strip()]


def run_until(binary, name, want):
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen([binary, "-alw", "1", name], cwd=FOLDER, stdout=out, stderr=err)
        deadline = time.time() + want["timeout"]
        try:
            while time.time() < deadline and process.poll() is None:
                err.seek(0)
                lines = nonempty(err.read().decode("latin-1"))
                if len(lines) >= len(want["stderr"]):
                    break
                time.sleep(0.05)
            # Give a wrongly continuing program the chance to show it, and
            # let a stopped one finish unwinding (a million frames take a
            # while on a loaded machine) before it is told to end.
            wait_until_idle(process.pid, deadline)
        finally:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
            process.wait(timeout=10)
        out.seek(0)
        err.seek(0)
        return out.read().decode("latin-1"), err.read().decode("latin-1")


def check_program(binary, name):
    want = directives(os.path.join(FOLDER, name))
    stdout, stderr = run_until(binary, name, want)
    check(not SANITIZER.search(stderr), f"{name}: sanitizer report:\n{stderr}")
    check(stdout.splitlines() == want["expect"], f"{name}: stdout {stdout!r}, expected {want['expect']!r}")
    check(nonempty(stderr) == want["stderr"], f"{name}: stderr {stderr!r}, expected {want['stderr']!r}")


def main():
    binary = sys.argv[1]
    failures = 0
    for name in sorted(os.listdir(FOLDER)):
        if not name.endswith(".kiv"):
            continue
        try:
            check_program(binary, name)
            print(f"ok {name}")
        except Failure as failure:
            failures += 1
            print(f"FAIL {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
