#!/usr/bin/env bash
# Measures the front end: parses a generated program of about 60,000
# lines with a release build of the player in parse-only mode and prints
# lines per second (best of the repetitions).
# Usage: bench/parse/run.sh [functions] [repetitions]   (defaults 4000, 3)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
functions=${1:-4000}
reps=${2:-3}
build="$root/build-release"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target talvix >/dev/null

program=$(mktemp --suffix=.kiv)
trap 'rm -f "$program"' EXIT
python3 "$here/generate.py" "$functions" >"$program"
lines=$(wc -l <"$program")

best=""
for _ in $(seq "$reps"); do
  start=$(date +%s.%N)
  err=$(env -u DISPLAY "$build/talvix" -po 1 "$program" 2>&1 >/dev/null)
  end=$(date +%s.%N)
  if [[ -n "$err" ]]; then
    echo "the generated program did not parse cleanly:" >&2
    echo "$err" | head -5 >&2
    exit 1
  fi
  t=$(echo "$end - $start" | bc -l)
  if [[ -z "$best" ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
done
printf '%d lines in %.3f s: %.0f lines per second\n' "$lines" "$best" "$(echo "$lines / $best" | bc -l)"
