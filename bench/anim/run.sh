#!/usr/bin/env bash
# Animates 200 and 1,000 bouncing boxes for 300 frames with a release
# build of the player and with an equivalent Tk canvas script, and prints
# the milliseconds each took and the frames per second.
# Usage: bench/anim/run.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build-release"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-6s %-8s %10s %8s\n' boxes runtime ms fps
for n in 200 1000; do
  sed "s/^int n = 200;/int n = $n;/" "$here/boxes.kiv" > "$work/boxes.kiv"
  ms=$("$build/talvix" -alw 1 "$work/boxes.kiv" 2>/dev/null | tail -n1)
  printf '%-6s %-8s %10s %8.1f\n' "$n" talvix "$ms" "$(awk -v m="$ms" 'BEGIN{print (m > 0 ? 300000 / m : 0)}')"
  ms=$(wish "$here/boxes.tcl" "$n" 2>/dev/null | tail -n1)
  printf '%-6s %-8s %10s %8.1f\n' "$n" tk "$ms" "$(awk -v m="$ms" 'BEGIN{print (m > 0 ? 300000 / m : 0)}')"
done
