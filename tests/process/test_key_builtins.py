#!/usr/bin/env python3
"""getc(0) and getchar read the key of the event a translation handles:
keys typed through XTEST reach a program's input area, getc appends the
character to a line, getchar's backspace removes the last one. Outside a
translation both find no key. Needs an X display (the test runs under
Xvfb) and xdotool."""
import os
import sys
import tempfile

from player import check, main
from xinput import Running

PROGRAM = """int out, count;
text line;

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

int main()
{
    out = open("file:///dev/stdout", "w");
    window points = ((0, 0), (639, 399));
        inputarea points = ((0, 0), (639, 399)),
            tr = ("a" | "b" : { say(sprintf("getc %d", getc(0, line))); count++; },
                  BackSpace : { say(sprintf("getchar %d", getchar(line))); count++; });
    endwindow;
    say(sprintf("outside %d %d", getc(0), getchar()));
    output();
    setCursorPos(0, 0);
    say("ready");
    while (count < 4) {
        waitOnInput();
        input();
    }
    say("[" + line + "]");
    terminate();
}
"""


def typed_keys_reach_getc_and_getchar(binary):
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "keys.kiv")
        with open(program, "w") as f:
            f.write(PROGRAM)
        player = Running(binary, program, cwd=folder)
        check(player.before == ["outside -1 0"], f"before input: {player.before!r}")
        player.move(200, 200)
        player.keys("a", "b", "BackSpace", "a")
        player.expect("getc 97", "getc 98", "getchar 8", "getc 97", "[aa]")
        err = player.finish(0)
        check(not err.strip(), f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([typed_keys_reach_getc_and_getchar]))
