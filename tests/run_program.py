#!/usr/bin/env python3
"""Runs one Orvex test program through the real player and checks it.

Directives are comments inside the program:
  // args: -po 1          options placed before the program path
  // env: NAME=value      environment for the run
  // exit: N              expected exit status (default 0)
  // timeout: S           seconds before the run counts as hung (default 30)
  ... // expect: text     the next line of standard output
  ... // stderr: text     the next non-empty line of standard error
A file beside the program with the suffix .out (.err) holds the exact
expected standard output (standard error) instead. Without expectations the
stream must be empty. The run happens in the program's folder. Any
sanitizer report fails the test.
"""
import os
import re
import shlex
import subprocess
import sys

SANITIZER = re.compile(r"(AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer)")


def directives(source):
    found = {"args": [], "env": {}, "exit": 0, "timeout": 30.0, "expect": [], "stderr": []}
    for line in source.splitlines():
        for key, value in re.findall(r"//\s*(args|env|exit|timeout|expect|stderr):\s?(.*)$", line):
            if key == "args":
                found["args"] += shlex.split(value)
            elif key == "env":
                name, _, val = value.strip().partition("=")
                found["env"][name] = val
            elif key == "exit":
                found["exit"] = int(value)
            elif key == "timeout":
                found["timeout"] = float(value)
            else:
                found[key].append(value.rstrip())
    return found


def compare(what, expected, actual):
    if expected == actual:
        return True
    print(f"--- {what}: expected")
    print(expected)
    print(f"--- {what}: actual")
    print(actual)
    return False


def main():
    binary, program = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with open(program, encoding="latin-1") as f:
        d = directives(f.read())
    env = dict(os.environ, **d["env"])
    cmd = [binary] + d["args"] + [os.path.basename(program)]
    try:
        run = subprocess.run(cmd, cwd=os.path.dirname(program), env=env,
                             capture_output=True, timeout=d["timeout"])
    except subprocess.TimeoutExpired:
        print(f"timed out after {d['timeout']} s: {' '.join(cmd)}")
        return 1
    out = run.stdout.decode("latin-1")
    err = run.stderr.decode("latin-1")
    ok = True
    if SANITIZER.search(err):
        print("sanitizer report:\n" + err)
        return 1
    base = os.path.splitext(program)[0]
    if os.path.exists(base + ".out"):
        ok &= compare("stdout", open(base + ".out", encoding="latin-1").read(), out)
    else:
        ok &= compare("stdout", "\n".join(d["expect"]), "\n".join(out.splitlines()))
    if os.path.exists(base + ".err"):
        ok &= compare("stderr", open(base + ".err", encoding="latin-1").read(), err)
    else:
        lines = [l for l in err.splitlines() if l.strip()]
        ok &= compare("stderr", "\n".join(d["stderr"]), "\n".join(lines))
    ok &= compare("exit status", str(d["exit"]), str(run.returncode))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
