"""Program data of any length reaches the X server in requests it takes:
a text line of 2^18 characters is drawn up to the window's edge and can
be edited in the text editor, and a URL as long in the address field does
no harm."""
import sys

from player import check, main
from test_display import screen_pixels
from test_shell import viewable_windows, wait_for_window
from xinput import Running, xdotool


def long_text_and_url(binary):
    player = Running(binary, "long_text.kiv", args=["-mb", "1"])
    pixel = screen_pixels()
    # The glyphs of the first line lie between y 10 and 10 + the font's
    # height; some of them reach the right edge of the drawing area.
    def lit(x0, x1):
        return any(pixel(player.origin[0] + x, player.origin[1] + y) == 0xffffff
                   for x in range(x0, x1) for y in range(10, 24))
    check(lit(10, 40), "the start of the text is not drawn")
    check(lit(600, 640), "the text does not reach the right edge")
    before = viewable_windows()
    player.click(300, 200)
    x, y, width, height = wait_for_window(before, seconds=15)
    xdotool("mousemove", x + 12, y + height - 12, "click", 1)
    player.expect(str(1 << 18))
    player.click(300, 200, button=3)
    err = player.finish()
    check("X Error" not in err, f"stderr {err!r}")


if __name__ == "__main__":
    sys.exit(main([long_text_and_url]))
