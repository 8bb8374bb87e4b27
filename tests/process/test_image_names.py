"""The picture cache knows a picture by the URL its name stands for: a
program fetched over HTTP and called from a local one gets its own server's
picture for a relative name the caller used for a local file, and the
caller still gets its own afterwards."""
import os
import sys

import gifwriter as gw
from httpfixture import with_session
from player import check, fresh_tmpdir, main
from test_images import screen_pixels
from xinput import Running

RED, BLUE = 0xFF0000, 0x0000FF

SAY = 'int out;\nvoid say(text s) { write(out, s + "\\n", strlen(s) + 1); }\n'
SIZE = 'void size(text name) { int w, h; imageExtents(name, w, h); say(name + " " + intAsText(w) + " " + intAsText(h)); }\n'

CALLER = SAY + SIZE + """void main() {
  out = open("file:///dev/stdout", "w");
  image points = ((10, 10)), img = "pic.gif";
  output();
  size("pic.gif");
  call("%s");
  size("pic.gif");
  terminate();
}
"""

CALLED = SAY + SIZE + """int done;
void main() {
  out = open("file:///dev/stdout", "w");
  image points = ((10, 10)), img = "pic.gif";
  inputarea points = ((0, 0), (640, 400)), tr = (Button1 Press : done = 1;);
  output();
  size("pic.gif");
  size("./sub/../pic.gif");
  setCursorPos(0, 0);
  say("ready");
  while (!done) { waitOnInput(); input(); }
  exit();
}
"""


def solid(width, height):
    return [[0] * width for _ in range(height)]


@with_session
def relative_names_of_called_programs(binary, session):
    server = session.server
    os.makedirs(os.path.join(server.root, "remote"))
    with open(os.path.join(server.root, "remote", "pic.gif"), "wb") as f:
        f.write(gw.gif(solid(30, 15), [BLUE]))
    server.write("remote/called.kiv", CALLED)
    folder = fresh_tmpdir()
    with open(os.path.join(folder, "pic.gif"), "wb") as f:
        f.write(gw.gif(solid(20, 10), [RED]))
    program = os.path.join(folder, "caller.kiv")
    with open(program, "w") as f:
        f.write(CALLER % server.url("remote/called.kiv"))
    player = Running(binary, program, env=session.env(), cwd=folder)
    check(player.before == ["pic.gif 20 10", "pic.gif 30 15", "./sub/../pic.gif 30 15"],
          f"before the click: {player.before}")
    pixel = screen_pixels()
    got = pixel(player.origin[0] + 15, player.origin[1] + 15)
    check(got == BLUE, f"the called program shows {got:06x}, not its own blue picture")
    player.click(300, 200)
    player.expect("pic.gif 20 10")
    player.finish()


if __name__ == "__main__":
    sys.exit(main([relative_names_of_called_programs]))
