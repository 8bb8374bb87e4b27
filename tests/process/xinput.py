"""Driving a running player with real input through XTEST (xdotool): the
program under test prints what its translations see, and the test reads
those lines back. Programs say "ready" once their input areas stand and
they have put the pointer on the drawing area's origin (setCursorPos), so
the test learns where the drawing area lies on the screen."""
import os
import select
import subprocess
import time

from player import PROGRAMS, SANITIZER, Failure, check


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, capture_output=True)


class Running:
    """The player running one program, with its standard output read line by
    line and the drawing area's origin on the screen."""

    def __init__(self, binary, program, args=(), env=None, cwd=PROGRAMS):
        self.process = subprocess.Popen([binary, "-alw", "1", "-mb", "0"] + list(args) + [program],
                                        cwd=cwd, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.pending = b""
        self.before = []  # what the program printed before "ready"
        while (line := self.line()) != "ready":
            self.before.append(line)
        location = subprocess.run(["xdotool", "getmouselocation", "--shell"], check=True,
                                  capture_output=True, text=True).stdout
        fields = dict(line.split("=", 1) for line in location.split())
        self.origin = (int(fields["X"]), int(fields["Y"]))

    def line(self, timeout=5.0):
        deadline = time.time() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.time()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise Failure(f"no output within {timeout} s; stderr: {self.stop_and_stderr()}")
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise Failure(f"player ended; stderr: {self.stop_and_stderr()}")
            self.pending += chunk
        text, self.pending = self.pending.split(b"\n", 1)
        return text.decode("latin-1")

    def expect(self, *lines):
        for wanted in lines:
            try:
                got = self.line()
            except Failure as failure:
                raise Failure(f"waiting for {wanted!r}: {failure}")
            check(got == wanted, f"expected {wanted!r}, got {got!r}")

    def quiet(self, seconds=0.4):
        """Checks that nothing more is printed for a while."""
        ready = select.select([self.process.stdout], [], [], seconds)[0]
        extra = self.pending + (os.read(self.process.stdout.fileno(), 4096) if ready else b"")
        check(not extra, f"unexpected output {extra!r}")

    def move(self, x, y):
        xdotool("mousemove", self.origin[0] + x, self.origin[1] + y)

    def click(self, x, y, button=1, modifiers=(), repeat=1, delay_ms=50):
        # Quick presses of one button count as double clicks however far
        # apart the tests mean them to be: let the last one age first.
        time.sleep(0.3)
        self.move(x, y)
        for key in modifiers:
            xdotool("keydown", key)
        xdotool("click", "--repeat", repeat, "--delay", delay_ms, button)
        for key in modifiers:
            xdotool("keyup", key)

    def keys(self, *names):
        xdotool("key", "--delay", 30, *names)

    def finish(self, status=0, timeout=10):
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure(f"player did not end; stderr: {self.stop_and_stderr()}")
        err = self.process.stderr.read().decode("latin-1")
        check(not SANITIZER.search(err), "sanitizer report:\n" + err)
        check(self.process.returncode == status, f"status {self.process.returncode}, stderr {err!r}")
        return err

    def stop_and_stderr(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        return self.process.stderr.read().decode("latin-1")
