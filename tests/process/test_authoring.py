"""A program editing another program through the authoring builtins: the
view arrays filled from a loaded file, edits saved and the saved file
checked byte by byte after every step, display objects drawn from the
arrays and clicked through XTEST, directories, the reader's fatal
messages, and what a program fetched by URL may touch."""
import os
import random
import re
import select
import shutil
import subprocess
import sys
import time

from gifwriter import gif
from httpfixture import with_session
from player import SANITIZER, check, environment, fresh_tmpdir, main, run
from test_display import expect_colours
from xinput import Running

SCENE = """int shift = 0;

int main()
{
    box points = ((10, 10), (110, 60)), color = 0xff0000, fill = 1;
    line points = ((0, 100), (shift + 50, 150)), lw = 3;
    // FALLBACK points = ((0,100)(60,150))
    textobj points = ((20, 200)), ot = "hi there", col = 0x0000ff;
    while (1) { input(); output(); }
}
"""

VIEW = "kind, x, y, n, col, act, sb, lev, fil, tex, dsh, lw, sa, ea, nam, fnt, ot, img, tr"

HEAD = """int out, done;
int kind[1], x[1][16], y[1][16], n[1], col[1], act[1], sb[1], lev[1], fil[1], tex[1], dsh[1], lw[1], sa[1], ea[1];
text nam[1], fnt[1], ot[1], img[1], tr[1], names[1];

void say(text s)
{
    write(out, s + "\\n", strlen(s) + 1);
}

void show(int i)
{
    say(sprintf("%d: k%d n%d %d,%d %d,%d c%06x f%d lw%d a%d ea%d %s", i, kind[i], n[i], x[i][0], y[i][0],
                x[i][1], y[i][1], col[i], fil[i], lw[i], act[i], ea[i], ot[i]));
}
"""


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def read(path):
    with open(path) as f:
        return f.read()


def run_until_stopped(binary, args, last_line, seconds=20):
    """Runs a program that an error stops, which leaves the player idle: once
    the last line is out, the player is ended with SIGTERM."""
    process = subprocess.Popen([binary] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = b""
    deadline = time.time() + seconds
    while not out.endswith(last_line.encode() + b"\n") and time.time() < deadline:
        if select.select([process.stdout], [], [], 0.2)[0]:
            chunk = os.read(process.stdout.fileno(), 4096)
            if not chunk:
                break
            out += chunk
    time.sleep(0.3)
    process.terminate()
    rest, err = process.communicate(timeout=10)
    err = err.decode("latin-1")
    check(not SANITIZER.search(err), "sanitizer report:\n" + err)
    return (out + rest).decode("latin-1"), err


def parses(binary, path):
    status, out, err = run(binary, ["-po", "1", path])
    check(status == 0, f"status {status}")
    for line in err.splitlines():
        check("Error" not in line or "Warning" in line, f"{path} does not parse: {err}")


def edits_saved_after_each_step(binary):
    folder = fresh_tmpdir()
    scene, saved = os.path.join(folder, "scene.kiv"), os.path.join(folder, "saved")
    write(scene, SCENE)
    program = os.path.join(folder, "edit.kiv")
    write(program, HEAD + f"""
// Display objects made here die when it returns.
void shortLived()
{{
    generateObject(-1, {VIEW});
}}

int main()
{{
    int i;
    out = open("file:///dev/stdout", "w");
    say(sprintf("load %d", load("{scene}")));
    say(sprintf("functions %d %s", getFunctions(names), names[0]));
    say(sprintf("view %d %d", loadView("nothing", {VIEW}), loadView("main", {VIEW})));
    say(sprintf("size %d %d %d", arraySize(kind), arraySize(x, 1), arraySize(x, 2)));
    for (i = 0; i < 3; i++) show(i);
    say(sprintf("generate %d size %d", generateObject(-1, {VIEW}), arraySize(kind)));
    say(sprintf("text %d %d %d", n[2], x[2][1], y[2][1]));
    x[0][0] = 20;
    col[0] = 0x00ff00;
    lw[1] = 5;
    x[1][1] = 70;
    ot[2] = "say \\"bye\\"";
    say(sprintf("saveView %d save %d", saveView({VIEW}), save("{saved}1.kiv")));

    kind[3] = 17; n[3] = 2; x[3][0] = 200; y[3][0] = 20; x[3][1] = 300; y[3][1] = 120;
    col[3] = 255; act[3] = 1; sb[3] = 1; lw[3] = 1; ea[3] = 180;
    say(sprintf("add %d size %d", generateObject(3, {VIEW}), arraySize(kind)));
    say(sprintf("saveView %d save %d", saveView({VIEW}), save("{saved}2.kiv")));
    say(sprintf("kill %d save %d", killObject(1), save("{saved}3.kiv")));
    say(sprintf("kill all %d save %d", killObject(-1), save("{saved}4.kiv")));
    say(sprintf("again %d %d", generateObject(0, {VIEW}), killObject(0)));
    say(sprintf("kill all %d save %d stored %d", killObject(-1), save("{saved}5.kiv"), saveView({VIEW})));
    shortLived();
    say(sprintf("after return %d %d", killObject(-1), killObject(1)));
    say(sprintf("missing %d save %d", load("{folder}/missing.kiv"), save("{saved}6.kiv")));

    say(sprintf("reload %d %d", load("{saved}3.kiv"), loadView("main", {VIEW})));
    for (i = 0; i < arraySize(kind); i++) show(i);
    say(sprintf("free %d %d", freeFile(), getFunctions(names)));
    kind[0] = 16; n[0] = 2; x[0][0] = 1; y[0][0] = 2; x[0][1] = 3; y[0][1] = 4;
    col[0] = 255; act[0] = 1; sb[0] = 1; lev[0] = 0; fil[0] = 0; tex[0] = 0; dsh[0] = 0; lw[0] = 1;
    sa[0] = 0; ea[0] = 360;
    say(sprintf("fresh %d %d %d", generateObject(0, {VIEW}), saveView({VIEW}), save("{saved}7.kiv")));
    say(sprintf("%d", arraySize(x, 3)));
    say("not reached");
}}
""")
    out, err = run_until_stopped(binary, ["-alw", "1", program], "fresh 1 1 1")
    lines = out.splitlines()
    check(lines[:8] == [
        "load 1", "functions 1 main", "view 0 1", "size 3 3 16",
        "0: k18 n2 10,10 110,60 cff0000 f1 lw1 a1 ea360 0",
        "1: k16 n2 0,100 60,150 cbebebe f0 lw3 a1 ea360 0",
        "2: k20 n1 20,200 0,0 c0000ff f0 lw1 a1 ea360 hi there",
        "generate 1 size 4"], f"got {lines}")
    n, tx, ty = (int(v) for v in lines[8].split()[1:])
    check(n == 2 and tx > 20 + 40 and 200 + 10 < ty < 200 + 40, lines[8])
    check(lines[9:16] == [
        "saveView 3 save 1", "add 1 size 5", "saveView 4 save 1", "kill 1 save 1", "kill all 1 save 1",
        "again 1 1", "kill all 1 save 1 stored 2"], f"got {lines}")
    # The last entry is the spare one; of the four entries of the table
    # two were deleted.
    check(lines[16:20] == ["after return 1 1", "missing 0 save 1", "reload 1 1",
                           "0: k18 n2 20,10 110,60 c00ff00 f1 lw1 a1 ea360 0"], f"got {lines}")
    check(lines[-2:] == ["free 1 0", "fresh 1 1 1"], f"got {lines}")
    check(": Array is not one dimensional" in err, err)

    head = "int shift = 0;\n\nint main()\n{\n"
    box = "    box points = ((20,10),(110,60)), color = 65280, fill = 1;\n"
    line = ("    line points = ((0,100),(shift + 50,150)), linewidth = 5;\n"
            "  // FALLBACK points = ((0,100)(70,150))\n")
    text = (f'    textobj points = ((20,200),({tx},{ty})), color = 0x0000ff, outtext = "say \\"bye\\"";\n'
            f"  // FALLBACK points = ((20,200)({tx},{ty}))\n")
    arc = ("    arc points = ((200,20),(300,120)), color = 255, endangle = 180;\n"
           "  // FALLBACK color = 255, endangle = 180, points = ((200,20)(300,120))\n")
    tail = "    while (1) { input(); output(); }\n}\n"
    check(read(saved + "1.kiv") == head + box + line + text + tail, read(saved + "1.kiv"))
    check(read(saved + "2.kiv") == head + box + line + text + arc + tail, read(saved + "2.kiv"))
    check(read(saved + "3.kiv") == head + box + text + arc + tail, read(saved + "3.kiv"))
    check(read(saved + "4.kiv") == head + box + text + arc + tail, read(saved + "4.kiv"))
    check(read(saved + "5.kiv") == head + text + arc + tail, read(saved + "5.kiv"))
    check(read(saved + "6.kiv") == head + text + arc + tail, read(saved + "6.kiv"))
    check(read(saved + "7.kiv") == "int main ()\n{\nline points = ((1,2),(3,4)), color = 255;\n"
          "  // FALLBACK color = 255, points = ((1,2)(3,4))\n\nwhile (1) {\ninput; \noutput;\n}\n}\n",
          read(saved + "7.kiv"))
    for i in (1, 2, 3, 4, 5, 7):
        parses(binary, f"{saved}{i}.kiv")
    shutil.rmtree(folder)


def display_objects_and_clicks(binary):
    folder = fresh_tmpdir()
    scene = os.path.join(folder, "scene.kiv")
    write(scene, SCENE)
    program = os.path.join(folder, "click.kiv")
    write(program, HEAD + f"""
void actBut(int i)
{{
    say(sprintf("but %d", i));
    x[i][0] = x[i][0] + 200;
    x[i][1] = x[i][1] + 200;
    output();
    say("moved");
}}

void actSBut(int i)
{{
    say(sprintf("sbut %d", i));
    killObject(i);
    say(sprintf("saved %d", save("{folder}/after.kiv")));
}}

int main()
{{
    out = open("file:///dev/stdout", "w");
    inputarea points = ((0, 0), (640, 400)), lev = -1, tr = (Button3 Press : done = 1;);
    load("{scene}");
    loadView("main", {VIEW});
    generateObject(-1, {VIEW});
    output();
    setCursorPos(0, 0);
    say("ready");
    while (!done) {{
        waitOnInput();
        input();
    }}
    say("bye");
    terminate();
}}
""")
    player = Running(binary, program)
    expect_colours(player, {(50, 30): 0xff0000, (120, 30): 0x000000})
    player.click(50, 30, button=2)
    player.quiet()
    player.click(50, 30)
    player.expect("but 0", "moved")
    expect_colours(player, {(50, 30): 0x000000, (250, 30): 0xff0000})
    player.click(250, 30, modifiers=["shift"])
    player.expect("sbut 0", "saved 1")
    player.click(250, 30)  # nothing is there any more
    player.quiet()
    expect_colours(player, {(250, 30): 0x000000})
    player.click(25, 205)
    player.expect("but 2", "moved")
    player.click(600, 380, button=3)
    player.expect("bye")
    player.finish()
    check("box" not in read(os.path.join(folder, "after.kiv")), read(os.path.join(folder, "after.kiv")))
    shutil.rmtree(folder)


def directories_and_reader_errors(binary):
    folder = fresh_tmpdir()
    os.makedirs(os.path.join(folder, "sub", "deeper"))
    write(os.path.join(folder, "sub", "a.kiv"), "int main()\n{\n    point points = ((1, 2));\n}\n")
    write(os.path.join(folder, "bad.kiv"), "int main()\n{\n    line points = ((1, 2)\n        (3 4));\n}\n")
    program = os.path.join(folder, "dirs.kiv")
    write(program, HEAD + f"""
int main()
{{
    int i, k;
    out = open("file:///dev/stdout", "w");
    names[0] = "kept";
    say(sprintf("%d %d %d", isLegalDir("{folder}"), isLegalDir("{program}"), getDirectory("{program}", names)));
    say(names[0]);
    say(sprintf("cd %d %d %d", changeDir("{folder}"), changeDir("nowhere"), changeDir("sub")));
    k = getDirectory(".", names);
    for (i = 0; i < k; i++) say("entry " + names[i]);
    say(sprintf("%d %d %d", isLegalDir("deeper"), load("a.kiv"), changeDir("..")));
    say(sprintf("%d", isLegalDir("sub/deeper")));
    load("bad.kiv");
    say("not reached");
}}
""")
    status, out, err = run(binary, ["-alw", "1", program])
    lines = out.splitlines()
    check(lines[:3] == ["1 0 -1", "kept", "cd 0 -1 0"], f"got {lines}")
    entries = sorted(line[6:] for line in lines if line.startswith("entry "))
    check(entries == [".", "..", "a.kiv", "deeper"], f"got {lines}")
    check(lines[-2:] == ["1 1 0", "1"], f"got {lines}")
    check(status == 1, f"status {status}")
    check(f'"bad.kiv", at line 4:\n   Missing  between x and y point in pointlist.\n' in err, err)
    shutil.rmtree(folder)


UNEDITED = """int shift = 0;

int main()
{
    box points = ((10,10),(110,60)), color = 0xff0000, fill = 1;
    line points = ((0,100),(shift + 50,150)), linewidth = 3;
  // FALLBACK points = ((0,100)(60,150))
    textobj points = ((20,200)), color = 0x0000ff, outtext = "hi there";
    while (1) { input(); output(); }
}
"""

def damaged_files_end_the_player_cleanly(binary):
    """A damaged file either loads or ends the player with the reader's
    message and status 1, leaving no temporary file behind."""
    folder, tmp = fresh_tmpdir(), fresh_tmpdir()
    rng = random.Random(5)
    for round in range(12):
        text = bytearray(SCENE.encode())
        for _ in range(3):
            at = rng.randrange(len(text))
            text[at:at + rng.randrange(4)] = rng.choice([b"(", b")", b",", b";", b"@", b"//", b"\"", b"}", b""])
        damaged = os.path.join(folder, f"damaged{round}.kiv")
        with open(damaged, "wb") as f:
            f.write(bytes(text))
        program = os.path.join(folder, "loader.kiv")
        write(program, f'int main()\n{{\n    load("{damaged}");\n    terminate();\n}}\n')
        status, out, err = run(binary, [program], env=environment(TMPDIR=tmp))
        check(status in (0, 1), f"status {status}: {err}")
        if status == 1:
            check(re.search(r'"[^"]*damaged\d+\.kiv", at line \d+:\n   .+\.\n', err), err)
        check(os.listdir(tmp) == [], f"left behind: {os.listdir(tmp)}")
    shutil.rmtree(folder)
    shutil.rmtree(tmp)


def image_objects_get_their_picture_size(binary):
    folder = fresh_tmpdir()
    with open(os.path.join(folder, "wide.gif"), "wb") as f:
        f.write(gif([[0] * 20 for _ in range(10)], [0xff0000, 0x000000]))
    scene = os.path.join(folder, "pictures.kiv")
    write(scene, "int main()\n{\n    image points = ((10, 20)), img = \"wide.gif\";\n"
                 "    image points = ((30, 40), (30, 40));\n    image points = ((5, 5), (50, 60));\n}\n")
    program = os.path.join(folder, "pictures_editor.kiv")
    write(program, HEAD + f"""
int main()
{{
    int i;
    out = open("file:///dev/stdout", "w");
    changeDir("{folder}");
    load("{scene}");
    loadView("main", {VIEW});
    generateObject(-1, {VIEW});
    for (i = 0; i < 3; i++) show(i);
    terminate();
}}
""")
    status, out, err = run(binary, ["-alw", "1", program])
    check(out.splitlines() == [
        "0: k2 n2 10,20 30,30 cbebebe f0 lw1 a1 ea360 0",
        "1: k2 n2 30,40 118,163 cbebebe f0 lw1 a1 ea360 0",
        "2: k2 n2 5,5 50,60 cbebebe f0 lw1 a1 ea360 0"], f"got {out!r}: {err}")
    shutil.rmtree(folder)


def killing_beyond_the_table_is_an_internal_error(binary):
    folder = fresh_tmpdir()
    scene = os.path.join(folder, "scene.kiv")
    write(scene, SCENE)
    program = os.path.join(folder, "kill.kiv")
    write(program, HEAD + f"""
int main()
{{
    load("{scene}");
    loadView("main", {VIEW});
    killObject(3);
}}
""")
    status, out, err = run(binary, [program])
    check(status == 1, f"status {status}: {err}")
    check("Internal error: Trying to kill non-existant object with index 3" in err, err)
    shutil.rmtree(folder)


FETCHED = """int main()
{
    load("LOCAL/scene.kiv");
    save("LOCAL/saved.kiv");
    isLegalDir("LOCAL");
    getDirectory("LOCAL", names);
    changeDir("LOCAL");
    terminate();
}
"""


@with_session
def fetched_programs_need_permission(binary, session):
    folder = fresh_tmpdir()
    write(os.path.join(folder, "scene.kiv"), SCENE)
    session.server.write("fetched.kiv", "text names[1];\n" + FETCHED.replace("LOCAL", folder))
    status, out, err = run(binary, [session.server.url("fetched.kiv")], env=session.env())
    check(status == 0, f"status {status}: {err}")
    check(err.count("Access to the local filesystem is disabled in the client.") == 5, err)
    check(not os.path.exists(os.path.join(folder, "saved.kiv")), "saved without permission")

    reporting = HEAD + f"""
int main()
{{
    out = open("file:///dev/stdout", "w");
    say(sprintf("%d %d %d", load("{folder}/scene.kiv"), save("{folder}/saved.kiv"), isLegalDir("{folder}")));
    terminate();
}}
"""
    session.server.write("allowed.kiv", reporting)
    status, out, err = run(binary, ["-ala", "1", "-alw", "1", session.server.url("allowed.kiv")],
                           env=session.env())
    check(out == "1 1 1\n", f"got {out!r}: {err}")
    check(read(os.path.join(folder, "saved.kiv")) == UNEDITED, read(os.path.join(folder, "saved.kiv")))
    shutil.rmtree(folder)


if __name__ == "__main__":
    sys.exit(main([edits_saved_after_each_step, display_objects_and_clicks, directories_and_reader_errors,
                   damaged_files_end_the_player_cleanly,
                   image_objects_get_their_picture_size, killing_beyond_the_table_is_an_internal_error,
                   fetched_programs_need_permission]))
