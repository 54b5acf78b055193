#!/usr/bin/env bash
# The Windows installer and the installed program under Wine, on Xvfb:
#   window_test.sh SETUP_EXE [SHOTS_DIR]
# - the installer, silent (/S), installs for the current user into a fresh
#   Wine prefix: the program, its Start menu entry and its entry among the
#   installed programs with version and publisher;
# - the installed program shows "Form1" at its designed bounds; "Train" ends
#   in the box "Train Number 10000" with the golden errors of epoch 0 in the
#   first list box; "Test" after picking "3" lists the outputs the Linux
#   program lists; closed, it ends with exit code 0, and so it does when
#   the session ends and after the box that says it cannot start (here for
#   want of its platform plugin);
# - the uninstaller leaves nothing behind; the same for all users.
# The lists are read as a user copies them (Ctrl+C copies a list's current
# line, and a message box's text); window_probe.exe, from the Windows build
# of the engine suite, reads the clipboard and the window's bounds. With
# SHOTS_DIR, pictures of the window after "Train" and after "Test" go there.
set -euo pipefail
setup=$(realpath "$1")
shots=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
probe=${WINDOW_PROBE:-$here/../../build-windows-tests/window_probe.exe}
[ -f "$probe" ] || { echo "no $probe: build the Windows engine suite first" >&2; exit 2; }
probe=$(realpath "$probe")

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
started=()
cleanup() {
  for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
started+=("$!")
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")

# A fresh prefix, its server kept while the test runs.
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix"
user_dir=$(winepath -u "C:\\users\\$(id -un)" 2>/dev/null)
[ -d "$user_dir" ] || user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)

probe() { wine "$probe" "$@" 2>/dev/null | tr -d '\r'; }
registry() {  # the value of an uninstall entry, or nothing
  wine reg query "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Digits" /v "$2" 2>/dev/null |
    tr -d '\r' | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# --- install for the current user --------------------------------------------
start=$(date +%s.%N)
wine "$setup" /S /CurrentUser || fail "the installer ended with $?"
echo "installed for the current user in $(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s"
install_dir=$user_dir/AppData/Local/Programs/Digits
[ -f "$install_dir/digits.exe" ] || fail "no digits.exe in $install_dir"
[ -f "$install_dir/platforms/qwindows.dll" ] || fail "no platforms/qwindows.dll"
[ -f "$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Digits.lnk" ] ||
  fail "no Start menu entry"
version=$(registry HKCU DisplayVersion)
publisher=$(registry HKCU Publisher)
[[ "$(basename "$setup")" == "digits-$version-setup.exe" ]] || fail "registered version '$version'"
[ "$publisher" = "The digits developers" ] || fail "registered publisher '$publisher'"
echo "registered: Digits $version by $publisher"

# --- the installed program ---------------------------------------------------
# No window manager here: Wine draws the frames itself, as Windows does.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
start_program() {  # start_program EXE WINDOW_TITLE: sets pid once the window shows
  local bounds=
  wine "$1" >"$work/out" 2>"$work/err" &
  pid=$!
  started+=("$pid")
  for _ in $(seq 1 300); do
    bounds=$(probe rect "$2") && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window \"$2\" appeared: $(cat "$work/err")"
    sleep 0.2
  done
  [ -n "$bounds" ] || fail "the window \"$2\" never appeared"
  sleep 1
}
ended_with_0() {  # ended_with_0 HOW: the program started last has ended, with exit code 0
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "$1, the program ended with exit code $status"
}
start_program "$install_dir/digits.exe" Form1
read -r left top width height cx cy cw ch < <(probe rect Form1)
echo "window at $left,$top ${width}x$height, client area at $cx,$cy ${cw}x$ch"
# Windows 10 and later keep the resize borders left, right and below the
# window invisible, and Qt gives the designed bounds to what is seen; Wine
# draws those borders (as wide as the client area's left edge is from the
# window's), so they are taken off here.
border=$((cx - left))
visible="$((left + border)),$top $((width - 2 * border))x$((height - border))"
[ "$visible" = "194,114 892x640" ] || fail "the window is seen at $visible, not at its designed bounds 194,114 892x640"

click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; sleep 0.3; }
copied() { probe clipboard; }
# The ten lines of a list box, copied one by one from its first.
list_lines() {
  click $(($1 + 20)) $(($2 + 8))
  # Wine takes the first key after a click on the window as its activation.
  xdotool key ctrl+Home; sleep 0.3; xdotool key ctrl+Home; sleep 0.5
  for i in $(seq 1 10); do
    xdotool key ctrl+c; sleep 0.4
    copied; echo
    xdotool key Down; sleep 0.1
  done
}

# "Train", and its box (titled with the program's name) when it comes.
click 124 532
for _ in $(seq 1 300); do probe rect digits >/dev/null && break; sleep 0.2; done
probe rect digits >/dev/null || fail "no box after Train"
sleep 0.5
xdotool key ctrl+c; sleep 0.3
box=$(copied)
[[ "$box" == *"Train Number 10000"* ]] || fail "the box after Train says: $box"
echo "after Train: the box says \"Train Number 10000\""
[ -z "$shots" ] || { mkdir -p "$shots"; import -window root -crop "${width}x${height}+${left}+${top}" +repage "$shots/train.png"; }
xdotool key Return; sleep 0.5

# As the Linux program lists them (its golden run).
golden_epoch0="1.34527945518494
1.33492434024811
1.32384324073792
1.3135347366333
1.30405366420746
1.29298567771912
1.28337430953979
1.27318918704987
1.26357626914978
1.25362288951874"
errors=$(list_lines 200 50)
[ "$errors" = "$golden_epoch0" ] || fail "the errors of epoch 0 are:
$errors"
echo "the first list box holds the golden errors of epoch 0"

# Digit 3, then "Test".
click 110 60; xdotool key Escape Home; sleep 0.2
for _ in 1 2 3; do xdotool key Down; sleep 0.1; done
click 328 532
sleep 0.5
[ -z "$shots" ] || import -window root -crop "${width}x${height}+${left}+${top}" +repage "$shots/test.png"
golden_test3="0.0991265624761581
0.0988494455814362
0.0994262099266052
0.099651038646698
0.0998031422495842
0.10010789334774
0.100456960499287
0.100330799818039
0.10104164481163
0.101036034524441"
outputs=$(list_lines 200 150)
[ "$outputs" = "$golden_test3" ] || fail "the outputs of Test on digit 3 are:
$outputs"
echo "Test on digit 3 lists the outputs the Linux program lists"

# Closed as a user closes it.
xdotool key --clearmodifiers alt+F4 2>/dev/null || true
ended_with_0 "closed"
echo "closed; exit code 0"

# The session ending (signing out, shutting down): Windows would end the
# program with a code of its own once it has answered.
start_program "$install_dir/digits.exe" Form1
wineboot --end-session >/dev/null 2>&1 || true
ended_with_0 "at the session's end"
grep -q "WM_ENDSESSION received; the window closes" "$work/err" ||
  fail "at the session's end the program did not end by itself: $(cat "$work/err")"
echo "at the session's end: closed; exit code 0"

# A start-up failure, here a folder without its platform plugin: Qt says it
# in a box (titled with the program's name), and the exit code is still 0.
cp -r "$install_dir" "$work/broken"
rm "$work/broken/platforms/qwindows.dll"
start_program "$work/broken/digits.exe" digits
read -r left top width height _ < <(probe rect digits)
for _ in $(seq 1 10); do  # the first click may only activate the box
  xdotool mousemove $((left + width / 2)) $((top + height / 2)) click 1 key Return
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || break
done
ended_with_0 "after the start-up failure's box"
grep -q 'platform plugin "windows" is missing' "$work/err" || fail "the start-up failure said: $(cat "$work/err")"
echo "without its platform plugin: a box, then exit code 0"

# --- uninstall, then the same for all users ------------------------------------
uninstall_and_check() {  # HIVE INSTALL_DIR
  local command program
  command=$(registry "$1" QuietUninstallString)
  [ -n "$command" ] || fail "no QuietUninstallString in $1"
  program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$command")
  # shellcheck disable=SC2086 # the arguments, split as Windows splits them
  wine "$program" ${command#\"$program\"} || fail "the uninstaller ended with $?"
  # It finishes from a copy of itself in the temporary folder.
  for _ in $(seq 1 200); do [ -e "$2" ] || break; sleep 0.1; done
  [ ! -e "$2" ] || fail "left behind: $(find "$2")"
  [ -z "$(registry "$1" DisplayName)" ] || fail "the uninstall entry stayed in $1"
  if find "$WINEPREFIX/drive_c" -iname 'digits*.lnk' | grep -q .; then fail "a shortcut stayed"; fi
  if wine reg query "$1\\Software\\Digits" >/dev/null 2>&1; then fail "the settings key stayed in $1"; fi
}
uninstall_and_check HKCU "$install_dir"
echo "uninstalled for the current user: nothing left"

wine "$setup" /S /AllUsers || fail "the installer for all users ended with $?"
all_dir="$WINEPREFIX/drive_c/Program Files/Digits"
[ -f "$all_dir/digits.exe" ] || fail "no digits.exe in $all_dir"
[ "$(registry HKLM DisplayVersion)" = "$version" ] || fail "no uninstall entry for all users"
uninstall_and_check HKLM "$all_dir"
echo "installed and uninstalled for all users: nothing left"
