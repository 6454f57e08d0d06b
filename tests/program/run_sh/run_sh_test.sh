#!/usr/bin/env bash
# scripts/run.sh without building or starting anything: which commands it would run for a fresh
# program folder and for one whose settings name a cable port, and its refusal without a display.
set -uo pipefail
top=$1
run=$top/scripts/run.sh
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
fail=0
check() { # description, condition
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}

fresh=$work/fresh
mkdir -p "$fresh"
out=$("$run" --dry-run --no-build --program-dir "$fresh" 2>&1); rc=$?
echo "$out"
check "dry run on a fresh folder succeeds" '[ $rc -eq 0 ]'
check "the simulated handset with the demo scenario" \
  'grep -q "handset-sim --scenario .*tools/handset-sim/scenarios/demo.json" <<<"$out"'
check "shared through SELVARK_IRDA_DIR" 'grep -q "^SELVARK_IRDA_DIR=.* $fresh/Selvark" <<<"$out"'

irda=$work/irda
mkdir -p "$irda/ini"
printf '[comset]\r\nComType=IrDA\r\nComPort=\r\n' > "$irda/ini/set.ini"
out=$("$run" --dry-run --no-build --program-dir "$irda" 2>&1)
check "IrDA settings start the handset too" 'grep -q "handset-sim" <<<"$out"'

cable=$work/cable
mkdir -p "$cable/INI"
printf '[COMSET]\nkeeptime=0\nComType = Cable\nComPort = /dev/ttyUSB0\n' > "$cable/INI/set.ini"
out=$("$run" --dry-run --no-build --program-dir "$cable" 2>&1); rc=$?
echo "$out"
check "dry run with a cable port succeeds" '[ $rc -eq 0 ]'
check "no simulated handset for a cable port" '! grep -q "handset-sim" <<<"$out"'
check "the program alone" '[ "$out" = "$cable/Selvark" ]'

out=$("$run" --dry-run --no-build --no-sim --program-dir "$fresh" 2>&1)
check "--no-sim starts no handset" '! grep -q "handset-sim" <<<"$out"'
out=$("$run" --dry-run --no-build --sim-scenario "$top/tools/handset-sim/scenarios/default.json" --program-dir "$fresh" 2>&1)
check "--sim-scenario names the file" 'grep -q "handset-sim --scenario $top/tools/handset-sim/scenarios/default.json" <<<"$out"'

# Without a display: a message and a failure, and nothing started.
printf '#!/bin/sh\ntouch "%s/started"\n' "$fresh" > "$fresh/Selvark"
chmod +x "$fresh/Selvark"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$run" --no-build --no-sim --program-dir "$fresh" 2>&1); rc=$?
echo "$out"
check "no display: exits non-zero" '[ $rc -ne 0 ]'
check "no display: says so" 'grep -qi "no display" <<<"$out"'
check "no display: nothing started" '[ ! -e "$fresh/started" ]'
exit $fail
