"""Objects drawn from the elements of one array follow every store, however
many stores came before the last output; objects made in a loop between
stores follow later stores too, and stack in the order they were made."""
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


def objects_made_between_stores(binary):
    player = Running(binary, "display_loop.kiv")
    expect_colours(player, {
        (20, 40): 0x000000, (320, 40): 0xff0000, (500, 40): 0xff0000,     # all moved by x
        (20, 120): 0x000000, (20, 220): 0x00ff00, (200, 220): 0x00ff00,  # all moved by ys
        (410, 230): 0xff0000, (430, 230): 0x00ff00,                       # the later one on top
        (455, 230): 0x0000ff, (470, 230): 0xffff00,
    })
    player.click(10, 10, button=3)
    player.finish()


if __name__ == "__main__":
    sys.exit(main([boxes_follow_their_elements, objects_made_between_stores]))
