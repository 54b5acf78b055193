#!/usr/bin/env bash
# Starts the built program under Xvfb, waits for its window, closes it the
# way a window manager does and expects exit code 0.
#   real_window_test.sh PROGRAM WM_CLOSE
set -euo pipefail
program=$1 wm_close=$2

if [ -z "${UNDER_XVFB:-}" ]; then
  export UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

unset QT_QPA_PLATFORM
log=$(mktemp)
"$program" >"$log" 2>&1 &
pid=$!

# Wait for the window while the program is still running.
for _ in $(seq 1 300); do
  xdotool search --name '^Form1$' >/dev/null 2>&1 && break
  kill -0 $pid 2>/dev/null || { echo "the program ended before its window appeared"; cat "$log"; exit 1; }
  sleep 0.1
done
xdotool search --name '^Form1$' >/dev/null 2>&1 || { echo "the window Form1 never appeared"; cat "$log"; kill $pid; exit 1; }
sleep 1
"$wm_close" Form1

status=0
wait $pid || status=$?
if [ $status -ne 0 ]; then
  echo "the program ended with exit code $status"; cat "$log"; exit 1
fi
echo "closed by WM_DELETE_WINDOW, exit code 0"
