"""Helpers shared by the process tests: running the player, watching its
server children, and reporting failures with the player's output."""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

SANITIZER = re.compile(r"(AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer)")
FOLDER = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = os.path.join(FOLDER, "programs")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def environment(**changes):
    env = dict(os.environ)
    for name, value in changes.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


def run(binary, args, env=None, timeout=30):
    """Runs the player to its end; returns (status, stdout, stderr)."""
    done = subprocess.run([binary] + args, cwd=PROGRAMS, env=env or environment(),
                          capture_output=True, timeout=timeout)
    err = done.stderr.decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    return done.returncode, done.stdout.decode("latin-1"), err


def children(pid):
    """Process ids of the direct children of pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z"


def cpu_ticks(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return None


def wait_until_idle(pid, deadline):
    """Waits until the process has used no processor time for 0.3 s."""
    last = cpu_ticks(pid)
    while time.time() < deadline:
        time.sleep(0.3)
        now = cpu_ticks(pid)
        if now is None or now == last:
            return
        last = now


class Idle:
    """A player started in the background, to be ended by a signal."""

    def __init__(self, binary, args, env=None):
        self.process = subprocess.Popen([binary] + args, cwd=PROGRAMS, env=env or environment(),
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wait_for_servers(self, count=2, seconds=10):
        deadline = time.time() + seconds
        while time.time() < deadline:
            found = children(self.process.pid)
            if len(found) >= count:
                return found
            check(self.process.poll() is None, "player ended early: " + self.stderr())
            time.sleep(0.05)
        raise Failure(f"expected {count} server processes, found {children(self.process.pid)}")

    def signal(self, number, timeout=10):
        self.process.send_signal(number)
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure(f"player did not end within {timeout} s after signal {number}")
        return self.process.returncode

    def stderr(self):
        if self.process.poll() is None:
            return "(still running)"
        err = self.process.stderr.read().decode("latin-1")
        check(not SANITIZER.search(err), "sanitizer report:\n" + err)
        return err


def main(tests):
    binary = os.path.abspath(sys.argv[1])
    failed = 0
    for test in tests:
        try:
            test(binary)
            print(f"ok   {test.__name__}")
        except Failure as failure:
            failed += 1
            print(f"FAIL {test.__name__}: {failure}")
    return 1 if failed else 0


def fresh_tmpdir():
    return tempfile.mkdtemp(prefix="talvix-test-")
