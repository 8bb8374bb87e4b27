#!/usr/bin/env python3
"""Translations passed to an object generator: each input area the
generator builds runs its own statements, which still see the variables of
the function that called the generator. Clicks arrive through XTEST.
Needs an X display (the test runs under Xvfb) and xdotool."""
import os
import sys
import tempfile

from player import check, main
from xinput import Running

PROGRAM = """int out, clicks;

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

object Button(points area, translation action)
{
    inputarea points = area, tr = action;
}

int main()
{
    int local;
    out = open("file:///dev/stdout", "w");
    local = 10;
    Button area = ((0, 0), (299, 399)),
        action = (Press Button1 : { local = local + 1; say(sprintf("left %d", local)); clicks++; });
    Button area = ((340, 0), (639, 399)), action = (Press Button1 : { say("right"); clicks++; });
    output();
    setCursorPos(0, 0);
    say("ready");
    while (clicks < 3) {
        waitOnInput();
        input();
    }
    say(sprintf("local %d", local));
    terminate();
}
"""


def clicks_reach_their_own_translations(binary):
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "buttons.kiv")
        with open(program, "w") as f:
            f.write(PROGRAM)
        player = Running(binary, program, cwd=folder)
        for x in [100, 500, 100]:
            player.click(x, 200)
        player.expect("left 11", "right", "left 12", "local 12")
        err = player.finish(0)
        check(not err.strip(), f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([clicks_reach_their_own_translations]))
