#!/usr/bin/env python3
"""A program that opens file:///dev/stdout more than once, with the
player's standard output redirected to a file, writes all its lines in
order: the streams share the output instead of each starting over at the
beginning of the file.
Usage: test_stream_stdout_file.py <talvix binary>
"""
import os
import subprocess
import sys
import tempfile

PROGRAM = """int main()
{
    int a, b;
    a = open("file:///dev/stdout", "w");
    write(a, "one\\n", 4);
    b = open("file:///dev/stdout", "w");
    write(b, "two\\n", 4);
    write(a, "three\\n", 6);
    putc(b, 33);
    putc(a, 10);
    terminate();
}
"""


def main():
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "twice.kiv")
        with open(program, "w") as f:
            f.write(PROGRAM)
        output = os.path.join(folder, "out.txt")
        with open(output, "w") as out:
            out.write("kept\n")
        with open(output, "a") as out:
            run = subprocess.run([binary, "-alw", "1", program], stdout=out,
                                 stderr=subprocess.PIPE, timeout=30)
        with open(output) as f:
            written = f.read()
    if run.returncode != 0 or written != "kept\none\ntwo\nthree\n!\n":
        print(f"status {run.returncode}, output {written!r}, stderr {run.stderr!r}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
