#!/usr/bin/env bash
# Measures the front end: parses a generated program of about 60,000
# lines with a release build of the player in parse-only mode, and the
# same functions written in Lua with `luac -p`, and prints the median
# time, lines per second and peak resident memory of each.
# Usage: bench/parse/run.sh [functions] [repetitions]   (defaults 4000, 3)
#   TALVIX_BUILD names another build folder (default build-release).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
functions=${1:-4000}
reps=${2:-3}
build="${TALVIX_BUILD:-$root/build-release}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/generate.py" "$functions" >"$work/program.kiv"
python3 "$here/generate.py" --lua "$functions" >"$work/program.lua"
if ! luac=$(command -v luac5.4); then
  echo "bench/parse/run.sh: luac5.4 is not installed (apt-get install lua5.4)" >&2
  exit 1
fi
luac=$(readlink -f "$luac")

# Prints "seconds kilobytes" for the median run of a command, which must
# write nothing to standard error.
measure() {
  local runs=()
  for _ in $(seq "$reps"); do
    local start end
    start=$(date +%s.%N)
    if ! /usr/bin/time -f '%M' -o "$work/rss" "$@" 2>"$work/err" >/dev/null || [[ -s "$work/err" ]]; then
      echo "$* did not parse the program cleanly:" >&2
      head -5 "$work/err" >&2
      exit 1
    fi
    end=$(date +%s.%N)
    runs+=("$(awk -v s="$start" -v e="$end" 'BEGIN{print e-s}') $(cat "$work/rss")")
  done
  printf '%s\n' "${runs[@]}" | sort -g | sed -n "$(( (reps + 1) / 2 ))p"
}

report() {
  local name=$1 file=$2 seconds=$3 kb=$4
  local lines
  lines=$(wc -l <"$file")
  printf '%-8s %7d lines %8.3f s %10.0f lines/s %8d KB peak\n' "$name" "$lines" "$seconds" \
    "$(awk -v l="$lines" -v s="$seconds" 'BEGIN{print l / s}')" "$kb"
}

read -r t_kiv kb_kiv < <(measure env -u DISPLAY "$build/talvix" -po 1 "$work/program.kiv")
read -r t_lua kb_lua < <(measure "$luac" -p "$work/program.lua")
report talvix "$work/program.kiv" "$t_kiv" "$kb_kiv"
report "luac -p" "$work/program.lua" "$t_lua" "$kb_lua"
awk -v a="$t_kiv" -v b="$t_lua" 'BEGIN{printf "talvix / luac -p: %.2f\n", a / b}'
