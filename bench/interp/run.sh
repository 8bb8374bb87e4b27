#!/usr/bin/env bash
# Runs the interpreter benchmarks with a release build of the player and
# the same computations in Lua 5.4, Python 3 and Tcl 8.6, and prints the
# time of each and its ratio to the player's time. The player's time is
# given net of its start-up (opening the display and the window, forking
# the sound servers), measured with a program that ends at once.
# Usage: bench/interp/run.sh [repetitions]   (default 3; best time counts)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
reps=${1:-3}
build="$root/build-release"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null 2>&1

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$@"
fi

# Best wall-clock time in seconds of a command over the repetitions; the
# command's output must equal the expected text.
best_time() {
  local expected=$1; shift
  local best=""
  for _ in $(seq "$reps"); do
    local start end out
    start=$(date +%s.%N)
    out=$("$@" 2>/dev/null) || true
    end=$(date +%s.%N)
    if [[ "$out" != "$expected" ]]; then
      echo "wrong output from $*: '$out'" >&2
      echo "nan"
      return
    fi
    best=$(awk -v a="$best" -v b="$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')" \
      'BEGIN{ if (a == "" || b < a) print b; else print a }')
  done
  echo "$best"
}

cd "$here"
t_start=$(best_time "" "$build/talvix" start.kiv)
printf 'player start-up: %.3f s (subtracted below)\n' "$t_start"
printf '%-6s %-10s %10s %10s\n' bench runtime seconds "x talvix"
for bench in fib loop; do
  expected=$(lua5.4 "$here/$bench.lua")
  t_total=$(best_time "$expected" "$build/talvix" -alw 1 "$bench.kiv")
  t_kiv=$(awk -v a="$t_total" -v b="$t_start" 'BEGIN{ d = a - b; if (d < 0.001) d = 0.001; print d }')
  printf '%-6s %-10s %10.3f %10s\n' "$bench" talvix "$t_kiv" 1.00
  for runtime in "lua5.4 $bench.lua" "python3 $bench.py" "tclsh8.6 $bench.tcl"; do
    t=$(best_time "$expected" $runtime)
    ratio=$(awk -v k="$t_kiv" -v t="$t" 'BEGIN{ if (t > 0) printf "%.2f", k / t; else print "-" }')
    printf '%-6s %-10s %10.3f %10s\n' "$bench" "${runtime%% *}" "$t" "$ratio"
  done
done
echo "(\"x talvix\": how many times longer the player takes than that runtime)"
