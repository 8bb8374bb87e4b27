#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the binary fuzz targets (GIF, JPEG,
sound, MIDI) into fuzz/corpus/, and copies the test programs into the
parser's seeds. Run from the top of the repository when a format reader
learns something its seeds do not show yet; the outputs are committed."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join("tests", "process"))
import gifwriter  # noqa: E402

CORPUS = os.path.join("fuzz", "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def gif_seeds():
    rows = [[(x + y) % 4 for x in range(6)] for y in range(5)]
    colours = [0x000000, 0xFF0000, 0x00FF00, 0x0000FF]
    write("gif", "plain.gif", gifwriter.gif(rows, colours))
    write("gif", "interlaced.gif", gifwriter.gif(rows, colours, interlaced=True))
    write("gif", "transparent.gif", gifwriter.gif(rows, colours, transparent=2, aspect=49))
    one = gifwriter.gif(rows, colours)[:-1]
    frame = gifwriter.descriptor(6, 5) + gifwriter.image_data(rows)
    write("gif", "three_frames.gif", one + frame + gifwriter.graphic_control(1) + frame + b";")
    # A comment and an application extension before the picture, GIF87a.
    extensions = b"!\xfe\x05hello\x00" + b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    head = gifwriter.header(6, 5, colours, version=b"87a")
    write("gif", "extensions.gif", head + extensions + gifwriter.descriptor(6, 5) +
          gifwriter.image_data(rows) + b";")


def jpeg_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        variants = {
            "baseline.jpg": ["-size", "16x8", "gradient:red-blue"],
            "grey.jpg": ["-size", "9x7", "gradient:", "-colorspace", "Gray"],
            "progressive.jpg": ["-size", "16x16", "plasma:fractal", "-seed", "1", "-interlace", "Plane"],
            "subsampled.jpg": ["-size", "17x9", "gradient:yellow-green", "-sampling-factor", "2x2"],
            "restart.jpg": ["-size", "24x16", "gradient:white-black", "-define", "jpeg:restart-interval=1"],
        }
        for name, args in variants.items():
            path = os.path.join(tmp, name)
            subprocess.run(["convert", *args, "-strip", "-quality", "50", path], check=True)
            with open(path, "rb") as f:
                write("jpeg", name, f.read())


def wave(channels, bits, rate, frames):
    width = bits // 8
    data = bytes((i * 37) & 0xFF for i in range(frames * channels * width))
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * channels * width, channels * width, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def sun(encoding, channels, rate, data, extra=b""):
    return b".snd" + struct.pack(">IIIII", 24 + len(extra), len(data), encoding, rate, channels) + extra + data


def sound_seeds():
    write("sound", "mono8.wav", wave(1, 8, 8000, 16))
    write("sound", "stereo16.wav", wave(2, 16, 22050, 12))
    write("sound", "quad32.wav", wave(4, 32, 11025, 4))
    write("sound", "ulaw.au", sun(1, 1, 8000, bytes(range(0, 256, 8))))
    write("sound", "linear16.au", sun(3, 2, 16000, bytes(range(32)), extra=b"note"))
    write("sound", "raw.ub", bytes(range(0, 256, 4)))


def midi_track(events):
    return b"MTrk" + struct.pack(">I", len(events)) + events


def midi_header(fmt, tracks, division):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, tracks, division)


def midi_seeds():
    notes = b"\x00\x90\x3c\x40\x60\x80\x3c\x00\x00\x90\x3e\x40\x60\x3e\x00\x00\xff\x2f\x00"
    tempo = b"\x00\xff\x51\x03\x07\xa1\x20"
    control = b"\x00\xc0\x05\x00\xb0\x07\x64\x00\xe0\x00\x40\x00\xd0\x30\x00\xa0\x3c\x10"
    sysex = b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7\x00\xf7\x02\x43\x12"
    drums = b"\x00\x99\x24\x40\x30\x89\x24\x00"
    write("midi", "format0.mid", midi_header(0, 1, 96) + midi_track(tempo + control + notes))
    write("midi", "format1.mid", midi_header(1, 3, 480) + midi_track(tempo) + midi_track(notes) +
          midi_track(sysex + drums))
    write("midi", "smpte.mid", midi_header(0, 1, 0xE728) + midi_track(notes))
    song = midi_header(0, 1, 96) + midi_track(notes)
    riff = b"RMID" + b"data" + struct.pack("<I", len(song)) + song
    write("midi", "wrapped.rmi", b"RIFF" + struct.pack("<I", len(riff)) + riff)


def program_seeds():
    folder = os.path.join(CORPUS, "parse")
    os.makedirs(folder, exist_ok=True)
    for root in ("tests/programs", "examples"):
        for path, _, files in os.walk(root):
            for name in files:
                if name.endswith(".kiv"):
                    source = os.path.join(path, name)
                    flat = os.path.relpath(source, root).replace(os.sep, "_")
                    shutil.copyfile(source, os.path.join(folder, flat))


if __name__ == "__main__":
    gif_seeds()
    jpeg_seeds()
    sound_seeds()
    midi_seeds()
    program_seeds()
