"""Programs fetched over HTTP stay away from local files: each way of
reading one (open, include, link, call, images, sound, music) is refused
with a warning and its failure value while the program goes on; the same
program loaded from a local file keeps its rights, and -ala 1 gives them
to the remote one. Library copies are used but never replaced by a remote
program unless local writes are allowed."""
import os
import shutil
import struct
import sys

import gifwriter as gw
from httpfixture import with_session
from player import check, fresh_tmpdir, main, run

REFUSAL = "Warning: Kiv program is trying to {}. Access to the local filesystem is disabled in the client."
ATTEMPTS = ["include local file", "open local file for reading", "link local file", "call local file",
            "load local image", "play local sound file", "play local music file"]

PROBE = """int out;
text origin() { return "remote"; }
include secret "file://LOCAL/secret.kiv";
void say(text s) { write(out, s + "\\n", strlen(s) + 1); }
int main()
{
    int fd, w, h;
    text buf;
    out = open("file:///dev/stdout", "w");
    say("origin " + origin());
    fd = open("file://LOCAL/secret.txt", "r");
    if (fd > 0) { read(fd, buf, 100); say("read " + buf); } else say("open " + intAsText(fd));
    say("link " + intAsText(link("file://LOCAL/linked.kiv")));
    eval("say(\\"after link \\" + origin());");
    call("file://LOCAL/called.kiv");
    say("image " + intAsText(imageExtents("file://LOCAL/pic.gif", w, h)) + " " + intAsText(w));
    window points = ((0, 0), (100, 100));
      image points = ((10, 10)), img = "file://LOCAL/other.gif";
    endwindow;
    output();
    say("sound " + intAsText(sound("file://LOCAL/beep.wav")));
    say("play " + intAsText(play("file://LOCAL/tune.mid")));
    say("done");
    terminate();
}
"""

REMOTE_OUT = ("origin remote\nopen -1\nlink 0\nafter link remote\nimage 0 0\nsound 0\nplay 0\ndone\n")
LOCAL_OUT = ("origin local secret\nread top secret\nlink 1\nafter link linked\ncalled\nimage 1 3\n"
             "sound 1\nplay 1\ndone\n")


def wave():
    samples = b"\x00\x00" * 8
    fmt = struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16)
    return (b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt
            + b"data" + struct.pack("<I", len(samples)) + samples)


def midi():
    track = b"\x00\xff\x2f\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(track)) + track)


def gif():
    red, blue = 0xFF0000, 0x0000FF
    return gw.header(3, 2, [red, blue]) + gw.descriptor(3, 2) + gw.image_data([[0, 1, 0], [1, 0, 1]]) + b";"


def local_files():
    """The files a remote program must not read, in a fresh folder."""
    folder = fresh_tmpdir()
    texts = {
        "secret.kiv": 'text origin() { return "local secret"; }\n',
        "secret.txt": "top secret",
        "linked.kiv": 'text origin() { return "linked"; }\n',
        "called.kiv": 'int main() { int o; o = open("file:///dev/stdout", "w"); write(o, "called\\n", 7); }\n',
    }
    binaries = {"pic.gif": gif(), "other.gif": gif(), "beep.wav": wave(), "tune.mid": midi()}
    for name, text in texts.items():
        binaries[name] = text.encode()
    for name, data in binaries.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return folder


def sinks():
    folder = fresh_tmpdir()
    return {"TALVIX_AUDIO_SINK": os.path.join(folder, "audio"), "TALVIX_MIDI_SINK": os.path.join(folder, "midi")}


def refusals(err):
    return [a for a in ATTEMPTS if REFUSAL.format(a) in err]


@with_session
def remote_program_is_refused_each_local_access(binary, session):
    folder = local_files()
    session.server.write("probe.kiv", PROBE.replace("LOCAL", folder))
    env = session.env(**sinks())
    status, out, err = run(binary, ["-alw", "1", session.server.url("probe.kiv")], env=env)
    check(status == 0, f"status {status}, stderr {err!r}")
    check(out == REMOTE_OUT, f"stdout {out!r}, stderr {err!r}")
    check(refusals(err) == ATTEMPTS, f"refusals {refusals(err)} in {err!r}")
    # One warning per access; the image is asked for by imageExtents and
    # by the image object.
    for attempt in ATTEMPTS:
        times = 2 if attempt == "load local image" else 1
        check(err.count(REFUSAL.format(attempt)) == times, f"{attempt} not warned {times} times: {err!r}")
    check("Could not open image" not in err and "Couldn't resolve" not in err, f"second message: {err!r}")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")
    shutil.rmtree(folder)


@with_session
def local_program_and_allowed_remote_program_keep_their_rights(binary, session):
    folder = local_files()
    program = os.path.join(folder, "probe.kiv")
    with open(program, "w") as f:
        f.write(PROBE.replace("LOCAL", folder))
    session.server.write("probe.kiv", PROBE.replace("LOCAL", folder))
    env = session.env(**sinks())
    for args in (["-alw", "1", program], ["-alw", "1", "-ala", "1", session.server.url("probe.kiv")]):
        status, out, err = run(binary, args, env=env)
        check(status == 0, f"{args}: status {status}, stderr {err!r}")
        check(out == LOCAL_OUT, f"{args}: stdout {out!r}, stderr {err!r}")
        check("Access to the local filesystem" not in err, f"{args}: refused: {err!r}")
    shutil.rmtree(folder)


LIBRARY_V1 = 'name mylib 1;\ntext who() { return "trusted"; }\n'
EVIL = 'name mylib 99;\ntext who() { return "attacker"; }\n'
# Reports which library it ran by the URL it asks the server about, which
# needs no permission at all.
USER = """include mylib "URL" VERSION;
int main() { contentType("SEEN" + who()); terminate(); }
"""


class Library:
    def __init__(self, session):
        self.session = session
        self.server = session.server
        self.folder = fresh_tmpdir()
        self.copy = os.path.join(self.folder, "mylib.kiv")
        self.server.write("evil.kiv", EVIL)
        for who in ("trusted", "attacker"):
            self.server.write("seen-" + who, "")

    def source(self, version=99):
        return (USER.replace("URL", self.server.url("evil.kiv")).replace("VERSION", str(version))
                .replace("SEEN", self.server.url("seen-")))

    def store(self, text):
        with open(self.copy, "w") as f:
            f.write(text)

    def stored(self):
        return open(self.copy).read() if os.path.exists(self.copy) else None

    def run(self, program, *options):
        before = {who: self.server.requests("seen-" + who) for who in ("trusted", "attacker")}
        status, _, err = run(self.session.binary, list(options) + [program],
                             env=self.session.env(KIVLIBPATH=self.folder))
        check(status == 0, f"status {status}, stderr {err!r}")
        ran = [who for who in before if self.server.requests("seen-" + who) > before[who]]
        check(len(ran) == 1, f"ran {ran}, stderr {err!r}")
        return ran[0], err


@with_session
def remote_program_never_replaces_a_library_copy(binary, session):
    session.binary = binary
    lib = Library(session)
    session.server.write("user.kiv", lib.source())
    remote = session.server.url("user.kiv")
    refusal = REFUSAL.format("replace a library file") + "\n"

    # No copy yet: the fetched file runs but is not stored.
    ran, err = lib.run(remote)
    check(ran == "attacker" and err == refusal, f"ran {ran}, stderr {err!r}")
    check(lib.stored() is None, "a remote program created a library copy")

    # An older trusted copy stays as it was.
    lib.store(LIBRARY_V1)
    ran, err = lib.run(remote)
    check(ran == "attacker" and err == refusal, f"ran {ran}, stderr {err!r}")
    check(lib.stored() == LIBRARY_V1, "a remote program replaced the library copy")

    # A current copy is used as it is, without fetching.
    lib.store(LIBRARY_V1.replace(" 1;", " 99;"))
    fetches = session.server.requests("evil.kiv")
    ran, err = lib.run(remote)
    check(ran == "trusted" and err == "", f"ran {ran}, stderr {err!r}")
    check(session.server.requests("evil.kiv") == fetches, "a current copy was fetched again")

    # With -alw 1 the user lets the remote program write the copy.
    lib.store(LIBRARY_V1)
    ran, err = lib.run(remote, "-alw", "1")
    check(ran == "attacker" and err == "", f"ran {ran}, stderr {err!r}")
    check(lib.stored() == EVIL, "-alw 1 did not let the copy be written")
    check(session.leftovers() == [], f"local copies left: {session.leftovers()}")
    shutil.rmtree(lib.folder)


@with_session
def local_program_still_refreshes_its_library_copy(binary, session):
    session.binary = binary
    lib = Library(session)
    lib.store(LIBRARY_V1)
    user = os.path.join(fresh_tmpdir(), "user.kiv")
    with open(user, "w") as f:
        f.write(lib.source(2))
    ran, err = lib.run(user)
    check(ran == "attacker" and err == "", f"ran {ran}, stderr {err!r}")
    check(lib.stored() == EVIL, "a local program could not refresh its library copy")
    shutil.rmtree(lib.folder)
    shutil.rmtree(os.path.dirname(user))


if __name__ == "__main__":
    sys.exit(main([remote_program_is_refused_each_local_access,
                   local_program_and_allowed_remote_program_keep_their_rights,
                   remote_program_never_replaces_a_library_copy,
                   local_program_still_refreshes_its_library_copy]))
