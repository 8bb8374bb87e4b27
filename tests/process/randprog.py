#!/usr/bin/env python3
"""Writes random Orvex programs for comparing the player's two engines.

A program is made of small functions over int, float and text values
(parameters by value and by reference, locals, local and global arrays,
loops, conditions, calls of earlier functions and a bounded recursion,
now and then a "#" value or an eval)
and a main that prints what they compute. Ints are often near the wrap,
divisors are sometimes zero and indexes sometimes out of bounds, so a
program may stop with an error; some programs end with a call that is
missing an actual or recurses without end, and some show objects whose
attributes follow variables and call a function that prints.

  randprog.py SEED     writes the program of that seed to standard output
"""
import random
import sys

TYPES = ("int", "float", "text")
NEAR_WRAP = ("2147483647", "(0 - 2147483647 - 1)", "65536", "46341", "(0 - 1)", "1073741824")
INT_BINARY = ("+", "-", "*", "%", "<<", ">>", "&", "|", "==", "!=", "<", "<=", ">", ">=", "&&", "||")
FLOAT_BINARY = ("+", "-", "*", "/")
ARRAY_SIZE = 8


class Function:
    def __init__(self, name, result, params):
        self.name = name
        self.result = result
        self.params = params  # (type, name, by reference)


class Generator:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.functions = []
        self.lines = []
        self.risky = self.rng.random() < 0.3
        self.display = self.rng.random() < 0.25

    # Expressions --------------------------------------------------------

    def chance(self, p):
        return self.rng.random() < p

    def pick(self, items):
        return self.rng.choice(items)

    def scalars(self, scope, kind):
        return [name for name, t in scope if t == kind]

    def index(self, scope, depth):
        if self.risky and self.chance(0.03):
            return self.int_expr(scope, depth + 1)
        return f"({self.int_expr(scope, depth + 1)} & {ARRAY_SIZE - 1})"

    def int_leaf(self, scope):
        names = self.scalars(scope, "int")
        roll = self.rng.random()
        if names and roll < 0.45:
            return self.pick(names)
        if roll < 0.6:
            return self.pick(NEAR_WRAP)
        if roll < 0.7:
            return self.pick(self.scalars(scope, "int[]")) + f"[{self.rng.randrange(ARRAY_SIZE)}]"
        if roll < 0.72:
            return self.pick(("#g0", "#g1"))
        return str(self.rng.randrange(-20, 100))

    def int_expr(self, scope, depth=0):
        if depth > 3 or self.chance(0.3):
            return self.int_leaf(scope)
        roll = self.rng.random()
        if roll < 0.5:
            op = self.pick(INT_BINARY)
            left, right = self.int_expr(scope, depth + 1), self.int_expr(scope, depth + 1)
            if op == "%" and not (self.risky and self.chance(0.15)):
                right = f"({right} | 1)"
            if op in ("<<", ">>") and self.chance(0.7):
                right = f"({right} & 31)"
            return f"({left} {op} {right})"
        if roll < 0.58:
            return f"{self.pick(self.scalars(scope, 'int[]'))}[{self.index(scope, depth)}]"
        if roll < 0.66:
            return f"{self.pick(('!', '-'))}({self.int_leaf(scope)})"
        if roll < 0.75:
            return f"({self.text_expr(scope, depth + 1)} {self.pick(('<', '==', '!='))} {self.text_expr(scope, depth + 1)})"
        if roll < 0.8:
            return f"strlen({self.text_expr(scope, depth + 1)})"
        call = self.call("int", scope, depth)
        return call or self.int_leaf(scope)

    def float_expr(self, scope, depth=0):
        names = self.scalars(scope, "float")
        if depth > 3 or self.chance(0.3):
            if names and self.chance(0.6):
                return self.pick(names)
            return self.pick(("1.5", "0.25", "3.0", "1000000.0", "0.1", "(0.0 - 2.75)"))
        roll = self.rng.random()
        if roll < 0.45:
            op = self.pick(FLOAT_BINARY)
            right = self.float_expr(scope, depth + 1)
            if op == "/" and not (self.risky and self.chance(0.1)):
                right = f"(fabs({right}) + 0.5)"
            return f"({self.float_expr(scope, depth + 1)} {op} {right})"
        if roll < 0.5:
            return f"({self.float_expr(scope, depth + 1)} + {self.int_expr(scope, depth + 1)})"
        if roll < 0.53:
            right = self.int_expr(scope, depth + 1)
            if not (self.risky and self.chance(0.15)):
                right = f"({right} | 1)"
            return f"({self.int_expr(scope, depth + 1)} / {right})"
        if roll < 0.55:
            return f"({self.float_expr(scope, depth + 1)} {self.pick(('<', '>', '==', '!='))} {self.float_expr(scope, depth + 1)})"
        if roll < 0.65:
            return f"{self.pick(self.scalars(scope, 'float[]'))}[{self.index(scope, depth)}]"
        if roll < 0.8:
            fn = self.pick(("sin", "cos", "sqrt", "fabs"))
            inner = self.float_expr(scope, depth + 1)
            return f"{fn}(fabs({inner}))" if fn == "sqrt" else f"{fn}({inner})"
        call = self.call("float", scope, depth)
        return call or self.float_expr(scope, depth + 1)

    def text_expr(self, scope, depth=0):
        names = self.scalars(scope, "text")
        if depth > 2 or self.chance(0.3):
            if names and self.chance(0.6):
                return self.pick(names)
            return self.pick(('"ab"', '""', '"xyz"', '"Q"', '"long text here"'))
        roll = self.rng.random()
        if roll < 0.35:
            return f"({self.text_expr(scope, depth + 1)} + {self.text_expr(scope, depth + 1)})"
        if roll < 0.5:
            return f'sprintf("%d", {self.int_expr(scope, depth + 1)})'
        if roll < 0.6:
            return f'sprintf("%g", {self.float_expr(scope, depth + 1)})'
        if roll < 0.75:
            return f"substr({self.text_expr(scope, depth + 1)}, {self.rng.randrange(0, 4)}, {self.rng.randrange(0, 5)})"
        call = self.call("text", scope, depth)
        return call or self.text_expr(scope, depth + 1)

    def expr(self, kind, scope, depth=0):
        return {"int": self.int_expr, "float": self.float_expr, "text": self.text_expr}[kind](scope, depth)

    def call(self, result, scope, depth):
        candidates = [f for f in self.functions if f.result == result]
        if not candidates or depth > 2:
            return None
        fn = self.pick(candidates)
        actuals = []
        for kind, _, by_ref in fn.params:
            if by_ref:
                targets = self.scalars(scope, "int")
                actuals.append(self.pick(targets) if targets and self.chance(0.6)
                               else f"{self.pick(self.scalars(scope, 'int[]'))}[{self.rng.randrange(ARRAY_SIZE)}]")
            else:
                actuals.append(self.expr(kind, scope, depth + 1))
        return f"{fn.name}({', '.join(actuals)})"

    # Statements ---------------------------------------------------------

    def assignable(self, scope):
        kind = self.pick(TYPES)
        names = self.scalars(scope, kind)
        if names and self.chance(0.75):
            return kind, self.pick(names)
        if kind == "text":
            return kind, self.pick(self.scalars(scope, "text"))
        return kind, f"{self.pick(self.scalars(scope, kind + '[]'))}[{self.index(scope, 1)}]"

    def statement(self, scope, depth, loops, result):
        roll = self.rng.random()
        pad = "  " * (depth + 1)
        if roll < 0.35:
            kind, target = self.assignable(scope)
            if kind == "int" and self.chance(0.3):
                op = self.pick(("+=", "-=", "*=", "|=", "&=", "<<="))
                return [f"{pad}{target} {op} {self.int_expr(scope)};"]
            if kind == "int" and self.chance(0.15):
                return [f"{pad}{target}{self.pick(('++', '--'))};"]
            if kind == "text" and self.chance(0.3):
                return [f"{pad}{target} = {target} + {self.text_expr(scope, 1)};"]
            return [f"{pad}{target} = {self.expr(kind, scope)};"]
        if roll < 0.55:
            kind = self.pick(TYPES)
            printer = {"int": "num", "float": "flt", "text": "say"}[kind]
            return [f"{pad}{printer}({self.expr(kind, scope)});"]
        if roll < 0.65 and depth < 3:
            lines = [f"{pad}if ({self.int_expr(scope, 1)}) {{"]
            lines += self.block(scope, depth + 1, loops, result)
            if self.chance(0.5):
                lines += [f"{pad}}} else {{"] + self.block(scope, depth + 1, loops, result)
            return lines + [f"{pad}}}"]
        if roll < 0.78 and depth < 3 and loops:
            counter = loops[0]
            rest = loops[1:]
            if self.chance(0.5):
                lines = [f"{pad}for ({counter} = 0; {counter} < {self.rng.randrange(1, 12)}; {counter}++) {{"]
            else:
                lines = [f"{pad}{counter} = 0;",
                         f"{pad}while ({counter} < {self.rng.randrange(1, 12)} && {self.int_expr(scope, 2)}) {{",
                         f"{pad}  {counter}++;"]
            return lines + self.block(scope, depth + 1, rest, result) + [f"{pad}}}"]
        if roll < 0.8:
            return [f'{pad}eval("g0 = g0 + {self.rng.randrange(1, 5)};");']
        if roll < 0.83 and result:
            return [f"{pad}if ({self.int_expr(scope, 2)}) return {self.expr(result, scope, 1)};"]
        call = self.call(self.pick(TYPES), scope, 1)
        if call:
            return [f"{pad}{call};"]
        return [f"{pad}num({self.int_expr(scope)});"]

    def block(self, scope, depth, loops, result):
        lines = []
        for _ in range(self.rng.randrange(1, 4)):
            lines += self.statement(scope, depth, loops, result)
        return lines

    # Functions and the program -----------------------------------------

    def globals_scope(self):
        return [("g0", "int"), ("g1", "int"), ("gf", "float"), ("gt", "text"),
                ("ga", "int[]"), ("gfa", "float[]")]

    def function(self, number):
        result = self.pick(TYPES)
        params = []
        for p in range(self.rng.randrange(0, 4)):
            by_ref = self.chance(0.15)
            params.append(("int" if by_ref else self.pick(TYPES), f"p{p}", by_ref))
        scope = self.globals_scope() + [(name, kind) for kind, name, _ in params]
        scope += [("a", "int"), ("b", "int"), ("x", "float"), ("s", "text"), ("la", "int[]"), ("lfa", "float[]")]
        head = ", ".join(f"{'ref ' if r else ''}{k} {n}" for k, n, r in params)
        lines = [f"{result} f{number}({head})", "{",
                 "  int a, b, i, j;", "  float x;", "  text s;",
                 f"  int la[{ARRAY_SIZE}];", f"  float lfa[{ARRAY_SIZE}];",
                 f"  a = {self.int_expr(scope, 2)};", f"  x = {self.float_expr(scope, 2)};"]
        lines += self.block(scope, 0, ["i", "j"], result)
        lines += [f"  return {self.expr(result, scope)};", "}", ""]
        self.functions.append(Function(f"f{number}", result, params))
        return lines

    def recursion(self):
        return ["int rec(int n, int acc)", "{",
                "  if (n <= 0) return acc;",
                "  return rec(n - 1, acc * 3 + n) + 1;", "}", ""]

    def objects(self):
        return ["int traced(int v) { num(v); return v & 255; }", ""]

    def main(self):
        scope = self.globals_scope() + [("m", "int"), ("mf", "float"), ("mt", "text"), ("ma", "int[]")]
        lines = ["int main()", "{", "  int m, k, i, j;", "  float mf;", "  text mt;", f"  int ma[{ARRAY_SIZE}];",
                 '  out = open("file:///dev/stdout", "w");',
                 f"  g0 = {self.pick(NEAR_WRAP)};", f"  g1 = {self.rng.randrange(-5, 50)};",
                 '  gt = "start";', "  gf = 2.5;"]
        if self.display:
            lines += ["  box points = ((g0 & 255, g1 & 255), ((g0 & 255) + 30, (g1 & 255) + 20)), "
                      "col = traced(g1) * 256, f = 1;",
                      "  textobj points = ((20, 300)), ot = gt + sprintf(\" %d\", g1), col = 0xffffff;",
                      "  output();"]
        lines += self.block(scope, 0, ["i", "j"], None)
        for _ in range(self.rng.randrange(3, 8)):
            fn = self.pick(self.functions)
            printer = {"int": "num", "float": "flt", "text": "say"}[fn.result]
            lines.append(f"  {printer}({self.call_of(fn, scope)});")
            lines.append(f"  g1 = g1 + {self.rng.randrange(1, 9)};")
            if self.display:
                lines.append("  output();")
        lines.append(f"  num(rec({self.rng.randrange(0, 40)}, g1));")
        lines += self.ending()
        return lines + ["}"]

    def call_of(self, fn, scope):
        saved = self.functions
        self.functions = [fn]
        text = self.call(fn.result, scope, 0)
        self.functions = saved
        return text

    def ending(self):
        if self.display:
            return ['  say("shown");']
        if self.risky:
            choice = self.rng.randrange(3)
            if choice == 0:
                return ["  num(rec(50000000, 1));", '  say("not reached");']
            if choice == 1:
                short = next((f for f in self.functions if f.params), None)
                if short:
                    return [f"  {short.name}();", '  say("not reached");']
        return ['  say("end");', "  terminate();"]

    def program(self):
        lines = ["// A random program for comparing the engines.", "int out;", "int g0, g1;", "float gf;",
                 "text gt;", f"int ga[{ARRAY_SIZE}];", f"float gfa[{ARRAY_SIZE}];",
                 'void say(text t) { write(out, t + "\\n", strlen(t) + 1); }',
                 'void num(int v) { say(sprintf("%d", v)); }',
                 'void flt(float v) { say(sprintf("%.6g", v)); }', ""]
        lines += self.recursion()
        if self.display:
            lines += self.objects()
        for number in range(self.rng.randrange(3, 9)):
            lines += self.function(number)
        lines += self.main()
        return "\n".join(lines) + "\n"


def program(seed):
    return Generator(seed).program()


def is_display(seed):
    return Generator(seed).display


if __name__ == "__main__":
    sys.stdout.write(program(int(sys.argv[1])))
