"""Ending the player: SIGHUP, SIGINT, SIGQUIT and SIGTERM end it with the
signal number as exit status, from the idle loop and from start-up, and
never leave a server process or a temporary file behind. Runs under the
suite's X server."""
import os
import signal
import sys
import time

from httpfixture import with_session
from player import PROGRAMS, Idle, alive, check, environment, fresh_tmpdir, main


def ends_cleanly(binary, args, number, expected_status, env=None):
    player = Idle(binary, args, env)
    servers = player.wait_for_servers()
    time.sleep(0.5)
    check(player.process.poll() is None, "player did not stay idle: " + player.stderr())
    status = player.signal(number)
    err = player.stderr()
    check(status == expected_status, f"status {status}, stderr {err!r}")
    left = [pid for pid in servers if alive(pid)]
    check(not left, f"server processes left running: {left}")
    return err


def sigterm_ends_idle_player(binary):
    ends_cleanly(binary, [], signal.SIGTERM, 15)


def sigint_ends_running_player(binary):
    ends_cleanly(binary, ["empty.kiv"], signal.SIGINT, 2)


def missing_program_leaves_player_idle(binary):
    err = ends_cleanly(binary, ["no-such-file.kiv"], signal.SIGTERM, 15)
    check(err == "Could not open no-such-file.kiv.\n", f"stderr {err!r}")


def redirected_stderr_leaves_nothing(binary):
    tmpdir = fresh_tmpdir()
    env = environment(TMPDIR=tmpdir)
    err = ends_cleanly(binary, ["-rd", "1", "-nonsense", "no-such-file.kiv"], signal.SIGTERM, 15, env)
    check(err == "", f"terminal got {err!r}")
    check(os.listdir(tmpdir) == [], f"left behind: {os.listdir(tmpdir)}")
    os.rmdir(tmpdir)


@with_session
def hangup_and_quit_clean_up_like_sigterm(binary, session):
    # A program fetched over HTTP leaves a local copy in TMPDIR beside the
    # standard-error file; both must go.
    with open(os.path.join(PROGRAMS, "waiting.kiv")) as f:
        session.server.write("waiting.kiv", f.read())
    for number in (signal.SIGHUP, signal.SIGQUIT):
        ends_cleanly(binary, ["-rd", "1", session.server.url("waiting.kiv")], number, int(number),
                     session.env())
        check(session.leftovers() == [], f"signal {number}: left behind {session.leftovers()}")


def sigbus_aborts_after_stopping_servers(binary):
    player = Idle(binary, ["empty.kiv"])
    servers = player.wait_for_servers()
    time.sleep(0.3)
    status = player.signal(signal.SIGBUS)
    err = player.stderr()
    check(status == -signal.SIGABRT, f"status {status}")
    check(err.endswith("Abnormal termination by signal 7.\n"), f"stderr {err!r}")
    check(not [pid for pid in servers if alive(pid)], "servers left running")


def signal_during_start_up(binary):
    # Signals arriving before the event loop runs take the handler's own
    # exit path; it must stop the servers and remove the file as well.
    tmpdir = fresh_tmpdir()
    env = environment(TMPDIR=tmpdir)
    for delay in (0.0, 0.02, 0.05, 0.1, 0.2):
        player = Idle(binary, ["-rd", "1", "empty.kiv"], env)
        time.sleep(delay)
        status = player.signal(signal.SIGTERM)
        # Before the handlers are installed the signal's default action
        # ends the player; nothing has been created yet then.
        check(status in (15, -15), f"delay {delay}: status {status}")
        player.stderr()
        time.sleep(0.2)
        check(os.listdir(tmpdir) == [], f"delay {delay}: left behind {os.listdir(tmpdir)}")
    os.rmdir(tmpdir)


if __name__ == "__main__":
    sys.exit(main([sigterm_ends_idle_player, sigint_ends_running_player,
                   missing_program_leaves_player_idle, redirected_stderr_leaves_nothing,
                   hangup_and_quit_clean_up_like_sigterm,
                   sigbus_aborts_after_stopping_servers, signal_during_start_up]))
