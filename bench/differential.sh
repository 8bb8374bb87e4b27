#!/usr/bin/env bash
# Runs every test program and benchmark program through two players and
# compares their standard output, standard error and exit status. For
# changes that must not alter behaviour: build the player before and after
# the change, then
#   bench/differential.sh OLD_PLAYER NEW_PLAYER [PROGRAM...]
# (every program when none is named). DIFF_TIMEOUT (seconds, default 60)
# ends programs that wait for input; both players must end them alike.
# Programs run in their own folder with their "// args:" options, as the
# program tests run them; the benchmarks run with -alw 1.
# OLD_ENGINE and NEW_ENGINE, when set, are the TALVIX_ENGINE of each side,
# so one player can be compared with itself under its two engines:
#   OLD_ENGINE=tree NEW_ENGINE=compiled bench/differential.sh P P
# Random programs for such a comparison come from
#   python3 tests/process/randprog.py SEED > random.kiv
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
old=$(readlink -f "$1")
new=$(readlink -f "$2")
shift 2
programs=()
for program in "$@"; do programs+=("$(readlink -f "$program")"); done
limit=${DIFF_TIMEOUT:-60}

if [[ -z "${DISPLAY:-}" ]]; then
  exec bash "$root/scripts/with-xvfb" bash "$0" "$old" "$new" "${programs[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # player program tag engine
  local player=$1 program=$2 tag=$3 engine=$4 args
  args=$(sed -n 's,^.*//[[:space:]]*args:[[:space:]]*\(.*\)$,\1,p' "$program" | tr '\n' ' ')
  [[ $program == "$root"/bench/* ]] && args="-alw 1"
  (cd "$(dirname "$program")" && TALVIX_ENGINE=$engine timeout "$limit" "$player" $args "$(basename "$program")" \
      >"$work/$tag.out" 2>"$work/$tag.err" </dev/null)
  echo $? >"$work/$tag.rc"
}

checked=0
differing=0
while IFS= read -r program; do
  run "$old" "$program" old "${OLD_ENGINE:-${TALVIX_ENGINE:-}}"
  run "$new" "$program" new "${NEW_ENGINE:-${TALVIX_ENGINE:-}}"
  checked=$((checked + 1))
  for part in out err rc; do
    if ! cmp -s "$work/old.$part" "$work/new.$part"; then
      echo "differs ($part): ${program#"$root"/}"
      diff "$work/old.$part" "$work/new.$part" | head -5
      differing=$((differing + 1))
      break
    fi
  done
done < <(if [[ ${#programs[@]} -gt 0 ]]; then printf '%s\n' "${programs[@]}"; else
  find "$root/tests/programs" "$root/tests/process/programs" "$root/bench/interp" -name '*.kiv' | sort; fi)
echo "$checked programs, $differing differing"
[[ $differing -eq 0 ]]
