#!/usr/bin/env bash
# Kills a save at random moments with SIGKILL while it replaces an existing pair of
# outputs, and checks what each kill left and what the next run makes of it.
#
#   scripts/kill-loop.sh [--window] [SIDE] [RUNS] [CLI] [LEAN] [MORV]
#
# SIDE (default 4096) is the map's side, RUNS (default 100) the number of kills;
# CLI, LEAN and MORV default to build/src/app/morv-cli, build/tests/morv-lean and
# build/src/app/morv. The saver killed is "morv-cli redraw --force", or with
# --window the window's Save: morv opens the old pair on a virtual X server
# (xvfb-run), Redraw flattens the mountains by 40 %, Ctrl+S answered Yes replaces
# the pair, and the kill falls within the save itself. After every kill the pair
# must be the old pair, the new pair or torn (any other file would be a fault of
# the saver or of this driver); the next run without --force (refused,
# since the outputs exist) must leave the old or the new pair whole and no
# temporary; a last save run to its end must write the new pair.
# Prints the counts; exits 1 when any pair is left torn or anything is left behind.
set -euo pipefail
window=false
if [ "${1:-}" = --window ]; then
  window=true
  shift
  if [ -z "${MORV_KILL_LOOP_DISPLAY:-}" ]; then
    # One virtual X server for the whole loop; settings go to a throw-away folder.
    exec env MORV_KILL_LOOP_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x900x24" "$(realpath "$0")" --window "$@"
  fi
fi
cd "$(dirname "$0")/.."
side=${1:-4096}
runs=${2:-100}
cli=$(realpath "${3:-build/src/app/morv-cli}")
lean=$(realpath "${4:-build/tests/morv-lean}")
morv=$(realpath -m "${5:-build/src/app/morv}")

work=$(mktemp -d "${TMPDIR:-/tmp}/morv-kill-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
map=$("$lean" make "$side" .)
task=(redraw "$map" --flatten 50 --fill 50 --scale-up)
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"

# The window's warning on opening a square map that does not fit the boards.
warning=
if (( side % 8 != 0 )); then warning="^Image Size Mismatch$"
elif (( side % 144 != 0 )); then warning="^Image Not Scaled to BaseBoards$"; fi

# The seconds a map takes to open after its warning.
settle=$(awk -v s="$side" 'BEGIN { printf "%.1f", 0.5 + s * s / 8e6 }')
redrawKeys() {  # each key once the one before has shown its effect
  xdotool key alt+m      # Flatten Mountains; its bar takes the focus
  sleep 0.3
  xdotool key Next Next  # two large steps: 40 %
  sleep 0.3
  xdotool key alt+r      # Redraw
}

# Gives the keyboard to the first visible window titled like $1 (there is no window
# manager on the virtual server); again when the window found went away meanwhile.
focus() {
  until xdotool windowfocus --sync "$(xdotool search --sync --onlyvisible --name "$1" | head -1)" 2>/dev/null; do
    sleep 0.1
  done
}

# Starts a save replacing out.bmp and outCL.bmp and returns once it has begun; the
# saving process is $pid.
startSave() {
  if ! $window; then
    "$cli" "${task[@]}" -o out.bmp --force >/dev/null 2>&1 &
    pid=$!
    return
  fi
  # Keys sent while the window is not ready can be lost; a try that has not reached
  # the overwrite question in time is ended and made again (counted as a retry).
  local deadline
  while :; do
    "$morv" "$work/out.bmp" >/dev/null 2>&1 &
    pid=$!
    deadline=$(( $(date +%s) + 30 + side * side / 1000000 ))
    if [ -n "$warning" ]; then focus "$warning"; xdotool key Return; fi
    focus "^Morv:"
    sleep "$settle"  # the map is still being opened: the controls are off
    redrawKeys
    # Save is off until Redraw has changed the map: ask until the overwrite question comes.
    until xdotool search --onlyvisible --name "^File Already Exists$" >/dev/null 2>&1 || [ "$(date +%s)" -gt "$deadline" ]; do
      if xdotool search --onlyvisible --name "^No Task Selected$" >/dev/null 2>&1; then
        focus "^No Task Selected$"
        xdotool key Return
        focus "^Morv:"
        redrawKeys
      fi
      focus "^Morv:"
      xdotool key ctrl+s
      sleep 0.2
    done
    xdotool search --onlyvisible --name "^File Already Exists$" >/dev/null 2>&1 && break
    stopSaver
    retries=$(( retries + 1 ))
  done
  focus "^File Already Exists$"
  xdotool key alt+y
}

# Waits for the save started by startSave to end by itself.
finishSave() {
  if ! $window; then wait "$pid"; return; fi
  # The window stays open: the save has ended when both files are new and nothing is staged.
  local a b
  while :; do
    read -r a b < <(inodes)
    [ "$a" != "${before% *}" ] && [ "$b" != "${before#* }" ] && [ "$(leftovers)" -eq 0 ] && break
    sleep 0.02
  done
  stopSaver
}

stopSaver() {
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

inodes() { echo $(stat -c %i out.bmp outCL.bmp 2>/dev/null); }
leftovers() { find . -maxdepth 1 -name '.morv-*' | wc -l; }

restoreOld() {
  cp old.bmp out.bmp
  cp oldCL.bmp outCL.bmp
  before=$(inodes)
}

retries=0
# The old pair: two files the new pair can be told from.
cp "$map" old.bmp
cp "$map" oldCL.bmp
old=$(md5sum <old.bmp)
oldCL=$(md5sum <oldCL.bmp)
# The new pair and how long a save over a freshly copied old pair takes, as in the
# loop (the copy's write-back slows it): the kills fall within 1.2 times the middle
# of three such times.
tries=()
for try in 1 2 3; do
  restoreOld
  startSave
  start=$(date +%s%N)
  finishSave
  t=$(( ($(date +%s%N) - start) / 1000000 ))
  tries+=("$t")
  if [ "$try" = 1 ]; then
    new=$(md5sum <out.bmp)
    newCL=$(md5sum <outCL.bmp)
  elif [ "$(md5sum <out.bmp)" != "$new" ] || [ "$(md5sum <outCL.bmp)" != "$newCL" ]; then
    echo "two saves of the same work wrote different files" >&2
    exit 1
  fi
done

took_ms=$(printf '%s\n' "${tries[@]}" | sort -n | sed -n 2p)  # the middle one

# Which file a name holds: old (the copy made before the save, still under its
# inode: put back by a repair it keeps it), new (a file renamed into place with
# the new content), missing or other. The inode tells them apart where the
# contents cannot: the window writes the contour image back unchanged.
version() {  # NAME INODE-BEFORE OLD-SUM NEW-SUM
  local ino sum
  ino=$(stat -c %i "$1" 2>/dev/null) || { echo missing; return; }
  sum=$(md5sum <"$1")
  if [ "$ino" = "$2" ] && [ "$sum" = "$3" ]; then echo old
  elif [ "$ino" != "$2" ] && [ "$sum" = "$4" ]; then echo new
  else echo other; fi
}
state() {  # old, new, torn (one old, one new), missing or other, of out.bmp and outCL.bmp
  local a b
  a=$(version out.bmp "${before% *}" "$old" "$new")
  b=$(version outCL.bmp "${before#* }" "$oldCL" "$newCL")
  if [ "$a" = "$b" ] && [ "$a" != other ]; then echo "$a"
  elif [ "$a" = missing ] || [ "$b" = missing ]; then echo missing
  elif [ "$a" != other ] && [ "$b" != other ]; then echo torn
  else echo other; fi
}

declare -A afterKill=() afterNext=()
litterAfterKill=0 litterAfterNext=0
for ((i = 0; i < runs; i++)); do
  restoreOld
  startSave
  # A random moment within 1.2 times the save's time.
  sleep "$(awk -v r="$RANDOM" -v t="$took_ms" 'BEGIN { printf "%.3f", r / 32767 * t * 1.2 / 1000 }')"
  stopSaver
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
restoreOld
startSave
finishSave
final=$(state)

saver="morv-cli"
$window && saver="the window's Save"
echo "side $side, $runs saves by $saver killed with SIGKILL within $(( took_ms * 12 / 10 )) ms (a save takes $took_ms ms)"
echo "right after the kill: old ${afterKill[old]:-0}, new ${afterKill[new]:-0}, torn ${afterKill[torn]:-0}, missing ${afterKill[missing]:-0}, other ${afterKill[other]:-0}; leftover names $litterAfterKill"
echo "after the next run:   old ${afterNext[old]:-0}, new ${afterNext[new]:-0}, torn ${afterNext[torn]:-0}, missing ${afterNext[missing]:-0}, other ${afterNext[other]:-0}; leftover names $litterAfterNext"
echo "last save run to its end: $final pair, leftover names $(leftovers)"
$window && echo "window runs started again because keys were lost before the save: $retries"
[ "${afterNext[torn]:-0}" -eq 0 ] && [ "${afterNext[missing]:-0}" -eq 0 ] && [ "${afterNext[other]:-0}" -eq 0 ] && [ "$litterAfterNext" -eq 0 ] &&
  [ "$final" = new ] && [ "$(leftovers)" -eq 0 ]
