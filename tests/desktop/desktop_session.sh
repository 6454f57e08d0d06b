#!/usr/bin/env bash
# Runs a command on a desktop of its own: a virtual X server with a window manager, both started
# here and stopped when the command ends. The command sees DISPLAY and QT_QPA_PLATFORM=xcb.
#   desktop_session.sh <command> [args...]
# Exit status: the command's; 77 (a skipped test) when the X server or the window manager is not
# installed, with a line that says which.
set -uo pipefail
if (($# == 0)); then
  echo "usage: desktop_session.sh <command> [args...]" >&2
  exit 2
fi
missing=()
for bin in Xvfb openbox xdotool; do
  command -v "$bin" >/dev/null 2>&1 || missing+=("$bin")
done
if ((${#missing[@]})); then
  echo "SKIPPED: the desktop tests need ${missing[*]} (scripts/deps.sh installs them)"
  exit 77
fi

work=$(mktemp -d)
xvfb_pid= wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf -- "$work"
}
trap cleanup EXIT

# Our own display number, taken under a lock: servers that pick a free number themselves race when
# two start at once (two test runs on one machine), and the loser's clients can end up on the
# winner's screen. A number some other server holds makes ours exit; then the next is tried. The
# server writes the number to the pipe once it accepts clients; the wait is long because a loaded
# machine can take many seconds to start one.
start_server() {
  local n=$1 dfd
  exec {dfd}<> <(:)
  Xvfb ":$n" -displayfd "$dfd" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  display=
  for _ in $(seq 1 600); do
    if read -r -t 0.1 -u "$dfd" display && [ -n "$display" ]; then break; fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
  done
  exec {dfd}>&-
  if [ "$display" = "$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    return 0
  fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid= display=
  return 1
}
display=
first=$((20 + RANDOM % 200))
for ((n = first; n < first + 100; ++n)); do
  exec {lockfd}>"/tmp/.selvark-desktop-$n.lock" || continue
  if flock -n "$lockfd" && start_server "$n"; then
    break # the lock stays held until the session ends
  fi
  exec {lockfd}>&-
done
if [ -z "$display" ]; then
  echo "FAILED: the X server did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=:$display

# The window manager runs its start-up command once it manages the screen.
ready=$work/wm-ready
HOME=$work openbox --config-file /dev/null --startup "touch $ready" >"$work/wm.log" 2>&1 &
wm_pid=$!
for _ in $(seq 1 600); do
  [ -e "$ready" ] && break
  kill -0 "$wm_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -e "$ready" ]; then
  echo "FAILED: the window manager did not start:" >&2
  cat "$work/wm.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=xcb
# The X keyboard library hands strndup strings that end at the length given, not at a zero byte,
# which the strict string check reports as a read past them; every other check stays on.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0
export SELVARK_DESKTOP=openbox
export LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(readlink -f "$0")")/lsan.supp
"$@"
