#!/usr/bin/env bash
# The Debian package as a machine would unpack it, checked without installing
# it: every file at its place, the names that tie them together agreeing, the
# dependencies a bare machine needs to start the program, and the program it
# holds worked as the AT-SPI test works the built one (wm_close from a build).
#   package_test.sh DEB [WM_CLOSE]
# Without WM_CLOSE (a package for another machine, whose program cannot run
# here: make test-pi works it in its own root) the program is not run.
set -euo pipefail
deb=$1 wm_close=${2:-}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

passed=0 failed=0
check() {  # check WHAT COMMAND...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
quiet() { local out; out=$("$@" 2>&1) || { echo "$out"; return 1; }; }  # output on failure only

# The desktop entry names the ID that everything else is named after.
entries=("$root"/usr/share/applications/*.desktop)
check "one desktop entry" [ ${#entries[@]} -eq 1 -a -f "${entries[0]}" ]
id=$(basename "${entries[0]}" .desktop)
key() { sed -n "s/^$1=//p" "${entries[0]}"; }

check "the program in bin" [ -x "$root/usr/bin/$(key Exec)" ]
check "the entry's icon is the ID" [ "$(key Icon)" = "$id" ]
icons=(scalable/apps/$id.svg 48x48/apps/$id.png 64x64/apps/$id.png 128x128/apps/$id.png 256x256/apps/$id.png)
for icon in "${icons[@]}"; do
  check "icon $icon" [ -s "$root/usr/share/icons/hicolor/$icon" ]
done
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
check "the metainfo, under the ID" [ -f "$metainfo" ]
# The metainfo and the entry it launches, as software centres read them.
check "the installed tree validates" quiet appstreamcli validate-tree --no-net "$root"
check "the manual page" [ -f "$root/usr/share/man/man1/digits.1.gz" ]
check "copyright and changelog" [ -f "$root/usr/share/doc/digits/copyright" -a -f "$root/usr/share/doc/digits/changelog.gz" ]

# Depends is computed from the libraries the program links; the fonts and
# the Wayland platform are named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 fonts-arphic-ukai; do
  check "depends on $package" grep -qE "(^|, )$package( |,|$)" <<<"$depends"
done
check "recommends qt6-wayland" [ "$(dpkg-deb -f "$deb" Recommends)" = "qt6-wayland" ]

# The packaged program itself, built with the distribution's flags: its
# training run ends in the errors the engine's own test pins to the bit.
if [ -n "$wm_close" ]; then
  check "the program through AT-SPI" quiet /usr/bin/python3 "$(dirname "$0")/atspi_test.py" "$root/usr/bin/digits" "$wm_close"
else
  echo "not run here: the packaged program (no WM_CLOSE given)"
fi

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
