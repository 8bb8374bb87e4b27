"""The object editor example driven with real input: drag a shape and one
of its corners, change its colour, delete another, retype a caption in
the text editor, add a box and save; the saved program then runs in the
player and shows the edits."""
import os
import shutil
import subprocess
import sys
import time

from player import SANITIZER, Failure, check, fresh_tmpdir, main
from test_display import screen_pixels
from test_shell import viewable_windows, wait_for_window
from xinput import xdotool

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
ORIGIN = (1, 1)  # the drawing area just inside the main window's border, without menu bar


def at(x, y):
    return ORIGIN[0] + x, ORIGIN[1] + y


def wait_for_colour(x, y, colour, seconds=10.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if screen_pixels()(*at(x, y)) == colour:
            return
        time.sleep(0.1)
    raise Failure


def expect_colours(wanted):
    pixel = screen_pixels()
    for (x, y), colour in wanted.items():
        got = pixel(*at(x, y))
        check(got == colour, f"at {x},{y}: expected {colour:06x}, got {got:06x}")


def click(x, y, modifiers=()):
    time.sleep(0.3)
    xdotool("mousemove", *at(x, y))
    for key in modifiers:
        xdotool("keydown", key)
    xdotool("click", 1)
    for key in modifiers:
        xdotool("keyup", key)
    time.sleep(0.3)


def stop(process):
    if process.poll() is None:
        process.kill()
        process.wait()
    err = process.stderr.read().decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    return err


def edit_save_and_run(binary):
    folder = fresh_tmpdir()
    os.makedirs(os.path.join(folder, "examples"))
    saved = os.path.join(folder, "examples", "shapes.kiv")
    shutil.copy(os.path.join(EXAMPLES, "shapes.kiv"), saved)
    before_save = os.path.getmtime(saved)
    editor = subprocess.Popen([binary, "-mb", "0", os.path.abspath(os.path.join(EXAMPLES, "editor.kiv"))],
                              cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        try:
            wait_for_colour(100, 100, 0xff6600)
        except Failure:
            raise Failure("the shapes did not appear: " + stop(editor))
        xdotool("mousemove", *at(100, 100), "mousedown", 1)
        for step in range(1, 6):
            xdotool("mousemove", *at(100 + 20 * step, 100 + 8 * step))
            time.sleep(0.05)
        xdotool("mouseup", 1)
        time.sleep(0.3)
        xdotool("mousemove", *at(277, 177), "mousedown", 1)   # grabs the lower right corner
        for step in range(1, 3):
            xdotool("mousemove", *at(277 + 5 * step, 177 + 5 * step))
            time.sleep(0.05)
        xdotool("mouseup", 1)
        click(480, 345)                        # Colour: the dragged box turns green
        click(450, 120, modifiers=["shift"])   # deletes the triangle
        click(370, 240)                        # selects the caption ...
        windows = viewable_windows()
        click(600, 345)                        # ... and opens the text editor on it
        x, y, width, height = wait_for_window(windows)
        xdotool("mousemove", x + 100, y + 100)
        xdotool("key", "--delay", 30, "X")
        xdotool("mousemove", x + 12, y + height - 12, "click", 1)
        click(430, 345)                        # Add
        time.sleep(0.5)
        expect_colours({(170, 110): 0x33cc66, (200, 185): 0x33cc66, (70, 70): 0x000000,
                        (450, 120): 0x000000, (330, 205): 0xcc3366})
        click(380, 345)                        # Save
        deadline = time.time() + 10
        while os.path.getmtime(saved) == before_save and time.time() < deadline:
            time.sleep(0.1)
        click(600, 380)                        # Quit
        editor.wait(10)
    finally:
        err = stop(editor)
    check(editor.returncode == 0, f"editor status {editor.returncode}: {err}")

    with open(saved) as f:
        text = f.read()
    check("box points = ((160,100),(290,190)), color = 3394662, fill = 1;" in text, text)
    check("polygon" not in text, text)
    check('outtext = "XEdit me"' in text, text)
    check("box points = ((270,150),(350,210)), color = 13382502, fill = 1;" in text, text)

    program = subprocess.Popen([binary, "-mb", "0", saved], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        wait_for_colour(330, 205, 0xcc3366)
        expect_colours({(170, 110): 0x33cc66, (200, 185): 0x33cc66, (70, 70): 0x000000,
                        (450, 120): 0x000000})
    except Failure:
        raise Failure("the saved program does not show the edits: " + stop(program))
    finally:
        stop(program)
    shutil.rmtree(folder)


if __name__ == "__main__":
    sys.exit(main([edit_save_and_run]))
