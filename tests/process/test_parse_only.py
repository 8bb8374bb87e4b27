"""Parse-only runs: no display needed, exit status 0 whatever happens to the
program, options the player does not know reported without harm."""
import sys

from player import check, environment, main, run

NO_DISPLAY = environment(DISPLAY=None)


def parse_only_without_display(binary):
    for args in (["-po", "1", "empty.kiv"], ["-po", "1"]):
        status, out, err = run(binary, args, env=NO_DISPLAY)
        check(status == 0, f"{args}: status {status}, stderr {err!r}")
        check(out == "" and err == "", f"{args}: unexpected output {out!r} {err!r}")


def parse_only_with_display(binary):
    status, _, err = run(binary, ["-po", "1", "empty.kiv"])
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")


def missing_program_is_reported(binary):
    status, _, err = run(binary, ["-po", "1", "no-such-file.kiv"], env=NO_DISPLAY)
    check(status == 0, f"status {status}")
    check(err == "Could not open no-such-file.kiv.\n", f"stderr {err!r}")


def directory_is_not_a_program(binary):
    status, _, err = run(binary, ["-po", "1", "."], env=NO_DISPLAY)
    check(status == 0 and err == "Could not open ..\n", f"status {status}, stderr {err!r}")


def unknown_options_are_reported(binary):
    status, _, err = run(binary, ["-po", "1", "-nonsense", "empty.kiv", "-rd"], env=NO_DISPLAY)
    check(status == 0, f"status {status}")
    check("Unknown option -nonsense" in err and "Option -rd needs a value" in err, f"stderr {err!r}")
    check("Could not open" not in err, f"the program was not found: {err!r}")


def bad_option_values_keep_defaults(binary):
    status, _, err = run(binary, ["-po", "1", "-rd", "lots", "empty.kiv"], env=NO_DISPLAY)
    check(status == 0, f"status {status}")
    check('Cannot convert string "lots" to type Int' in err, f"stderr {err!r}")


def toolkit_options_are_removed(binary):
    status, _, err = run(binary, ["-po", "1", "-geometry", "10x10", "-xrm", "*foo: 1", "empty.kiv"],
                         env=NO_DISPLAY)
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")


def parse_only_from_resource_file(binary):
    env = environment(DISPLAY=None, XENVIRONMENT="parse-only.ad")
    status, _, err = run(binary, ["empty.kiv"], env=env)
    check(status == 0 and err == "", f"status {status}, stderr {err!r}")


def bad_resource_files_are_harmless(binary):
    # A directory, a binary file and a missing file as resource files, and a
    # library directory that does not exist: no message, no crash.
    for resources in (".", binary, "/nonexistent/talvix.ad"):
        env = environment(DISPLAY=None, XENVIRONMENT=resources, XAPPLRESDIR=resources,
                          KIVLIBPATH="/nonexistent/lib")
        status, _, err = run(binary, ["-po", "1", "empty.kiv"], env=env)
        check(status == 0 and err == "", f"{resources}: status {status}, stderr {err!r}")


def no_display_is_an_error(binary):
    status, _, err = run(binary, ["empty.kiv"], env=NO_DISPLAY)
    check(status == 1 and err.startswith("Error: Could not open display"), f"{status} {err!r}")


if __name__ == "__main__":
    sys.exit(main([parse_only_without_display, parse_only_with_display,
                   missing_program_is_reported, directory_is_not_a_program,
                   unknown_options_are_reported, bad_option_values_keep_defaults,
                   toolkit_options_are_removed, parse_only_from_resource_file,
                   bad_resource_files_are_harmless,
                   no_display_is_an_error]))
