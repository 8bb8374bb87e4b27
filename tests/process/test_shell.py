"""The browser shell driven with real input through XTEST: the File menu's
Print, Reload, View Source, Back and Quit against a program waiting for input, a URL
typed into the URL field, and the modal text editor with the repaint of
the drawing area it uncovers."""
import os
import re
import select
import stat
import subprocess
import sys
import tempfile
import time

from player import FOLDER, PROGRAMS, Failure, alive, check, children, environment, main
from test_display import screen_pixels
from test_window_close import ask_to_close, main_window
from xinput import Running, xdotool

# Each menu: the x of its button in the menu bar, and its entries.
MENUS = {"File": (15, ["Back", "Reload", "View Source", "Print", "Quit"]),
         "Help": (60, ["About", "Acknowledgements"])}
BACKGROUND = 0x3366CC


def viewable_windows():
    """(x, y, width, height) of the mapped top-level windows."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], check=True, capture_output=True,
                          text=True).stdout
    found = []
    for window in re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M):
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
        if "IsViewable" not in info:
            continue
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
        found.append((field("Absolute upper-left X"), field("Absolute upper-left Y"),
                      field("Width"), field("Height")))
    return found


def wait_for_window(before, seconds=5.0, min_width=0):
    """The window that became viewable since the list before was taken."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        new = [w for w in viewable_windows() if w not in before and w[2] >= min_width]
        if new:
            return new[0]
        time.sleep(0.05)
    raise Failure("no new window appeared")


class Shell(Running):
    def __init__(self, binary, env=None, program="shell_menus.kiv", cwd=PROGRAMS):
        super().__init__(binary, program, ["-mb", "1"], environment(**(env or {})), cwd)

    def menu(self, entry, name="File"):
        choose(self.origin[0], entry, name)


def choose(left, entry, name="File"):
    """Chooses an entry of a menu of the window whose inside begins at x =
    left: press on the menu button, release over the entry."""
    time.sleep(0.2)
    before = viewable_windows()
    at, entries = MENUS[name]
    xdotool("mousemove", left + at, 10, "mousedown", 1)
    x, y, width, height = wait_for_window(before)
    row = entries.index(entry)
    xdotool("mousemove", x + width // 2, y + height * (2 * row + 1) // (2 * len(entries)))
    time.sleep(0.1)
    xdotool("mouseup", 1)


def fake_print_programs(folder):
    """xwd and xpr that record their arguments; lpr is left out."""
    log = os.path.join(folder, "print.log")
    for name in ["xwd", "xpr"]:
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(f'#!/bin/sh\necho "{name} $*" >> {log}\n')
        os.chmod(path, stat.S_IRWXU)
    return log


def menu_commands(binary):
    with tempfile.TemporaryDirectory() as folder:
        log = fake_print_programs(folder)
        player = Shell(binary, {"PRINTER": "lp", "PATH": folder})
        servers = children(player.process.pid)
        player.click(100, 100)
        player.expect("left")
        player.menu("Print")
        line = player.line()
        match = re.fullmatch(r"Printing: xwd -id (0x[0-9a-f]+) \| xpr -device ps -gray 4 \| lpr -u -P lp",
                             line)
        check(match, f"print line {line!r}")
        with open(log) as f:
            check(f.read().split("\n")[0:2] in (
                [f"xwd -id {match.group(1)}", "xpr -device ps -gray 4"],
                ["xpr -device ps -gray 4", f"xwd -id {match.group(1)}"]), "print pipeline not run")
        # Still running after the missing lpr: a click is answered.
        player.click(100, 100)
        player.expect("left")
        player.menu("Reload")
        player.expect("ready")
        player.click(100, 100)
        player.expect("left")
        # View Source and About open windows that their Ok buttons close.
        for entry, menu, width in [("View Source", "File", 500), ("About", "Help", 200)]:
            before = viewable_windows()
            player.menu(entry, menu)
            window = wait_for_window(before, min_width=width)
            xdotool("mousemove", window[0] + 14, window[1] + window[3] - 14, "click", 1)
            deadline = time.time() + 5
            while window in viewable_windows():
                check(time.time() < deadline, f"{entry} window not closed")
                time.sleep(0.05)
        player.menu("Back")
        player.click(100, 100)
        player.quiet()
        player.menu("Quit")
        player.finish(0)
        check(not [pid for pid in servers if alive(pid)], "servers left running")


def close_popup(window, what):
    """Presses the Ok button in the bottom left corner of a popup."""
    xdotool("mousemove", window[0] + 14, window[1] + window[3] - 14, "click", 1)
    deadline = time.time() + 5
    while window in viewable_windows():
        check(time.time() < deadline, f"{what} window not closed")
        time.sleep(0.05)


def black_pixels(window):
    pixel = screen_pixels()
    x, y, width, height = window
    return sum(pixel(x + i, y + j) == 0 for i in range(8, width - 8, 2) for j in range(8, height - 40, 2))


def relative_name_and_reload_after_back(binary):
    """A program started by a relative name from another folder: Reload and
    View Source find it. After Back the drawing area keeps the program's
    last picture where a popup uncovers it, and Reload starts it again."""
    player = Shell(binary, program=os.path.join("programs", "shell_menus.kiv"), cwd=FOLDER)
    player.menu("Reload")
    player.expect("ready")
    before = viewable_windows()
    player.menu("View Source")
    window = wait_for_window(before, min_width=500)
    time.sleep(0.3)
    check(black_pixels(window) > 200, "View Source shows no text")
    close_popup(window, "View Source")
    player.menu("Back")
    time.sleep(0.3)
    before = viewable_windows()
    player.menu("View Source")
    window = wait_for_window(before, min_width=300)
    close_popup(window, "View Source")
    time.sleep(0.3)
    pixel = screen_pixels()
    for x, y in [(10, 10), (200, 150), (window[2] - 20, window[3] - 60)]:
        got = pixel(player.origin[0] + x, player.origin[1] + y)
        check(got == BACKGROUND, f"not repainted after Back at {x},{y}: {got:06x}")
    player.menu("Reload")
    player.expect("ready")
    player.click(100, 100)
    player.expect("left")
    player.menu("Quit")
    player.finish(0)


def popups_close_on_request(binary):
    """The window manager's close button on a popup closes it as its own
    button does (Cancel for the text editor); the player runs on."""
    player = Shell(binary)
    for entry, menu, name in [("View Source", "File", "About"), ("About", "Help", "About"),
                              (None, None, "shell")]:
        before = viewable_windows()
        if entry:
            player.menu(entry, menu)
        else:
            player.click(400, 100)
        window = wait_for_window(before)
        ask_to_close(main_window(name))
        deadline = time.time() + 5
        while window in viewable_windows():
            check(time.time() < deadline, f"{entry or 'editor'} not closed")
            time.sleep(0.05)
    player.expect("abc")
    player.click(100, 100)
    player.expect("left")
    player.menu("Quit")
    player.finish(0)


def stderr_line(process, seconds=5.0):
    deadline = time.time() + seconds
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.time()
        check(left > 0 and select.select([process.stderr], [], [], left)[0],
              f"no message on standard error (so far {line!r})")
        byte = os.read(process.stderr.fileno(), 1)
        check(byte, "player ended")
        line += byte
    return line.decode("latin-1").rstrip("\n")


def unopenable_program(binary):
    """A missing program and a folder are reported; the URL field holds the
    name as given, so Return in it tries that name again (a folder is then
    no program)."""
    for name in ["no-such.kiv", "programs"]:
        process = subprocess.Popen([binary, "-mb", "1", name], cwd=FOLDER, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        try:
            check(stderr_line(process) == f"Could not open {name}.", f"{name}: wrong message")
            x, y, _, _ = wait_for_window([])
            time.sleep(0.3)
            xdotool("mousemove", x + 300, y + 38, "click", 1)
            xdotool("key", "Return")
            line = stderr_line(process)
            url = f"file://localhost{FOLDER}/{name}"
            check(line in (f"Could not open {url}.",
                           f"Unsupported content-type 'www/unknown' in call(\"{url}\")"),
                  f"after Return: {line!r}")
            choose(x + 1, "Quit")
            check(process.wait(10) == 0, f"status {process.returncode}")
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()


def broken_reload_keeps_the_last_picture(binary):
    """A reloaded program that does not parse never shows a picture of its
    own: the drawing area goes on showing the last one, also where the menu
    and a popup uncover it."""
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "prog.kiv")
        with open(os.path.join(PROGRAMS, "shell_menus.kiv")) as source, open(program, "w") as f:
            f.write(source.read())
        player = Shell(binary, program=program, cwd=folder)
        player.menu("Back")
        time.sleep(0.3)
        with open(os.path.join(PROGRAMS, "broken.kiv")) as source, open(program, "w") as f:
            f.write(source.read())
        player.menu("Reload")
        time.sleep(0.5)
        windows = viewable_windows()
        player.menu("About", "Help")
        close_popup(wait_for_window(windows, min_width=200), "About")
        time.sleep(0.3)
        pixel = screen_pixels()
        for x, y in [(10, 5), (30, 60), (200, 80), (400, 300)]:
            got = pixel(player.origin[0] + x, player.origin[1] + y)
            check(got == BACKGROUND, f"not repainted at {x},{y}: {got:06x}")
        player.menu("Quit")
        player.finish(0)


def deleted_program(binary):
    """View Source and Reload of a program whose file has gone say so."""
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "prog.kiv")
        with open(os.path.join(PROGRAMS, "shell_menus.kiv")) as source, open(program, "w") as f:
            f.write(source.read())
        player = Shell(binary, program=program, cwd=folder)
        os.unlink(program)
        windows = viewable_windows()
        player.menu("View Source")
        close_popup(wait_for_window(windows, min_width=300), "View Source")
        player.menu("Reload")
        time.sleep(0.5)
        player.menu("Quit")
        message = f"Could not open file://localhost{program}.\n"
        err = player.finish(0)
        check(err == 2 * message, f"stderr {err!r}")


def drain(player):
    while select.select([player.process.stdout], [], [], 0.1)[0]:
        os.read(player.process.stdout.fileno(), 4096)
    player.pending = b""


def computing_program(binary):
    """A program that never waits for input: it pauses while the pointer is
    in the URL field, restarts on Reload and stops on Back."""
    player = Shell(binary, program="shell_ticks.kiv")
    player.line()
    player.move(200, -10)
    time.sleep(0.3)
    drain(player)
    player.quiet(0.5)
    player.move(200, 200)
    check(player.line().isdigit(), "no count after leaving the URL field")
    player.menu("Reload")
    while (line := player.line()) != "ready":
        check(line.isdigit(), f"unexpected {line!r}")
    check(player.line() == "1", "the reloaded program did not start afresh")
    player.menu("Back")
    time.sleep(0.2)
    drain(player)
    player.quiet(0.5)
    player.menu("Quit")
    player.finish(0)


def url_field_loads_program(binary):
    player = Shell(binary)
    url = "file://localhost" + os.path.join(PROGRAMS, "shell_called.kiv")
    xdotool("mousemove", player.origin[0] + 200, player.origin[1] - 10, "click", 1)
    player.keys("ctrl+a", "ctrl+k")
    xdotool("type", "--delay", 10, url)
    player.keys("Return")
    player.expect("called")
    # The caller goes on after the called program has ended.
    player.click(100, 100)
    player.expect("left")
    player.menu("Quit")
    player.finish(0)


def text_editor(binary):
    player = Shell(binary)
    for keys, button, printed in [("X", "Ok", "Xabc"), ("Y", "Cancel", "Xabc")]:
        before = viewable_windows()
        player.click(400, 100)
        x, y, width, height = wait_for_window(before)
        check((x, y) == (20 + player.origin[0] - player.origin[0], 100), f"editor at {x},{y}")
        xdotool("mousemove", x + 100, y + 100)
        player.keys(keys)
        # The buttons sit below the 400 pixel high editor, Cancel right of Ok.
        xdotool("mousemove", x + (12 if button == "Ok" else 50), y + height - 12, "click", 1)
        player.expect(printed)
        time.sleep(0.3)
        pixel = screen_pixels()
        for at in [(x + 200, y + 200), (x + 10, y + 10)]:
            check(pixel(*at) == BACKGROUND, f"not repainted at {at}: {pixel(*at):06x}")
    player.menu("Quit")
    player.finish(0)


def drawing_area(pixel, x, y, skip=()):
    """The drawing area's pixels seen from its origin at x, y, leaving out
    the rectangles in skip (x0, y0, x1, y1)."""
    return {(i, j): pixel(x + i, y + j) for i in range(0, 640, 2) for j in range(0, 400, 2)
            if not any(x0 <= i < x1 and y0 <= j < y1 for x0, y0, x1, y1 in skip)}


def drag_through(x, y, points):
    """Drags with the left button from the first point through the others,
    in steps small enough for every object on the way to be crossed."""
    xdotool("mousemove", x + points[0][0], y + points[0][1], "mousedown", 1)
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        steps = max(abs(x1 - x0), abs(y1 - y0)) // 16 + 1
        for step in range(1, steps + 1):
            xdotool("mousemove", x + x0 + (x1 - x0) * step // steps, y + y0 + (y1 - y0) * step // steps)
    time.sleep(0.2)
    xdotool("mouseup", 1)
    time.sleep(0.5)


def playground_example(binary):
    """The interactive example: a colour button, dragging the square and
    the Quit button, checked on the screen. A drag across every other
    object and back leaves the picture as it was (but for the count of
    grabs)."""
    example = os.path.join(PROGRAMS, "..", "..", "..", "examples", "playground.kiv")
    play_playground(binary, os.path.abspath(example))


def play_playground(binary, example, cwd=None):
    process = subprocess.Popen([binary, "-mb", "0", example], cwd=cwd,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        wait_for_window([])
        time.sleep(0.7)
        x, y = 1, 1  # the drawing area just inside the main window's border
        xdotool("mousemove", x + 190, y + 40, "click", 1)
        time.sleep(0.3)
        xdotool("mousemove", x + 310, y + 210, "mousedown", 1)
        for step in range(1, 6):
            xdotool("mousemove", x + 310 + 20 * step, y + 210 + 10 * step)
            time.sleep(0.05)
        xdotool("mouseup", 1)
        time.sleep(0.5)
        pixel = screen_pixels()
        check(pixel(x + 420, y + 270) == 0x33CC66, f"square not moved: {pixel(x + 420, y + 270):06x}")
        check(pixel(x + 280, y + 180) == 0x202830, "square not erased")
        counter = (420, 80, 640, 110)
        before = drawing_area(pixel, x, y, [counter])
        # Grabbed at its middle, the square covers the buttons, the count
        # of grabs and the typed line on the way.
        drag_through(x, y, [(410, 260), (60, 40), (580, 40), (470, 100), (60, 360), (580, 360),
                            (410, 260)])
        after = drawing_area(screen_pixels(), x, y, [counter])
        wrong = [at for at in before if before[at] != after[at]]
        check(not wrong, f"{len(wrong)} pixels changed by the drag, first at {wrong[:3]}")
        xdotool("mousemove", x + 570, y + 40, "click", 1)
        status = process.wait(10)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    err = process.stderr.read().decode("latin-1")
    check(status == 0 and not err, f"status {status}, stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([menu_commands, computing_program, url_field_loads_program, text_editor,
                  playground_example, relative_name_and_reload_after_back, unopenable_program,
                  popups_close_on_request, broken_reload_keeps_the_last_picture, deleted_program]))
