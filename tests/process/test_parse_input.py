"""Parse-only runs on hostile input: binary garbage, a very large file,
input cut off anywhere, and nesting deep enough to reach the parser's
limit. Nothing may crash or hang; the nesting limit ends the player with
its message and status 1."""
import os
import random
import sys
import tempfile
import time

from player import check, environment, main, run

NO_DISPLAY = environment(DISPLAY=None)
OVERFLOW = "fatal: attrib/AST stack overflow orvx("


def parse(binary, source, timeout=60):
    with tempfile.NamedTemporaryFile(suffix=".kiv", delete=False) as f:
        f.write(source if isinstance(source, bytes) else source.encode("latin-1"))
        path = f.name
    try:
        return run(binary, ["-po", "1", path], env=NO_DISPLAY, timeout=timeout)
    finally:
        os.unlink(path)


def binary_garbage_is_reported_and_survived(binary):
    rng = random.Random(7)
    garbage = bytes(rng.randrange(256) for _ in range(100_000))
    status, _, err = parse(binary, garbage)
    check(status == 0, f"status {status}")
    check("invalid token near line" in err, "no lexical error reported")


def large_file_parses_in_time(binary):
    body = "".join(f"int v{i} = {i} * 2 + 1;\n" for i in range(400_000))
    source = body + "void main() { v1 = v2 + v3; }\n"
    check(len(source) > 10_000_000, "the file is smaller than 10 MB")
    started = time.time()
    status, _, err = parse(binary, source, timeout=120)
    check(status == 0 and err == "", f"status {status}, stderr {err[:300]!r}")
    check(time.time() - started < 60, "parsing 10 MB took over a minute")


def truncated_input_at_every_cut(binary):
    program = ('int x; text t = "a\\"b";\n/* note */ void main() {\n'
               '  if (x < 2) { t = t + "c"; } else x = (x + 1) * 3;\n}')
    for cut in range(1, len(program)):
        status, _, _ = parse(binary, program[:cut])
        check(status == 0, f"cut at {cut}: status {status}")


def unterminated_items(binary):
    status, _, err = parse(binary, "int x;\nvoid main() { x = 1; }\n/* never closed\n")
    check(status == 0 and err == "", f"comment: {status} {err!r}")
    status, _, err = parse(binary, 'int x;\nvoid main() { x = 1; }\ntext t = "never closed;\n')
    check(status == 0 and "global: malformed global declaration" in err, f"literal: {err!r}")
    status, _, err = parse(binary, "int x;\nvoid main() { x = 1; } // no newline")
    check(err == "invalid token near line 2 (text was '// no newline')\n", f"line comment: {err!r}")


def deep_nesting_hits_the_limit(binary):
    cases = {
        "parentheses": "int x; void main() { x = " + "(" * 10_000 + "1" + ")" * 10_000 + "; }",
        "blocks": "void main() { " + "{" * 10_000 + "}" * 10_000 + " }",
        "else-if chain": "int x; void main() { " + "if (x) x = 1; else " * 5_000 + "x = 2; }",
        "operator chain": "int x; void main() { x = " + "1 + " * 100_000 + "1; }",
        "initializer": "int a[1] = " + "{" * 5_000 + "1" + "}" * 5_000 + ";",
    }
    for name, source in cases.items():
        status, _, err = parse(binary, source)
        check(status == 1, f"{name}: status {status}")
        last = err.rstrip("\n").rsplit("\n", 1)[-1]
        check(last.startswith(OVERFLOW) and last.endswith(")!"), f"{name}: stderr {err[-300:]!r}")


def moderate_nesting_is_fine(binary):
    source = ("int x; void main() { x = " + "(" * 20 + "1" + ")" * 20 + "; " +
              "if (x) x = 1; else " * 50 + "x = 2; x = " + "1 + " * 300 + "1; }")
    status, _, err = parse(binary, source)
    check(status == 0 and err == "", f"status {status}, stderr {err[:300]!r}")


def nesting_limit_is_exact(binary):
    # Each pair of parentheses nests fourteen rules and a long chain of
    # one operator counts one level per sixteen operators: the last legal
    # depth parses, one more ends the player.
    programs = {
        "parentheses": lambda n: "int x; void main() { x = " + "(" * n + "1" + ")" * n + "; }",
        "operator chain": lambda n: "int x; void main() { x = " + "1 + " * n + "1; }",
        "mixed chain": lambda n: "int x; void main() { x = " + "1 * 2 + " * n + "1; }",
        "power chain": lambda n: "int x; void main() { x = " + "x ** " * n + "1; }",
    }
    first_too_deep = {"parentheses": 28, "operator chain": 6096, "mixed chain": 6096, "power chain": 383}
    for name, make in programs.items():
        deepest = first_too_deep[name]
        status, _, err = parse(binary, make(deepest - 1))
        check(status == 0 and err == "", f"{name} at the limit: {status} {err[-200:]!r}")
        status, _, err = parse(binary, make(deepest))
        check(status == 1 and err.startswith(OVERFLOW), f"{name} beyond the limit: {status} {err[-200:]!r}")


if __name__ == "__main__":
    sys.exit(main([binary_garbage_is_reported_and_survived, large_file_parses_in_time,
          truncated_input_at_every_cut, unterminated_items, deep_nesting_hits_the_limit,
          moderate_nesting_is_fine, nesting_limit_is_exact]))
