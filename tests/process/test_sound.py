"""Sound and music through the real player, its servers and the file sinks:
the bytes a device would receive for WAVE, Sun and raw sounds, repeated
playing until a stop, damaged files, and MIDI files as sequencer events.
Runs under the suite's X server."""
import os
import random
import struct
import subprocess
import wave

from player import SANITIZER, Failure, check, environment, fresh_tmpdir, main

TIMER, WAIT_ABS, START = 0x81, 2, 4
VOICE, NOTE_ON = 0x93, 0x90


def run_program(binary, files, body, **env):
    """Writes the files and a program whose main runs `body`, runs it with
    both sinks in its folder; returns (stderr, audio bytes, MIDI bytes)."""
    folder = fresh_tmpdir()
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "main.kiv"), "w") as f:
        f.write("void main()\n{\n" + body + "\n    terminate();\n}\n")
    audio, midi = os.path.join(folder, "audio.out"), os.path.join(folder, "midi.out")
    done = subprocess.run([binary, "main.kiv"], cwd=folder, capture_output=True, timeout=60,
                          env=environment(TALVIX_AUDIO_SINK=audio, TALVIX_MIDI_SINK=midi, **env))
    err = done.stderr.decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    check(done.returncode == 0, f"status {done.returncode}, stderr {err!r}")

    def content(path):
        return open(path, "rb").read() if os.path.exists(path) else b""
    return err, content(audio), content(midi)


def wav_file(channels, width, rate, frames):
    path = os.path.join(fresh_tmpdir(), "x.wav")
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(frames)
    return open(path, "rb").read()


def words(*values):
    return struct.pack(f"<{len(values)}h", *values)


STEREO = words(1000, 3000, -1000, -3001, 32767, 32767, -32768, -32768)


def wave_reaches_the_device_converted(binary):
    files = {"s.wav": wav_file(2, 2, 8000, STEREO)}
    play = '    sound("s.wav");\n    wait(400);'
    _, audio, _ = run_program(binary, files, play)
    check(audio == STEREO, f"stereo words {audio!r}")
    _, mono, _ = run_program(binary, files, play, TALVIX_AUDIO_SINK_CHANNELS="1")
    check(mono == words(2000, -2000, 32767, -32768), f"averaged channels {mono!r}")
    _, bytes8, _ = run_program(binary, files, play, TALVIX_AUDIO_SINK_BITS="8", TALVIX_AUDIO_SINK_CHANNELS="1")
    check(bytes8 == bytes([0x87, 0x79, 0xff, 0x00]), f"unsigned bytes {bytes8!r}")


def sun_and_raw_sounds_play_in_order(binary):
    little = b"dns." + struct.pack("<5I", 24, 4, 3, 8000, 1) + words(0x1234, -2)
    big = b".snd" + struct.pack(">5I", 28, 2, 2, 8000, 1) + b"info" + bytes([0x40, 0xc0])
    files = {"le.au": little, "be.au": big, "u.ul": bytes([0xff, 0x80]), "b.ub": bytes([0x80, 0x81])}
    body = "".join(f'    sound("{name}");\n    wait(250);\n' for name in ["le.au", "be.au", "u.ul", "b.ub"])
    _, audio, _ = run_program(binary, files, body)
    expected = words(0x1234, -2) + words(0x4000, -0x4000) + words(0, 32124) + words(0, 256)
    check(audio == expected, f"samples {audio!r}")


def repeated_sound_plays_until_stopped(binary):
    loop = words(*range(800))
    once = words(*[-5] * 10)
    files = {"loop.wav": wav_file(1, 2, 8000, loop), "once.wav": wav_file(1, 2, 8000, once)}
    body = ('    contSound("loop.wav");\n    wait(550);\n    stopSound();\n    wait(300);\n'
            '    sound("once.wav");\n    wait(300);')
    _, audio, _ = run_program(binary, files, body)
    check(audio.endswith(once), "single sound missing after the stop")
    # The stop cuts the copy playing at that moment short, at a sample.
    repeats, rest = divmod(len(audio) - len(once), len(loop))
    whole = len(loop) * repeats
    check(audio[:whole] == loop * repeats and audio[whole:whole + rest] == loop[:rest] and rest % 2 == 0,
          "repeats are not copies of the sound")
    check(2 <= repeats <= 8, f"{repeats} repeats in 0.55 s of a 0.1 s sound")


def stopping_cuts_a_long_sound_short(binary):
    """The sink takes samples as fast as a device plays them: a stop after
    about a second leaves about a second of a five-second sound."""
    samples = words(*[(i * 37) % 30000 - 15000 for i in range(5 * 8000)])
    files = {"long.wav": wav_file(1, 2, 8000, samples)}
    body = '    sound("long.wav");\n    wait(1000);\n    stopSound();\n    wait(300);'
    _, audio, _ = run_program(binary, files, body)
    seconds = len(audio) / 16000
    check(0.2 <= seconds <= 2.5, f"{seconds:.2f} s of sound recorded after a stop at 1 s")
    check(samples.startswith(audio), "the recorded samples are not the start of the sound")


def damaged_sounds_are_reported_and_later_ones_play(binary):
    deep = wav_file(1, 3, 8000, b"\x00" * 6)
    truncated = wav_file(1, 2, 8000, words(1, 2, 3))[:30]
    endless = b".snd" + struct.pack(">5I", 0xffffffff, 0xffffffff, 1, 8000, 1)
    noise = bytes(random.Random(7).randrange(256) for _ in range(3000))
    files = {"deep.wav": deep, "cut.wav": truncated, "endless.au": endless, "noise.au": noise,
             "noise.wav": noise, "x.voc": noise, "x.mp3": noise, "good.wav": wav_file(1, 2, 8000, words(9, 8))}
    body = "".join(f'    sound("{name}");\n    wait(150);\n' for name in files)
    err, audio, _ = run_program(binary, files, body)
    lines = [line for line in err.splitlines() if line.strip()]
    check(lines == ["Don't understand size", "Don't understand size",
                    "Unexpected EOF in Sun/NeXT header info.",
                    "Sun/NeXT/DEC header doesn't start with magic word",
                    "Try the '.ul' file type with '-t ul -r 8000 filename'", "Not a RIFF file",
                    "File type 'mp3' of input file is not known!"], f"stderr {err!r}")
    check(audio == words(9, 8), f"good sound after damaged ones {audio!r}")


def vlq(value):
    out = [value & 0x7f]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7f))
        value >>= 7
    return bytes(out)


def midi(tracks, division=96, fmt=1):
    data = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division)
    for events in tracks:
        body = b"".join(vlq(delta) + bytes(event) for delta, event in events)
        data += b"MTrk" + struct.pack(">I", len(body)) + body
    return data


def playings(sink):
    """The notes of each playing in the sink, as (hundredths, note) pairs."""
    found = []
    now = 0
    for at in range(0, len(sink) - 7, 8):
        record = sink[at:at + 8]
        if record[0] == TIMER and record[1] == START:
            found.append([])
            now = 0
        elif record[0] == TIMER and record[1] == WAIT_ABS:
            now = struct.unpack("<I", record[4:])[0]
        elif record[0] == VOICE and record[2] == NOTE_ON and found:
            found[-1].append((now, record[4]))
    return found


MELODY = [(0, [0x90, 60, 90]), (24, [62, 90]), (24, [0x80, 60, 0])]
BASS = [(12, [0x91, 40, 70]), (24, [0xff, 0x2f, 0])]


def midi_files_play_as_sequencer_events(binary):
    two = midi([MELODY, BASS])
    fast = midi([[(0, [0xff, 0x51, 3, 0x03, 0xd0, 0x90])] + MELODY, BASS])
    riff = b"RIFF" + struct.pack("<I", len(two) + 12) + b"RMIDdata" + struct.pack("<I", len(two)) + two
    files = {"two.mid": two, "fast.mid": fast, "riff.mid": riff}
    body = "".join(f'    play("{name}");\n    wait(400);\n' for name in files)
    _, _, sink = run_program(binary, files, body)
    found = playings(sink)
    check(len(found) == 3, f"{len(found)} playings")
    check(found[0] == [(0, 60), (6, 40), (12, 62)], f"merged tracks {found[0]}")
    check(found[1] == [(0, 60), (3, 40), (6, 62)], f"half tempo {found[1]}")
    check(found[2] == found[0], f"RIFF-wrapped {found[2]}")
    starts = [at for at in range(0, len(sink), 8) if sink[at] == TIMER and sink[at + 1] == START]
    check(sink[starts[0]:starts[1]] == sink[starts[2]:], "RIFF-wrapped file sent other events")


def music_repeats_until_stopped_and_survives_noise(binary):
    short = midi([[(0, [0x90, 70, 90]), (10, [0x80, 70, 0])]], division=50)
    noise = bytes(random.Random(3).randrange(256) for _ in range(5000))
    files = {"short.mid": short, "noise.mid": noise, "junk.mid": b"MThd" + struct.pack(">IHHH", 6, 1, 300, 96) + noise}
    body = ('    contPlay("short.mid");\n    wait(600);\n    stopPlay();\n    wait(100);\n'
            '    play("noise.mid");\n    wait(300);\n    play("junk.mid");\n    wait(300);\n'
            '    play("short.mid");\n    wait(300);')
    err, _, sink = run_program(binary, files, body)
    check(err == "\nWARNING: 172 TRACKS IGNORED!\n", f"stderr {err!r}")
    found = playings(sink)
    repeats = 0
    while repeats < len(found) and found[repeats] == [(0, 70)]:
        repeats += 1
    check(2 <= repeats <= 9, f"{repeats} playings of a 0.1 s file in 0.6 s")
    check(found[-1] == [(0, 70)] and len(found) == repeats + 3, f"playings after the stop {found[repeats:]}")


if __name__ == "__main__":
    raise SystemExit(main([wave_reaches_the_device_converted, sun_and_raw_sounds_play_in_order,
                           repeated_sound_plays_until_stopped, stopping_cuts_a_long_sound_short,
                           damaged_sounds_are_reported_and_later_ones_play,
                           midi_files_play_as_sequencer_events, music_repeats_until_stopped_and_survives_noise]))
