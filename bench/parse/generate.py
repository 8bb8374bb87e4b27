#!/usr/bin/env python3
"""Writes a large valid Orvex program to standard output: constants,
globals, many functions with loops, conditions, arrays, text operations,
calls of functions declared later, and a window with objects and a
translation. With --lua it writes the same functions in Lua instead, for
comparing with Lua's own parser. Usage: generate.py [--lua] [functions]
(default 4000, about 60,000 lines)."""
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


def lua_function(i):
    return f"""function work{i}(n, total, scale)
  local k
  local acc = 0.0
  local label = "item {i}"
  k = 0
  while k < n do
    if k % 3 == 0 then
      total = total + k * {i % 7 + 1}
    elseif k % 3 == 1 then
      acc = acc + scale * k / 2.5
    else
      label = label .. "-" .. k
    end
    k = k + 1
  end
  while total > 1000 do total = total - 1000 end
  values[{i % 64}] = total + work{i + 1}(0, total, 1.0)
  return total + (n << 2) - (n >> 1)
end
"""


def lua_main(count):
    out = sys.stdout
    out.write("local LIMIT = 100\nlocal RATE = 0.5\nvalues = {}\ncounter = 0\n")
    out.write("local title = \"generated program\"\n")
    # Global functions, so that calls of functions declared later resolve.
    for i in range(count):
        out.write(lua_function(i))
    out.write(f"function work{count}(n, total, scale) return 0 end\n")
    out.write("""function main()
  local i = 0
  while i < LIMIT do
    counter = counter + work0(i, counter, RATE)
    i = i + 1
  end
end
""")


def main():
    args = [a for a in sys.argv[1:] if a != "--lua"]
    count = int(args[0]) if args else 4000
    if "--lua" in sys.argv[1:]:
        lua_main(count)
        return
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
