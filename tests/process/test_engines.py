#!/usr/bin/env python3
"""The tree engine and the compiled engine run the same programs alike:
random programs from randprog.py (seeds ENGINE_SEED, default 1, onwards,
ENGINE_PROGRAMS of them, default 40) run under TALVIX_ENGINE=tree and
TALVIX_ENGINE=compiled, and their standard output, standard error, exit
status and, for programs that show objects, the screen must be the same.
A program that stops on an error or keeps its objects on show is ended
with SIGTERM once it has been idle for a second. A differing program is
kept in a folder named in the failure, to be run again by hand."""
import difflib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import randprog
from player import SANITIZER, check, cpu_ticks, environment, main

FIRST = int(os.environ.get("ENGINE_SEED", "1"))
COUNT = int(os.environ.get("ENGINE_PROGRAMS", "40"))
ENGINES = ("tree", "compiled")


def settle(process, deadline):
    """Waits until the player has ended or used no processor time for a
    second: a player waiting for a busy X server uses none either, but not
    for that long."""
    last, quiet_since = None, time.time()
    while time.time() < deadline and process.poll() is None:
        time.sleep(0.05)
        now = cpu_ticks(process.pid)
        if now != last:
            last, quiet_since = now, time.time()
        elif time.time() - quiet_since >= 1.0:
            return


def screen():
    """The root window once two dumps 0.2 s apart agree: the server may
    still be drawing what an idle player sent last."""
    last = None
    for _ in range(20):
        now = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
        if now == last:
            break
        last = now
        time.sleep(0.2)
    return last


def play(binary, path, engine, shows_objects):
    env = environment(TALVIX_ENGINE=engine)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen([binary, "-alw", "1", os.path.basename(path)], cwd=os.path.dirname(path),
                                   env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        picture = b""
        try:
            settle(process, time.time() + 120)
            if shows_objects and process.poll() is None:
                picture = screen()
        finally:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
            process.wait(timeout=30)
        out.seek(0)
        err.seek(0)
        return {"status": process.returncode, "stdout": out.read().decode("latin-1"),
                "stderr": err.read().decode("latin-1"), "screen": picture}


def first_difference(a, b):
    lines = list(difflib.unified_diff(a.splitlines(), b.splitlines(), "tree", "compiled", lineterm="", n=1))
    return "\n".join(lines[:12])


def compare_seed(binary, folder, seed):
    path = os.path.join(folder, f"random{seed}.kiv")
    with open(path, "w") as f:
        f.write(randprog.program(seed))
    shows_objects = randprog.is_display(seed)
    runs = {engine: play(binary, path, engine, shows_objects) for engine in ENGINES}
    tree, compiled = runs["tree"], runs["compiled"]
    for run in runs.values():
        check(not SANITIZER.search(run["stderr"]), f"seed {seed}: sanitizer report:\n{run['stderr']}")
    for what in ("stdout", "stderr"):
        check(tree[what] == compiled[what],
              f"seed {seed}: {what} differs ({path}):\n{first_difference(tree[what], compiled[what])}")
    check(tree["status"] == compiled["status"],
          f"seed {seed}: status {tree['status']} under tree, {compiled['status']} compiled ({path})")
    check(tree["screen"] == compiled["screen"], f"seed {seed}: the screens differ ({path})")


def random_programs(binary):
    folder = tempfile.mkdtemp(prefix="talvix-engines-")
    for seed in range(FIRST, FIRST + COUNT):
        compare_seed(binary, folder, seed)
    shutil.rmtree(folder)


if __name__ == "__main__":
    sys.exit(main([random_programs]))
