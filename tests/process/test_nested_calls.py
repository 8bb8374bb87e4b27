"""Programs calling themselves: the nesting stops at its limit with a
message, and when the chain has unwound every level's pictures have left
the X server again."""
import re
import subprocess
import sys

from player import check, main
from xinput import Running


def server_pixmaps():
    """(pixmaps, pixmap bytes) the player holds on the X server."""
    report = subprocess.run(["xrestop", "-b", "-m", "1"], check=True, capture_output=True,
                            text=True).stdout
    for block in re.split(r"\n(?=\d+ - )", report):
        if "talvix" in block.splitlines()[0]:
            fields = dict(re.findall(r"^\s*([a-z ]+?)\s*: (\S+)", block, re.M))
            return int(fields["pixmaps"]), int(fields["pixmap bytes"])
    raise AssertionError("the player is not among the server's clients:\n" + report)


def nesting_stops_and_releases_pictures(binary):
    player = Running(binary, "nested_calls.kiv")
    before = server_pixmaps()
    player.click(100, 100)
    check(player.line(timeout=30) == "returned", "the chain of calls did not unwind")
    after = server_pixmaps()
    check(after == before, f"pixmaps and their bytes before the calls {before}, after {after}")
    player.click(100, 100, button=3)
    err = player.finish()
    check(err.count("Error: Programs are nested 32 deep; not calling self.kiv") == 1, f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([nesting_stops_and_releases_pictures]))
