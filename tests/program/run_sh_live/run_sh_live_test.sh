#!/usr/bin/env bash
# scripts/run.sh for real, offscreen, on fresh program folders (copies of the built one without
# settings or tables): with the built Selvark and its quit option it starts the simulated handset,
# the program paints once and ends, and the handset is stopped; with the probe in Selvark's place
# the program connects with no setting changed, shows the simulator's maker and model and, after
# Download, lists the demo messages.
#   run_sh_live_test.sh <source top> <program folder> <probe> <handset-sim>
set -uo pipefail
src=$1 dist=$2 probe=$3 sim=$4
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
fail=0
check() { # description, condition
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}

# run.sh finds the handset at build/ of its checkout, and the test build may lie elsewhere: a
# checkout of links with the built handset where run.sh looks for it.
top=$work/top
mkdir -p "$top/scripts" "$top/tools/handset-sim" "$top/build/tools/handset-sim"
ln -s "$src/scripts/run.sh" "$top/scripts/run.sh"
ln -s "$src/tools/handset-sim/scenarios" "$top/tools/handset-sim/scenarios"
ln -s "$sim" "$top/build/tools/handset-sim/handset-sim"

fresh() { # a fresh program folder at $1 with the program $2 as Selvark
  mkdir -p "$1"
  cp -a "$dist"/*.so* "$dist/Face.jpg" "$dist/Plug-in" "$dist/Language" "$1/"
  cp "$2" "$1/Selvark"
}

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$work/runtime   # the instance lock: apart from a Selvark the user runs
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
live_sims() { pgrep -f -- "$top/build/tools/handset-sim/handset-sim" | wc -l; }

# The built program, its quit option.
fresh "$work/real" "$dist/Selvark"
out=$(timeout 120 "$top/scripts/run.sh" --no-build --program-dir "$work/real" -- --quit-after-paint 2>&1); rc=$?
echo "$out"
check "the program paints and ends with status 0" '[ $rc -eq 0 ]'
check "the simulated handset was started" 'grep -q "simulated handset in infrared range (demo.json)" <<<"$out"'
check "the time to the first paint is printed" 'grep -Eq "^first paint: [0-9]+ ms$" <<<"$out"'
check "settings written on a fresh folder" '[ -f "$work/real/ini/set.ini" ] || [ -f "$work/real/INI/set.ini" ]'
check "the simulated handset is stopped" '[ "$(live_sims)" -eq 0 ]'
check "no text missing from the language file" '! grep -q "Language keys not found" <<<"$out"'

# The probe: connect, status bar, Download, the list.
fresh "$work/probe" "$probe"
out=$(timeout 120 "$top/scripts/run.sh" --no-build --program-dir "$work/probe" 2>&1); rc=$?
echo "$out"
check "the probe succeeds" '[ $rc -eq 0 ]'
check "maker and model in the status bar" 'grep -q "^probe: status bar: .*SIMULATED.*HS-1000" <<<"$out"'
check "the demo messages are listed" 'grep -q "^probe: handset box lists 5 messages" <<<"$out"'
check "the simulated handset is stopped" '[ "$(live_sims)" -eq 0 ]'
check "no text missing from the language file" '! grep -q "Language keys not found" <<<"$out"'
exit $fail
