"""Pointer input through XTEST: clicks on overlapping input areas of
different levels, transparent patterns, modifier masks, double clicks
within and beyond 249 ms, an area inside a window, button release and a
resize of the window. Runs under the suite's X server."""
import subprocess
import sys

from player import main
from xinput import Running, xdotool


def levels_transparency_and_masks(binary):
    player = Running(binary, "input_pointer.kiv")
    player.click(100, 100)
    player.expect("high")
    player.click(300, 100)
    player.expect("low")
    player.click(500, 100)
    player.expect("glass", "low")
    player.click(100, 300, modifiers=["ctrl"])
    player.expect("ctrl")
    player.click(100, 300, modifiers=["ctrl", "shift"])
    player.expect("ctrl")
    player.click(100, 300)
    player.expect("low")
    player.click(450, 300)
    player.expect("win 450 300", "win up")
    player.click(600, 380)
    player.expect("low")
    player.quiet()
    player.click(10, 10, button=3)
    player.expect("bye")
    player.finish()


def double_clicks(binary):
    player = Running(binary, "input_pointer.kiv")
    player.click(300, 300, repeat=2, delay_ms=60)
    player.expect("single", "double")
    player.click(300, 300, repeat=3, delay_ms=60)
    player.expect("single", "double", "single")
    player.click(300, 300, repeat=2, delay_ms=400)
    player.expect("single", "single")
    player.click(10, 10, button=3)
    player.expect("bye")
    player.finish()


def resize_reaches_an_area_away_from_the_origin(binary):
    player = Running(binary, "input_pointer.kiv")
    shell = subprocess.run(["xdotool", "search", "--sync", "--class", "Talvix"], check=True,
                           capture_output=True, text=True).stdout.split()[0]
    xdotool("windowsize", shell, 700, 520)
    player.expect("resized")
    player.click(10, 10, button=3)
    player.expect("bye")
    player.finish()


def terminate_while_waiting_for_input(binary):
    player = Running(binary, "input_pointer.kiv")
    player.process.terminate()
    player.finish(status=15)


if __name__ == "__main__":
    sys.exit(main([levels_transparency_and_masks, double_clicks,
                   resize_reaches_an_area_away_from_the_origin, terminate_while_waiting_for_input]))
