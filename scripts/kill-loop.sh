#!/usr/bin/env bash
# Kills "morv-cli redraw --force" at random moments while it replaces an existing
# pair of outputs, and checks what each kill left and what the next run makes of it.
#
#   scripts/kill-loop.sh [SIDE] [RUNS] [CLI] [LEAN]
#
# SIDE (default 4096) is the map's side, RUNS (default 100) the number of kills;
# CLI and LEAN default to build/src/app/morv-cli and build/bench/morv-lean. After
# every kill the pair must be the old pair, the new pair or torn; the next run
# without --force (refused, since the outputs exist) must leave the old or the new
# pair whole and no temporary; a last run with --force must write the new pair.
# Prints the counts; exits 1 when any pair is left torn or anything is left behind.
set -euo pipefail
cd "$(dirname "$0")/.."
side=${1:-4096}
runs=${2:-100}
cli=$(realpath "${3:-build/src/app/morv-cli}")
lean=$(realpath "${4:-build/bench/morv-lean}")

work=$(mktemp -d "${TMPDIR:-/tmp}/morv-kill-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
map=$("$lean" make "$side" .)
task=(redraw "$map" --flatten 50 --fill 50 --scale-up)

# The new pair, and the old pair: two files the new pair can be told from.
"$cli" "${task[@]}" -o new.bmp >/dev/null
new=$(md5sum <new.bmp)
newCL=$(md5sum <newCL.bmp)
cp "$map" old.bmp
cp "$map" oldCL.bmp
old=$(md5sum <old.bmp)
oldCL=$(md5sum <oldCL.bmp)
# How long a run over a freshly copied old pair takes, as in the loop (the copy's
# write-back slows it): the kills fall within that time.
took_ms=0
for _ in 1 2 3; do
  cp old.bmp out.bmp
  cp oldCL.bmp outCL.bmp
  start=$(date +%s%N)
  "$cli" "${task[@]}" -o out.bmp --force >/dev/null
  t=$(( ($(date +%s%N) - start) / 1000000 ))
  [ "$t" -gt "$took_ms" ] && took_ms=$t
done

state() {  # old, new, torn or missing, from out.bmp and outCL.bmp
  local a b
  a=$(md5sum <out.bmp 2>/dev/null || echo none)
  b=$(md5sum <outCL.bmp 2>/dev/null || echo none)
  if [ "$a" = "$old" ] && [ "$b" = "$oldCL" ]; then echo old
  elif [ "$a" = "$new" ] && [ "$b" = "$newCL" ]; then echo new
  elif [ "$a" = none ] || [ "$b" = none ]; then echo missing
  else echo torn; fi
}
leftovers() { find . -maxdepth 1 -name '.morv-*' | wc -l; }

declare -A afterKill=() afterNext=()
litterAfterKill=0 litterAfterNext=0
for ((i = 0; i < runs; i++)); do
  cp old.bmp out.bmp
  cp oldCL.bmp outCL.bmp
  "$cli" "${task[@]}" -o out.bmp --force >/dev/null 2>&1 &
  pid=$!
  # A random moment within 1.2 times the run's time.
  sleep "$(awk -v r="$RANDOM" -v t="$took_ms" 'BEGIN { printf "%.3f", r / 32767 * t * 1.2 / 1000 }')"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  s=$(state)
  afterKill[$s]=$(( ${afterKill[$s]:-0} + 1 ))
  litterAfterKill=$(( litterAfterKill + $(leftovers) ))
  # The next run to the same names: refused (the outputs exist), but it first puts
  # a torn pair back and removes what the killed run left.
  "$cli" "${task[@]}" -o out.bmp >/dev/null 2>&1 || true
  s=$(state)
  afterNext[$s]=$(( ${afterNext[$s]:-0} + 1 ))
  litterAfterNext=$(( litterAfterNext + $(leftovers) ))
done
"$cli" "${task[@]}" -o out.bmp --force >/dev/null
final=$(state)

echo "side $side, $runs runs killed with SIGKILL within $(( took_ms * 12 / 10 )) ms (a run takes $took_ms ms)"
echo "right after the kill: old ${afterKill[old]:-0}, new ${afterKill[new]:-0}, torn ${afterKill[torn]:-0}, missing ${afterKill[missing]:-0}; leftover names $litterAfterKill"
echo "after the next run:   old ${afterNext[old]:-0}, new ${afterNext[new]:-0}, torn ${afterNext[torn]:-0}, missing ${afterNext[missing]:-0}; leftover names $litterAfterNext"
echo "last run with --force: $final pair, leftover names $(leftovers)"
[ "${afterNext[torn]:-0}" -eq 0 ] && [ "${afterNext[missing]:-0}" -eq 0 ] && [ "$litterAfterNext" -eq 0 ] &&
  [ "$final" = new ] && [ "$(leftovers)" -eq 0 ]
