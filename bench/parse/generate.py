#!/usr/bin/env python3
"""Writes a large valid Orvex program to standard output: constants,
globals, many functions with loops, conditions, arrays, text operations,
calls of functions declared later, and a window with objects and a
translation. Usage: generate.py [functions]  (default 4000, about 60,000
lines)."""
import sys


def function(i):
    return f"""int work{i}(int n, ref int total, float scale) {{
  int k;
  float acc = 0.0;
  text label = "item {i}";
  for (k = 0; k < n; k++) {{
    if (k % 3 == 0) {{
      total += k * {i % 7 + 1};
    }} else if (k % 3 == 1) {{
      acc = acc + scale * k / 2.5;
    }} else {{
      label = label + "-" + k;
    }}
  }}
  while (total > 1000) total = total - 1000;
  values[{i % 64}] = total + work{i + 1}(0, total, 1.0);
  return total + (n << 2) - (n >> 1);
}}
"""


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 4000
    out = sys.stdout
    out.write("name generated 1;\nconst int LIMIT = 100;\nconst float RATE = 0.5;\n")
    out.write("int values[64];\nint counter = 0;\ntext title = \"generated program\";\n")
    for i in range(count):
        out.write(function(i))
    out.write(f"int work{count}(int n, ref int total, float scale) {{ return 0; }}\n")
    out.write("""void main() {
  int i;
  window points = ((0, 0), (200, 100)), lev = 1;
    box points = ((10, 10), (60, 40)), col = 0x336699, f = 1;
    textobj points = ((20, 70)), outint = counter, col = 0;
    inputarea points = ((10, 10), (60, 40)), tr = (Button1 Press : counter++;, "q" : counter = 0;);
  endwindow;
  for (i = 0; i < LIMIT; i++) counter = counter + work0(i, counter, RATE);
}
""")


if __name__ == "__main__":
    main()
