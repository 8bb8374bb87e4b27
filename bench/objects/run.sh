#!/usr/bin/env bash
# Creates 5,000, 10,000 and 20,000 boxes in one loop with a release build
# of the player and prints the milliseconds the creation and the first
# output took, and the time per object. Per-object times that grow with
# the count mean a step that is not linear.
# Usage: bench/objects/run.sh   (BUILD=folder uses a release build there)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="${BUILD:-$root/build-release}"

if [[ -z "${BUILD:-}" ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target talvix >/dev/null
fi

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-7s %10s %10s %12s\n' objects create-ms output-ms us/object
for n in 5000 10000 20000; do
  sed "s/^int n = 5000;/int n = $n;/" "$here/objects.kiv" > "$work/objects.kiv"
  read -r create output < <("$build/talvix" -alw 1 "$work/objects.kiv" 2>/dev/null | tail -n1)
  printf '%-7s %10s %10s %12.1f\n' "$n" "$create" "$output" \
    "$(awk -v c="$create" -v o="$output" -v n="$n" 'BEGIN{print (c + o) * 1000 / n}')"
done
