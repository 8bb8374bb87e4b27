"""The player as a desktop installs and starts it: --help and --version
without a display, the installed tree (also below DESTDIR) with its manual
page and desktop entry, the MIME type and default application as a desktop
looks them up, the installed player on an installed example, and the
percent-encoded file URLs a desktop passes for %u."""
import ctypes
import gzip
import os
import re
import subprocess
import sys
import time
import urllib.parse

from player import check, environment, fresh_tmpdir, main, run
from test_shell import play_playground, viewable_windows, wait_for_window
from test_display import screen_pixels
from xinput import xdotool

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

INSTALLED = [
    "bin/talvix",
    "share/applications/talvix.desktop",
    "share/icons/hicolor/128x128/apps/talvix.png",
    "share/icons/hicolor/48x48/apps/talvix.png",
    "share/icons/hicolor/scalable/apps/talvix.svg",
    "share/man/man1/talvix.1.gz",
    "share/mime/packages/talvix.xml",
] + ["share/talvix/examples/" + name for name in os.listdir(os.path.join(SOURCE, "examples"))
     if name.endswith(".kiv")]
INSTALLED.sort()


def documented_options():
    """(option, resource) of every player option in the README's table."""
    with open(os.path.join(SOURCE, "README.md")) as f:
        options = re.findall(r"^\| `(-\w+)[^`]*` \| `(\w+)` \(`\w+`\) \|", f.read(), re.M)
    check(len(options) >= 7, f"options table of the README not found: {options}")
    return options


OPTIONS = documented_options()

# Says which file ran, then ends the player.
OPENED = """int main()
{
    int out = open("file:///dev/stdout", "w");
    write(out, "opened\\n", 7);
    terminate();
}
"""


def project_version():
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        return re.search(r"project\(talvix VERSION ([0-9.]+)", f.read()).group(1)


def curl_runtime_version():
    library = ctypes.CDLL("libcurl.so.4")
    library.curl_version.restype = ctypes.c_char_p
    return library.curl_version().decode().split()[0].split("/")[1]


def without_display(binary, args):
    return run(binary, args, env=environment(DISPLAY=None))


def files_below(root):
    return sorted(os.path.relpath(os.path.join(folder, name), root)
                  for folder, _, names in os.walk(root) for name in names)


def install(binary, prefix, destdir=None):
    env = environment(DESTDIR=destdir)
    done = subprocess.run(["cmake", "--install", os.path.dirname(binary), "--prefix", prefix],
                          env=env, capture_output=True, text=True)
    check(done.returncode == 0, f"install failed: {done.stderr}")


def installed_copy(binary):
    """The prefix of a fresh installation in a folder of its own."""
    prefix = os.path.join(fresh_tmpdir(), "usr")
    install(binary, prefix)
    return prefix


def help_and_version(binary):
    for args in [["--help"], ["-po", "1", "--help", "empty.kiv"], ["-mb", "0", "--he"],
                 ["--help", "--version"]]:
        status, out, err = without_display(binary, args)
        check(status == 0 and err == "" and out.startswith("Usage: talvix "),
              f"{args}: status {status}, stderr {err!r}, stdout {out[:80]!r}")
        for option, resource in OPTIONS:
            check(re.search(rf"^  {option} .*{resource}", out, re.M), f"{option} missing from help")
        for word in ["KIVLIBPATH", "BROWSER", "Exit status", "3   ended by SIGQUIT", "15  ended by SIGTERM"]:
            check(word in out, f"{word} missing from help")
    wanted = [f"talvix {project_version()}", f"libcurl {curl_runtime_version()}"]
    for args in [["--version"], ["-display", ":0", "--vers", "x.kiv"], ["--version", "--help"]]:
        status, out, err = without_display(binary, args)
        lines = out.splitlines()
        check(status == 0 and err == "" and lines[:2] == wanted and len(lines) == 3,
              f"{args}: status {status}, stderr {err!r}, stdout {out!r}")
        check(re.fullmatch(r"libjpeg \d+[a-z]?( \S+)*", lines[2]), f"libjpeg line {lines[2]!r}")
    # Not asked for: as an option's value, after "--", or misspelt.
    status, out, err = without_display(binary, ["-url", "--help", "-po", "1", "empty.kiv"])
    check(status == 0 and out == "" and err == "", f"-url value: {status} {out!r} {err!r}")
    status, out, err = without_display(binary, ["-po", "1", "--", "--help", "--helpme", "empty.kiv"])
    check(status == 0 and out == "", f"after --: {status} {out!r}")
    for option in ["--", "--help", "--helpme"]:
        check(f"Warning: Unknown option {option} ignored." in err, f"no warning for {option}: {err!r}")
    # An answer that cannot be written is a failure.
    with open("/dev/full", "w") as full:
        done = subprocess.run([binary, "--version"], stdout=full, env=environment(DISPLAY=None))
    check(done.returncode == 1, f"--version onto a full disk: status {done.returncode}")


def installed_tree(binary):
    prefix = installed_copy(binary)
    check(files_below(prefix) == INSTALLED, f"installed {files_below(prefix)}")
    destdir = fresh_tmpdir()
    install(binary, "/usr", destdir)
    check(files_below(os.path.join(destdir, "usr")) == INSTALLED, f"below DESTDIR {files_below(destdir)}")
    status, out, err = run(os.path.join(prefix, "bin", "talvix"), ["--version"],
                           env=environment(DISPLAY=None))
    check(status == 0 and out.startswith("talvix "), f"installed --version: {status} {err!r}")
    desktop = os.path.join(prefix, "share/applications/talvix.desktop")
    done = subprocess.run(["desktop-file-validate", "--no-hints", desktop], capture_output=True, text=True)
    check(done.returncode == 0 and not done.stdout + done.stderr,
          f"desktop entry: {done.stdout}{done.stderr}")
    check_manual(os.path.join(prefix, "share/man/man1/talvix.1.gz"))
    # The installed player on an installed example, far from the build.
    play_playground(os.path.join(prefix, "bin", "talvix"),
                    os.path.join(prefix, "share/talvix/examples/playground.kiv"), cwd="/")


def check_manual(page):
    env = environment(MANWIDTH="80", LC_ALL="C.UTF-8")
    done = subprocess.run(["man", "--warnings", "-l", page], env=env, capture_output=True, text=True)
    check(done.returncode == 0 and done.stderr == "", f"man warns: {done.stderr}")
    with gzip.open(page) as f:
        source = f.read()
    done = subprocess.run(["groff", "-ww", "-man", "-z"], input=source, capture_output=True)
    check(done.returncode == 0 and not done.stderr, f"groff warns: {done.stderr!r}")
    text = subprocess.run(["man", "-l", page], env=env, capture_output=True, text=True).stdout
    for section in ["OPTIONS", "RESOURCES", "ENVIRONMENT", "FILES", "EXIT STATUS", "EXAMPLES"]:
        check(f"\n{section}\n" in text, f"manual page lacks {section}")
    for option, resource in OPTIONS:
        check(option in text and resource in text, f"manual page lacks {option} or {resource}")


def desktop_environment(root):
    """A private XDG tree: the installed share folder as the user's data,
    nothing of the system's."""
    env = environment(XDG_DATA_HOME=os.path.join(root, "usr/share"),
                      XDG_DATA_DIRS=os.path.join(root, "nothing"),
                      XDG_CONFIG_HOME=os.path.join(root, "config"),
                      XDG_CONFIG_DIRS=os.path.join(root, "config"),
                      HOME=os.path.join(root, "home"))
    for name in ["XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_SESSION_DESKTOP",
                 "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"]:
        env.pop(name, None)
    return env


def mime_and_default_application(binary):
    prefix = installed_copy(binary)
    root = os.path.dirname(prefix)
    env = desktop_environment(root)
    share = env["XDG_DATA_HOME"]
    for command in [["update-mime-database", os.path.join(share, "mime")],
                    ["update-desktop-database", os.path.join(share, "applications")]]:
        done = subprocess.run(command, env=env, capture_output=True, text=True)
        check(done.returncode == 0, f"{command[0]}: {done.stderr}")
    program = os.path.join(root, "my program café.kiv")
    with open(program, "w") as f:
        f.write(OPENED)
    for query, wanted in [(["filetype", program], "application/x-talvix"),
                          (["default", "application/x-talvix"], "talvix.desktop")]:
        done = subprocess.run(["xdg-mime", "query"] + query, env=env, capture_output=True, text=True)
        check(done.stdout.strip() == wanted, f"xdg-mime query {query[0]}: {done.stdout!r} {done.stderr!r}")


def exec_line(prefix, url):
    """The command a desktop makes of the entry's Exec line for one URL."""
    with open(os.path.join(prefix, "share/applications/talvix.desktop")) as f:
        words = re.search(r"^Exec=(.*)$", f.read(), re.M).group(1).split()
    check(words == ["talvix", "%u"], f"Exec line {words}")
    return [os.path.join(prefix, "bin", "talvix"), url]


def file_url(path):
    return "file://" + urllib.parse.quote(path)


def desktop_opens_encoded_url(binary):
    """%u as a percent-encoded file URL and as a plain path, with a name a
    URL would misread."""
    prefix = installed_copy(binary)
    root = os.path.dirname(prefix)
    program = os.path.join(root, "Übung 100% café.kiv")
    with open(program, "w") as f:
        f.write(OPENED)
    resources = os.path.join(root, "resources")
    with open(resources, "w") as f:
        f.write("Talvix.allowLocalWrite: 1\n")
    for given in [file_url(program), program]:
        command = exec_line(prefix, given)
        status, out, err = run(command[0], command[1:], env=environment(XENVIRONMENT=resources))
        check(status == 0 and out == "opened\n", f"{given}: status {status}, stdout {out!r}, stderr {err!r}")


def status_ink(window):
    """The leftmost and rightmost columns of the status line's text."""
    x, y, width, height = window
    pixel = screen_pixels()
    inside = x + 1
    bottom = next(row for row in range(y + height - 1, y, -1) if pixel(inside, row) == pixel(inside + 2, row)
                  and pixel(inside, row) != 0)
    background = pixel(inside, bottom)
    top = bottom
    while pixel(inside, top - 1) == background:
        top -= 1
    columns = [column for column in range(inside, x + width - 1)
               if any(pixel(column, row) != background for row in range(top, bottom + 1))
               and not all(pixel(column, row) != background for row in range(top, bottom + 1))]
    return columns[0], columns[-1]


def start_window(command, env=None):
    """Starts the player; returns it and its main window once shown."""
    before = viewable_windows()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        window = wait_for_window(before, min_width=600)
    except Exception:
        process.kill()
        process.wait()
        raise
    time.sleep(0.5)
    return process, window


def status_width(window):
    left, right = status_ink(window)
    return right - left + 1


def missing_file_from_desktop(binary):
    """The message a missing command-line file gets, also in the status
    line; then the window takes another URL."""
    prefix = installed_copy(binary)
    root = os.path.dirname(prefix)
    missing = file_url(os.path.join(root, "gone café.kiv"))
    program = os.path.join(root, "my program café.kiv")
    with open(program, "w") as f:
        f.write(OPENED)
    resources = os.path.join(root, "resources")
    with open(resources, "w") as f:
        f.write("Talvix.allowLocalWrite: 1\n")
    # The status line's font is fixed-width: the start text gives its width.
    process, window = start_window([os.path.join(prefix, "bin", "talvix")])
    initial = status_width(window)
    process.kill()
    process.wait()
    process, window = start_window(exec_line(prefix, missing), environment(XENVIRONMENT=resources))
    try:
        text = f"Status : Could not open {missing}."
        deadline = time.time() + 5
        while True:
            width = status_width(window) * len("Status : Initializing...") / initial
            if abs(width - len(text)) < 1 or time.time() > deadline:
                break
            time.sleep(0.1)
        check(abs(width - len(text)) < 1, f"status text {width:.1f} characters wide, {len(text)} expected")
        xdotool("mousemove", window[0] + 200, window[1] + 37, "click", 1)
        xdotool("key", "ctrl+a", "ctrl+k")
        xdotool("type", "--delay", 10, file_url(program))
        xdotool("key", "Return")
        status = process.wait(10)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    out = process.stdout.read().decode()
    err = process.stderr.read().decode("latin-1")
    check(status == 0 and out == "opened\n", f"status {status}, stdout {out!r}, stderr {err!r}")
    check(err == f"Could not open {missing}.\n", f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([help_and_version, installed_tree, mime_and_default_application,
                   desktop_opens_encoded_url, missing_file_from_desktop]))
