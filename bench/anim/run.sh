#!/usr/bin/env bash
# Animates 200 and 1,000 bouncing boxes for 300 frames with a release
# build of the player and with an equivalent Tk canvas script, and prints
# the median milliseconds each took, the frames per second and how many
# times faster the player is. The two run by turns, so that a busy machine
# slows both alike.
# Usage: bench/anim/run.sh [repeats, default 5]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build-release"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$@"
fi

repeats=${1:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
fps() { awk -v m="$1" 'BEGIN{print (m > 0 ? 300000 / m : 0)}'; }
printf '%-6s %-8s %10s %8s %8s\n' boxes runtime ms fps speedup
for n in 200 1000; do
  sed "s/^int n = 200;/int n = $n;/" "$here/boxes.kiv" > "$work/boxes.kiv"
  : > "$work/talvix"
  : > "$work/tk"
  for _ in $(seq 1 "$repeats"); do
    "$build/talvix" -alw 1 "$work/boxes.kiv" 2>/dev/null | tail -n1 >> "$work/talvix"
    wish "$here/boxes.tcl" "$n" 2>/dev/null | tail -n1 >> "$work/tk"
  done
  ours=$(median < "$work/talvix")
  theirs=$(median < "$work/tk")
  speedup=$(awk -v a="$ours" -v b="$theirs" 'BEGIN{print (a > 0 ? b / a : 0)}')
  printf '%-6s %-8s %10s %8.1f %8.2f\n' "$n" talvix "$ours" "$(fps "$ours")" "$speedup"
  printf '%-6s %-8s %10s %8.1f\n' "$n" tk "$theirs" "$(fps "$theirs")"
done
