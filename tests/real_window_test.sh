#!/usr/bin/env bash
# The built program as a user starts it, in an X server of its own (Xvfb).
#   real_window_test.sh CHECK PROGRAM WM_CLOSE
# CHECK is one of:
#   close           no window manager: the window has the designed bounds, and
#                   closed the way a window manager does it ends with 0
#   command-line    started with Qt's own options it looks as started plainly
#   window-manager  under openbox the frame has the designed bounds
#   small-screen    under openbox on a 1024 x 768 screen the frame is moved
#                   the least distance that brings it onto the screen
#   display-lost    the X server goes away under the running program: one
#                   line on standard error, exit code 0
#   no-display      no display can be opened: one line on standard error,
#                   exit code 0, no core dump
#   signals         SIGINT, SIGTERM and SIGHUP each close the window: one
#                   line on standard error naming the signal, exit code 0
set -euo pipefail
check=$1 program=$(realpath "$2") wm_close=$(realpath "$3")

# The program starts on X whatever the test runner asked of Qt.
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
work=$(mktemp -d)
# Without a runtime directory Qt warns on standard error, which the checks
# of the program's own line would see.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

started=()
cleanup() {
  for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  if [ -s "$work/err" ]; then echo "--- the program's standard error:"; cat "$work/err"; fi
  if [ -s "$work/openbox.log" ]; then echo "--- openbox:"; cat "$work/openbox.log"; fi
  exit 1
}

# The designed bounds of the window: left,top widthxheight.
designed="194,114 892x640"

# -noreset: by default the server resets whenever its last client leaves, and
# a program started during that reset finds no display; a check that starts
# the program twice met it there.
start_x() {
  Xvfb -displayfd 3 -noreset -screen 0 "${1:-1280x800}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xserver=$!
  started+=("$xserver")
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(cat "$work/display")
}

# The server has named its display; wait until it answers there.
wait_display() {
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "the X server on $DISPLAY does not answer: $(cat "$work/xvfb.log")"
}

start_openbox() {
  wait_display
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  started+=("$!")
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  fail "openbox did not start: $(cat "$work/openbox.log")"
}

start_program() {
  start_program_with "" "$@"
}

# The same, the program started by a command that execs it (env ...).
start_program_with() {
  local launcher=$1
  shift
  wait_display
  $launcher "$program" "$@" >"$work/out" 2>"$work/err" &
  pid=$!
  started+=("$pid")
}

# Sets $window once the program's window is there.
wait_window() {
  for _ in $(seq 1 300); do
    window=$(xdotool search --name '^Form1$' 2>/dev/null | head -1) && [ -n "$window" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.1
  done
  fail "the window Form1 never appeared"
}

expect_exit_zero() {
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "the program ended with exit code $status"
}

expect_one_line_of_its_own() {
  [ ! -s "$work/out" ] || fail "it wrote to standard output: $(cat "$work/out")"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "standard error has $(wc -l <"$work/err") lines, not one"
  echo "  standard error: $(cat "$work/err")"
}

# The client area on the screen: "left top width height".
client_area() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
                          /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print x, y, w, h }'
}

bounds() {
  local x y w h
  read -r x y w h < <(client_area "$1")
  echo "$x,$y ${w}x$h"
}

# The client area grown by the margins the window manager gives its frame.
frame_bounds() {
  local x y w h extents l r t b
  read -r x y w h < <(client_area "$1")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$extents" ] || { echo "no frame"; return; }
  IFS=, read -r l r t b <<<"$extents"
  echo "$((x - l)),$((y - t)) $((w + l + r))x$((h + t + b))"
}

close_and_expect_zero() {
  "$wm_close" Form1 || fail "could not ask the window to close"
  expect_exit_zero
}

case $check in
  close)
    start_x
    start_program
    wait_window
    sleep 1
    [ "$(bounds "$window")" = "$designed" ] || fail "the window is at $(bounds "$window"), not $designed"
    close_and_expect_zero
    echo "at $designed; closed by WM_DELETE_WINDOW, exit code 0"
    ;;

  command-line)
    start_x
    start_program
    wait_window
    sleep 1
    plain=$(bounds "$window")
    import -window "$window" "$work/plain.png"
    close_and_expect_zero

    options=(-reverse -style windows -qwindowgeometry 300x200+10+10)
    start_program "${options[@]}"
    wait_window
    sleep 1
    [ "$(bounds "$window")" = "$plain" ] || fail "with ${options[*]} the window is at $(bounds "$window"), not $plain"
    import -window "$window" "$work/options.png"
    close_and_expect_zero
    differing=$(compare -metric AE "$work/plain.png" "$work/options.png" null: 2>&1 || true)
    [ "$differing" = 0 ] || fail "with ${options[*]} $differing pixels differ from the plain start"
    echo "with ${options[*]} the window looks as started plainly"
    ;;

  window-manager | small-screen)
    expected=$designed
    if [ "$check" = small-screen ]; then
      # The designed frame would end 62 px past the right edge: it moves
      # left just enough.
      start_x 1024x768
      expected="132,114 892x640"
    else
      start_x
    fi
    start_openbox
    start_program
    wait_window
    # The frame reaches its size only once the window manager has framed
    # the window; on a loaded machine that can take seconds.
    deadline=$((SECONDS + 30))
    while [ "$(frame_bounds "$window")" != "$expected" ] && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
    [ "$(frame_bounds "$window")" = "$expected" ] ||
      fail "the frame is at $(frame_bounds "$window"), not $expected (client area $(bounds "$window"))"
    sleep 1  # and it stays so
    [ "$(frame_bounds "$window")" = "$expected" ] || fail "the frame moved to $(frame_bounds "$window")"
    echo "under openbox: frame $expected, client area $(bounds "$window")"
    close_and_expect_zero
    ;;

  display-lost)
    start_x
    start_program
    wait_window
    sleep 1
    kill "$xserver"
    expect_exit_zero
    expect_one_line_of_its_own
    ;;

  no-display)
    # A display number that no server answers on.
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    cd "$work"  # where a core dump would be written
    for display in ":$n" unset; do
      echo "DISPLAY $display:"
      if [ "$display" = unset ]; then
        (unset DISPLAY; exec "$program") >"$work/out" 2>"$work/err" &
      else
        DISPLAY=$display "$program" >"$work/out" 2>"$work/err" &
      fi
      pid=$!
      started+=("$pid")
      expect_exit_zero
      expect_one_line_of_its_own
      if compgen -G "$work/core*" >/dev/null; then fail "it left a core dump"; fi
    done
    ;;

  signals)
    start_x
    for signal in INT TERM HUP; do
      # A script's background job starts with SIGINT ignored; a program
      # started from a terminal has it at its default.
      start_program_with "env --default-signal=INT"
      wait_window
      sleep 1
      kill -s "$signal" "$pid"
      expect_exit_zero
      expect_one_line_of_its_own
      grep -q "SIG$signal" "$work/err" || fail "standard error does not name SIG$signal"
    done
    ;;

  *)
    echo "unknown check $check" >&2
    exit 2
    ;;
esac
