"""Objects drawn from the elements of one array follow every store, however
many stores came before the last output."""
import sys

from player import main
from test_display import expect_colours
from xinput import Running


def boxes_follow_their_elements(binary):
    player = Running(binary, "display_array.kiv")
    expect_colours(player, {
        (40, 40): 0x000000, (340, 40): 0xff0000,   # xs[0] moved twice
        (140, 40): 0x000000, (440, 40): 0x00ff00,  # xs[1] moved after xs[0]'s output
        (240, 40): 0x0000ff, (540, 40): 0x000000,  # xs[2] moved there and back
    })
    player.click(10, 10, button=3)
    player.finish()


if __name__ == "__main__":
    sys.exit(main([boxes_follow_their_elements]))
