"""Pixels of a running player's window, read back from the X server: fill
and outline colours, stacking by level, clipping by a window, erasing on
a move, and that re-assigning a value redraws nothing."""
import struct
import subprocess
import sys

from player import check, main
from xinput import Running


def screen_pixels():
    """The whole screen as (width, pixel function) from xwd."""
    data = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    header = struct.unpack(">25I", data[:100])
    header_size, width = header[0], header[4]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    byte_order = "<" if header[7] == 0 else ">"
    check(bits_per_pixel == 32, f"expected a 24-bit screen, got {bits_per_pixel} bits per pixel")
    base = header_size + 12 * ncolors

    def pixel(x, y):
        offset = base + y * bytes_per_line + 4 * x
        return struct.unpack(byte_order + "I", data[offset:offset + 4])[0] & 0xFFFFFF

    return pixel


def expect_colours(player, wanted):
    pixel = screen_pixels()
    for (x, y), colour in wanted.items():
        got = pixel(player.origin[0] + x, player.origin[1] + y)
        check(got == colour, f"at {x},{y}: expected {colour:06x}, got {got:06x}")


def scene(binary):
    player = Running(binary, "display_scene.kiv")
    expect_colours(player, {
        (30, 30): 0xff0000,    # filled box on level 1
        (100, 100): 0x0000ff,  # level 2 stands in front of level 1
        (70, 70): 0x0000ff,
        (200, 50): 0x00ff00,   # outline
        (230, 50): 0x000000,   # not filled
        (350, 250): 0xffff00,  # the window's box ...
        (290, 250): 0x000000,  # ... clipped at the window's edge
        (401, 250): 0x000000,
    })
    player.click(500, 350, button=2)  # assigns the value the colour has
    player.expect("drawn")
    expect_colours(player, {(30, 30): 0xff0000})
    player.click(500, 350)            # moves the red box right by 300
    player.expect("drawn")
    expect_colours(player, {
        (30, 30): 0x000000,    # erased
        (70, 70): 0x0000ff,    # the blue box is repainted where it was covered
        (330, 30): 0xff0000,
    })
    player.click(10, 10, button=3)
    player.finish()


if __name__ == "__main__":
    sys.exit(main([scene]))
