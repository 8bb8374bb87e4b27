"""The run driver under the suite's X server: programs that cannot start
leave the player idle, and a running program, computing or waiting, is
ended by a signal through the event loop in well under the handler's grace
period, with its servers gone."""
import os
import shutil
import signal
import sys
import time

from player import Failure, Idle, alive, check, environment, fresh_tmpdir, main, run


def first_error_line(player, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        check(player.process.poll() is None, "player ended early: " + player.stderr())
        line = player.process.stderr.readline().decode("latin-1").strip()
        if line:
            return line
    raise Failure("no message on standard error")


def program_without_main_idles(binary):
    player = Idle(binary, ["no_main.kiv"])
    player.wait_for_servers()
    check(first_error_line(player) == "No main function in kiv file", "wrong message")
    time.sleep(0.3)
    status = player.signal(signal.SIGTERM)
    check(status == 15, f"status {status}")


def broken_program_does_not_start(binary):
    # Parse-only: the errors are printed and the status is still 0.
    status, _, err = run(binary, ["-po", "1", "broken.kiv"])
    check(status == 0 and err.startswith("Error at line 4:"), f"status {status}, stderr {err!r}")
    check("No main function" not in err, f"stderr {err!r}")
    # With the display the player idles after reporting them.
    player = Idle(binary, ["broken.kiv"])
    player.wait_for_servers()
    check(first_error_line(player).startswith("Error at line 4:"), "wrong message")
    time.sleep(0.3)
    check(player.signal(signal.SIGTERM) == 15, "wrong status")


def signal_ends_running_program(binary, program, number, expected):
    player = Idle(binary, [program])
    servers = player.wait_for_servers()
    time.sleep(0.5)
    check(player.process.poll() is None, "program ended early: " + player.stderr())
    started = time.time()
    status = player.signal(number)
    took = time.time() - started
    err = player.stderr()
    check(status == expected, f"status {status}, stderr {err!r}")
    check(took < 1.5, f"took {took:.2f} s: the event loop did not take up the signal")
    check(not [pid for pid in servers if alive(pid)], "servers left running")


def sigterm_ends_computing_program(binary):
    signal_ends_running_program(binary, "busy.kiv", signal.SIGTERM, 15)


def sigint_ends_waiting_program(binary):
    signal_ends_running_program(binary, "waiting.kiv", signal.SIGINT, 2)


def sigterm_during_a_long_parse(binary):
    # The parser serves no events, so the loop cannot take up the signal;
    # the handler's own exit after its grace period must still stop the
    # servers and remove the standard-error file.
    tmpdir = fresh_tmpdir()
    program = os.path.join(tmpdir, "long.kiv")
    with open(program, "w") as f:
        f.write("int main()\n{\n    int i;\n")
        f.writelines(f"    i = i + {k};\n" for k in range(400000))
        f.write("    wait(100000);\n}\n")
    logs = os.path.join(tmpdir, "logs")
    os.mkdir(logs)
    player = Idle(binary, ["-rd", "1", program], environment(TMPDIR=logs))
    servers = player.wait_for_servers()
    time.sleep(0.3)
    status = player.signal(signal.SIGTERM)
    check(status == 15, f"status {status}")
    check(not [pid for pid in servers if alive(pid)], "servers left running")
    check(os.listdir(logs) == [], f"left behind: {os.listdir(logs)}")
    shutil.rmtree(tmpdir)


if __name__ == "__main__":
    sys.exit(main([program_without_main_idles, broken_program_does_not_start,
                   sigterm_ends_computing_program, sigint_ends_waiting_program,
                   sigterm_during_a_long_parse]))
