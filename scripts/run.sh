#!/usr/bin/env bash
# Installs what is missing, builds the program folder (build/dist) and starts the program.
#
# When the settings name no cable port (a fresh folder uses IrDA, which on Linux reaches only the
# IrDA stand-in), the simulated handset is started first with a demo scenario, in infrared range
# on a stand-in folder of its own (SELVARK_IRDA_DIR), and stopped when the program ends.
#
#   scripts/run.sh [--no-sim] [--sim-scenario FILE] [--dry-run] [--no-build] [--program-dir DIR] [-- args]
#
#   --no-sim            start no simulated handset
#   --sim-scenario F    the simulated handset's scenario (it must set "irda": {"enabled": true})
#   --dry-run           print what would be started, start nothing
#   --no-build          use the program folder as it is
#   --program-dir DIR   the program folder (default build/dist)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

use_sim=1
dry_run=0
build=1
scenario=$top/tools/handset-sim/scenarios/demo.json
dist=$top/build/dist
args=()
while (($#)); do
  case $1 in
    --no-sim) use_sim=0 ;;
    --sim-scenario) [ $# -ge 2 ] || { echo "run.sh: --sim-scenario needs a file" >&2; exit 2; }
                    scenario=$(realpath -m -- "$2"); shift ;;
    --dry-run) dry_run=1 ;;
    --no-build) build=0 ;;
    --program-dir) [ $# -ge 2 ] || { echo "run.sh: --program-dir needs a folder" >&2; exit 2; }
                   dist=$(realpath -m -- "$2"); shift ;;
    --) shift; args+=("$@"); break ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) args+=("$1") ;;
  esac
  shift
done

sim_bin=$top/build/tools/handset-sim/handset-sim
if ((build && !dry_run)); then
  scripts/deps.sh
  # Only the program folder and the simulated handset: tests and timings are built when asked.
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSELVARK_TESTS=OFF -DSELVARK_BENCH=OFF >/dev/null
  cmake --build build
fi

# One key of section "comset" of the program folder's ini/set.ini (names without regard to case,
# as the program reads them); empty when absent.
setting() {
  local ini
  ini=$(find "$dist" -maxdepth 2 -ipath "$dist/ini/set.ini" -type f 2>/dev/null | head -n 1)
  [ -n "$ini" ] || return 0
  awk -v key="$1" '
    /^[ \t]*\[/ { s = tolower($0); gsub(/[ \t\[\]\r]/, "", s); insec = (s == "comset"); next }
    insec {
      i = index($0, "="); if (!i) next
      k = tolower(substr($0, 1, i - 1)); gsub(/^[ \t]+|[ \t]+$/, "", k)
      if (k == tolower(key)) { v = substr($0, i + 1); gsub(/^[ \t]+|[ \t\r]+$/, "", v); print v; exit }
    }' "$ini"
}

com_type=$(setting ComType)
com_port=$(setting ComPort)
need_sim=0
if ((use_sim)) && ! { [ -n "$com_port" ] && [ "${com_type,,}" != "irda" ] && [ -n "$com_type" ]; }; then
  need_sim=1
fi

if ((!dry_run)) && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); Selvark needs one." >&2
  exit 1
fi

if [ ! -x "$dist/Selvark" ] && ((!dry_run)); then
  echo "run.sh: $dist/Selvark is missing; build it first (without --no-build)." >&2
  exit 1
fi

if ((need_sim)); then
  [ -f "$scenario" ] || { echo "run.sh: no scenario file $scenario" >&2; exit 2; }
  grep -q '"irda"' "$scenario" ||
    echo "run.sh: note: $scenario does not put the handset in infrared range (\"irda\")" >&2
fi

if ((dry_run)); then
  if ((need_sim)); then
    echo "SELVARK_IRDA_DIR=<private folder> $sim_bin --scenario $scenario"
    echo "SELVARK_IRDA_DIR=<private folder> $dist/Selvark${args[*]:+ ${args[*]}}"
  else
    echo "$dist/Selvark${args[*]:+ ${args[*]}}"
  fi
  exit 0
fi

if ((!need_sim)); then
  exec "$dist/Selvark" "${args[@]}"
fi

irda_dir=$(mktemp -d "${TMPDIR:-/tmp}/selvark-irda.XXXXXX")
export SELVARK_IRDA_DIR=$irda_dir
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf -- "$irda_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
"$sim_bin" --scenario "$scenario" > "$irda_dir/handset.tty" &
sim_pid=$!
# The handset is ready once it has printed its line.
for _ in $(seq 1 100); do
  [ -s "$irda_dir/handset.tty" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run.sh: the simulated handset did not start" >&2; exit 1; }
  sleep 0.05
done
echo "run.sh: simulated handset in infrared range ($(basename "$scenario"))"
status=0
"$dist/Selvark" "${args[@]}" || status=$?
exit "$status"
