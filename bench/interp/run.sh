#!/usr/bin/env bash
# Runs the interpreter benchmarks with a release build of the player and
# the same computations in Lua 5.4, Python 3 and Tcl 8.6, checks that all
# print the same result, and prints the median time of each and the
# player's time as a multiple of Lua's and Python's. The player's time is
# given net of its start-up (opening the display and the window, forking
# the sound servers), measured with a program that ends at once.
# Each peer runs as its real interpreter, not through a wrapper on PATH
# (a version manager's shim costs more start-up than a short run takes).
# Usage: bench/interp/run.sh [repetitions] [benchmark...]
#   (default 3 repetitions, benchmarks fib loop sort float text)
#   TALVIX_BUILD names another build folder (default build-release).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
reps=${1:-3}
shift || true
benches=("$@")
[[ ${#benches[@]} -eq 0 ]] && benches=(fib loop sort float text)
build="${TALVIX_BUILD:-$root/build-release}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null 2>&1

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$reps" "${benches[@]}"
fi

# The peers are not needed by the build or the tests, so scripts/install-deps
# leaves them out.
real_path() {
  local found
  if ! found=$(command -v "$1"); then
    echo "bench/interp/run.sh: $1 is not installed (apt-get install lua5.4 tcl8.6)" >&2
    exit 1
  fi
  readlink -f "$found"
}
lua=$(real_path lua5.4)
tcl=$(real_path tclsh8.6)
python=$(python3 -c 'import sys; print(sys.executable)')

# Median wall-clock time in seconds of a command over the repetitions;
# the command's output must equal the expected text.
median_time() {
  local expected=$1; shift
  local times=()
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
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{t[NR]=$1} END{print (NR % 2) ? t[(NR+1)/2] : (t[NR/2]+t[NR/2+1])/2}'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0 && a == a + 0) printf "%.2f", a / b; else print "-" }'; }

cd "$here"
t_start=$(median_time "" "$build/talvix" start.kiv)
printf 'player start-up: %.3f s (subtracted below)\n' "$t_start"
printf 'peers: %s, %s, %s\n' "$lua" "$python" "$tcl"
printf '%-6s %9s %9s %9s %9s %9s %9s\n' bench talvix lua python tcl "x lua" "x python"
for bench in "${benches[@]}"; do
  expected=$("$lua" "$bench.lua")
  t_total=$(median_time "$expected" "$build/talvix" -alw 1 "$bench.kiv")
  t_kiv=$(awk -v a="$t_total" -v b="$t_start" 'BEGIN{ d = a - b; if (d < 0.001) d = 0.001; print d }')
  t_lua=$(median_time "$expected" "$lua" "$bench.lua")
  t_py=$(median_time "$expected" "$python" "$bench.py")
  t_tcl=$(median_time "$expected" "$tcl" "$bench.tcl")
  printf '%-6s %9.3f %9.3f %9.3f %9.3f %9s %9s\n' "$bench" "$t_kiv" "$t_lua" "$t_py" "$t_tcl" \
    "$(ratio "$t_kiv" "$t_lua")" "$(ratio "$t_kiv" "$t_py")"
done
echo "(seconds, median of $reps; \"x lua\", \"x python\": the player's time over that runtime's)"
