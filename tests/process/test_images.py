"""Images in a running player: GIF and JPEG files made at test time are
drawn, scaled, mirrored, made see-through and used as fill tiles, read back
from the X server; damaged and absurd files are refused with their
messages and the default picture stands in."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import gifwriter as gw
from player import check, main, run
from xinput import Running

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")

RED, BLUE, GREEN = 0xFF0000, 0x0000FF, 0x00FF00


def screen_pixels():
    """The screen as a function from (x, y) to 0xRRGGBB, read with xwd from
    a 24-bit or an 8-bit display (through the colormap xwd saves)."""
    data = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    header = struct.unpack(">25I", data[:100])
    header_size, bits, bytes_per_line, ncolors = header[0], header[11], header[12], header[19]
    byte_order = "<" if header[7] == 0 else ">"
    colours = {}
    for i in range(ncolors):
        pixel, r, g, b, _, _ = struct.unpack(">IHHHBB", data[header_size + 12 * i:header_size + 12 * i + 12])
        colours[pixel] = ((r >> 8) << 16) | ((g >> 8) << 8) | (b >> 8)
    base = header_size + 12 * ncolors
    check(bits in (8, 32), f"unexpected {bits} bits per pixel")

    def pixel(x, y):
        if bits == 8:
            return colours[data[base + y * bytes_per_line + x]]
        offset = base + y * bytes_per_line + 4 * x
        return struct.unpack(byte_order + "I", data[offset:offset + 4])[0] & 0xFFFFFF

    return pixel


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def halves(width, height):
    """Rows of a picture red on the left half and blue on the right."""
    return [[0] * (width // 2) + [1] * (width - width // 2) for _ in range(height)]


def good_fixtures(folder):
    write(folder, "halves.gif", gw.gif(halves(20, 10), [RED, BLUE]))
    stripes = [[y % 2] * 12 for y in range(12)]  # red rows even, blue rows odd
    write(folder, "stripes.gif", gw.gif(stripes, [RED, BLUE], interlaced=True))
    ring = [[0 if 2 <= x < 6 and 2 <= y < 6 else 1 for x in range(8)] for y in range(8)]
    write(folder, "hole.gif", gw.gif(ring, [RED, BLUE], transparent=0))
    subprocess.run(["convert", "-size", "16x16", "xc:#0000ff", "-quality", "100",
                    os.path.join(folder, "blue.jpg")], check=True)
    subprocess.run(["convert", "-size", "30x20", "xc:#ff0000", "-fill", "#0000ff", "-draw",
                    "rectangle 15,0 29,19", "-interlace", "GIF",
                    os.path.join(folder, "compressed.gif")], check=True)


def bad_fixtures(folder):
    """Damaged files, each with the message it must produce."""
    good = gw.gif(halves(20, 10), [RED, BLUE])
    head = gw.header(4, 4, [RED, BLUE])
    one_pixel = gw.descriptor(1, 1)
    cases = {
        "text.gif": (b"hello world", "Error: not a GIF file"),
        "short.gif": (b"GIF", "Error: error reading magic number"),
        "version.gif": (b"GIF88a" + good[6:], "Error: bad version number, not '87a' or '89a'"),
        "screen.gif": (b"GIF89a\x04\x00", "Error: failed to read screen descriptor"),
        "colormap.gif": (head[:13 + 30], "Error: bad GIF-colormap"),
        "huge.gif": (head + gw.descriptor(60000, 60000) + b"\x08\x00;",
                     "Error: image of 60000 by 60000 pixels is too large"),
        "zero.gif": (head + gw.descriptor(0, 5) + b"\x08\x00;", "Error: image of 0 by 5 pixels is empty"),
        "cut.gif": (good[:len(good) - 30], "Error: in reading GIF-DataBlock"),
        "runoff.gif": (head + gw.descriptor(4, 4) + b"\x08" + gw.sub_blocks(gw.pack_codes([256, 1, 1], 9)) + b";",
                       "Error: GIF ran off the end of bits"),
        "badcode.gif": (head + gw.descriptor(4, 4) + b"\x08" + gw.sub_blocks(gw.pack_codes([256, 1, 400, 257], 9)) + b";",
                        "Error: circular GIF table entry BIG ERROR"),
        "codesize.gif": (head + one_pixel + b"\x0c\x00;", "Error: error reading image"),
        "noimage.gif": (head + b";", "Error: only 0 images found in file"),
        "nothing.gif": (head, "Error: EOF / read error on image data"),
        "nolabel.gif": (head + b"!", "Error: OF / read error on extention function code"),
        "nodesc.gif": (head + b",\x00\x00", "Error: couldn't read left/top/width/height"),
        "nolocal.gif": (head + b"," + struct.pack("<HHHHB", 0, 0, 1, 1, 0x87) + b"\x01\x02",
                        "Error: error reading local colormap"),
        "empty.jpg": (b"", "Empty input file"),
        "junk.jpg": (b"hello, not a picture", "Not a JPEG file: starts with 0x68 0x65"),
    }
    for name, (data, _) in cases.items():
        write(folder, name, data)
    return cases


PIXEL_PROGRAM = """
int out, done;
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
void main() {
  out = open("file:///dev/stdout", "w");
  image points = ((10, 10)), img = "halves.gif";
  image points = ((40, 10), (80, 30)), img = "halves.gif";
  image points = ((140, 10), (100, 30)), img = "halves.gif";
  image points = ((160, 10)), img = "stripes.gif";
  box points = ((190, 0), (220, 30)), col = 0x00ff00, f = 1;
  image points = ((200, 10)), img = "hole.gif", lev = 1;
  image points = ((240, 10)), img = "blue.jpg";
  box points = ((270, 10), (310, 30)), f = 1, img = "halves.gif";
  image points = ((320, 10)), img = "compressed.gif";
  image points = ((360, 10)), img = "missing.gif";
  inputarea points = ((0, 0), (640, 400)), tr = (Button1 Press : done = 1;);
  output();
  setCursorPos(0, 0);
  say("ready");
  while (!done) { waitOnInput(); input(); }
  terminate();
}
"""


def pixels_drawn(binary, folder):
    program = os.path.join(folder, "pixels.kiv")
    with open(program, "w") as f:
        f.write(PIXEL_PROGRAM)
    player = Running(binary, program)
    pixel = screen_pixels()
    ox, oy = player.origin

    def at(x, y):
        return pixel(ox + x, oy + y)

    wanted = {
        (12, 12): RED, (27, 12): BLUE,           # at its own size
        (45, 20): RED, (75, 20): BLUE,           # scaled to twice the size
        (105, 20): BLUE, (135, 20): RED,         # mirrored across
        (165, 10): RED, (165, 11): BLUE, (165, 20): RED, (165, 21): BLUE,  # interlaced rows
        (201, 11): BLUE, (203, 13): GREEN,       # the transparent hole shows the box
        (282, 12): RED, (292, 12): BLUE, (301, 12): RED,  # tiles start at the origin
        (322, 12): RED, (347, 27): BLUE,         # a compressed GIF
    }
    for (x, y), colour in wanted.items():
        check(at(x, y) == colour, f"at {x},{y}: expected {colour:06x}, got {at(x, y):06x}")
    jpeg = at(248, 18)
    check((jpeg >> 16) < 0x10 and ((jpeg >> 8) & 0xFF) < 0x10 and (jpeg & 0xFF) > 0xF0,
          f"JPEG pixel {jpeg:06x} is not blue")
    check(at(365, 15) != 0 or at(400, 60) != 0, "the default picture stands in for a missing image")
    player.click(600, 380)
    err = player.finish()
    check("Warning: Could not open image missing.gif, using default." in err, err)


EXTENTS_PROGRAM = """
int out;
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
void main() {
  int w, h;
  out = open("file:///dev/stdout", "w");
%s
  terminate();
}
"""


def extents_line(name):
    return (f'  w = -1; h = -1; say("{name} " + intAsText(imageExtents("{name}", w, h)) + " "'
            f' + intAsText(w) + " " + intAsText(h));')


def damaged_files(binary, folder):
    cases = bad_fixtures(folder)
    names = list(cases) + ["halves.gif", "halves.gif", "unknown.txt", "plain"]
    write(folder, "unknown.txt", b"text")
    write(folder, "plain", b"text")
    write(folder, "aspect.gif", gw.header(1, 1, [RED], aspect=49) + gw.descriptor(1, 1) + gw.image_data([[0]]) + b";")
    write(folder, "wide.gif", gw.header(1, 1, [RED], aspect=1) + gw.descriptor(1, 1) + gw.image_data([[0]]) + b";")
    write(folder, "bogus.gif", gw.header(1, 1, [RED]) + b"x" + gw.descriptor(1, 1) + gw.image_data([[0]]) + b";")
    subprocess.run(["convert", "-size", "64x48", "gradient:red-blue", "-quality", "90",
                    os.path.join(folder, "whole.jpg")], check=True)
    with open(os.path.join(folder, "whole.jpg"), "rb") as f:
        whole = f.read()
    write(folder, "cut.jpg", whole[:len(whole) * 2 // 3])
    names += ["aspect.gif", "wide.gif", "bogus.gif", "cut.jpg"]
    program = os.path.join(folder, "extents.kiv")
    with open(program, "w") as f:
        f.write(EXTENTS_PROGRAM % "\n".join(extents_line(n) for n in names))
    status, out, err = run(binary, ["-alw", "1", program])
    check(status == 0, f"status {status}: {err}")
    lines = out.splitlines()
    for name, line in zip(cases, lines):
        check(line == f"{name} 0 -1 -1", f"expected {name} to fail: {line!r}")
    tail = lines[len(cases):]
    check(tail == ["halves.gif 1 20 10", "halves.gif 1 20 10", "unknown.txt 0 -1 -1", "plain 0 -1 -1",
                   "aspect.gif 1 1 1", "wide.gif 1 1 1", "bogus.gif 1 1 1", "cut.jpg 1 64 48"], f"got {tail}")
    errors = [l for l in err.splitlines() if l]
    position = 0
    for name, (_, message) in cases.items():
        wanted = [message, f"Warning: Could not open image {name}, using default."]
        for text in wanted:
            while position < len(errors) and errors[position] != text:
                position += 1
            check(position < len(errors), f"missing {text!r} for {name} in:\n{err}")
    for text in ["Warning: Unknown extension for image unknown.txt.", "Using default image",
                 "Warning: Could not open image unknown.txt, using default.",
                 "Warning : non-square pixels in GIF-file (y 1.000000)",
                 "Warning : non-square pixels in GIF-file (x 4.000000)",
                 "Warning: bogus character 0x78, ignoring", "Premature end of JPEG file"]:
        check(text in errors, f"missing {text!r} in:\n{err}")
    check(not any("plain" in l for l in errors), f"a name without a point is refused silently:\n{err}")


CACHE_PROGRAM = """
int out, step;
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
void size(text name) {
  int w, h;
  imageExtents(name, w, h);
  say(name + " " + intAsText(w) + " " + intAsText(h));
}
void main() {
  int i, w, h;
  out = open("file:///dev/stdout", "w");
  for (i = 0; i < 62; i = i + 1) imageExtents("img" + intAsText(i) + ".gif", w, h);
  call("sub.kiv");
  inputarea points = ((0, 0), (640, 400)), tr = (Button1 Press : step = 1;);
  output();
  setCursorPos(0, 0);
  say("ready");
  while (!step) { waitOnInput(); input(); }
  size("sub.gif");
  size("img0.gif");
  size("img63.gif");
  size("img1.gif");
  size("img61.gif");
  size("img0.gif");
  terminate();
}
"""


def cache_reuse(binary, folder):
    """64 entries with the default picture: the least recently used one
    that is not shown goes first, and the pictures a called program loaded
    go when it ends. The files change size behind the cache's back, so a
    name's size tells whether it was loaded again."""
    with open(os.path.join(folder, "sub.kiv"), "w") as f:
        f.write('void main() { int w, h; imageExtents("sub.gif", w, h); }\n')
    names = ["sub.gif"] + [f"img{i}.gif" for i in range(64)]
    for name in names:
        write(folder, name, gw.gif(halves(20, 10), [RED, BLUE]))
    program = os.path.join(folder, "cache.kiv")
    with open(program, "w") as f:
        f.write(CACHE_PROGRAM)
    player = Running(binary, program)
    for name in names:
        write(folder, name, gw.gif(halves(6, 5), [RED, BLUE]))
    player.click(300, 200)
    player.expect("sub.gif 6 5", "img0.gif 20 10", "img63.gif 6 5", "img1.gif 6 5", "img61.gif 20 10",
                  "img0.gif 20 10")
    player.finish()


PALETTE_PROGRAM = """
int done;
void main() {
  image points = ((10, 10)), img = "halves.gif";
  image points = ((40, 10)), img = "blue.jpg";
  image points = ((70, 10)), img = "red.jpg";
  inputarea points = ((0, 0), (640, 400)), tr = (Button1 Press : done = 1;);
  output();
  setCursorPos(0, 0);
  write(open("file:///dev/stdout", "w"), "ready\\n", 6);
  while (!done) { waitOnInput(); input(); }
  terminate();
}
"""


def near(colour, wanted):
    return all(abs(((colour >> s) & 0xFF) - ((wanted >> s) & 0xFF)) < 0x50 for s in (16, 8, 0))


def palette_pixels(binary, folder):
    """On an 8-bit display (run under a server of its own) GIF colours and
    quantised JPEG samples come out in the shared palette's cells."""
    subprocess.run(["convert", "-size", "16x16", "xc:#ff0000", "-quality", "100",
                    os.path.join(folder, "red.jpg")], check=True)
    program = os.path.join(folder, "palette.kiv")
    with open(program, "w") as f:
        f.write(PALETTE_PROGRAM)
    player = Running(binary, program)
    pixel = screen_pixels()
    ox, oy = player.origin
    for (x, y), colour in {(12, 12): RED, (27, 12): BLUE, (48, 18): BLUE, (78, 18): RED}.items():
        got = pixel(ox + x, oy + y)
        check(near(got, colour), f"8-bit display at {x},{y}: expected about {colour:06x}, got {got:06x}")
    player.click(300, 200)
    player.finish()


def on_eight_bits(binary, folder):
    done = subprocess.run(["bash", os.path.join(SCRIPTS, "with-xvfb"), sys.executable,
                           os.path.abspath(__file__), binary, "palette", folder],
                          env=dict(os.environ, XVFB_DEPTH="8"), capture_output=True, text=True, timeout=120)
    check(done.returncode == 0, done.stdout + done.stderr)


def all_parts(binary):
    folder = tempfile.mkdtemp(prefix="talvix-images-")
    try:
        good_fixtures(folder)
        pixels_drawn(binary, folder)
        damaged_files(binary, folder)
        cache_reuse(binary, folder)
        on_eight_bits(binary, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[2] == "palette":
        def eight_bit_palette(binary):
            palette_pixels(binary, sys.argv[3])
        sys.exit(main([eight_bit_palette]))
    sys.exit(main([all_parts]))
