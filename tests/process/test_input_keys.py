"""Keyboard input through XTEST: quoted characters with and without
modifiers, special keys, key release, getchar and getc(0) on the current
key event, and a line edited with backspace. Runs under the suite's X
server."""
import sys

from player import check, main
from xinput import Running


def keys_and_line_editing(binary):
    player = Running(binary, "input_keys.kiv")
    check(player.before == ["outside 0 -1"], f"outside a translation: {player.before}")
    player.move(320, 200)
    player.keys("c", "a", "b", "BackSpace", "Return")
    player.expect("line [ca]")
    player.keys("shift+a", "ctrl+c", "q")
    player.expect("shift a 65", "ctrl c 3", "q up 113")
    player.keys("Left", "F1", "x")
    player.expect("special 0", "special 0")
    player.keys("b", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "Return")
    player.expect("line []")
    player.quiet()
    player.keys("Escape")
    player.expect("bye")
    player.finish()


if __name__ == "__main__":
    sys.exit(main([keys_and_line_editing]))
