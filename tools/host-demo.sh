#!/usr/bin/env bash
# The host build's acceptance run. In a folder of its own, whose config.dat names a simulated
# camera and whose config.ini stores zoom 150, `camzoom autoset` applies the zoom, shows a status
# line ending in ", zoom=150" and exits with 0; a following interactive run (its input ends at
# once, which closes the window) reads zoom 150 back from that camera; a third, whose console
# types "zoom 320", chooses 320 in the zoom dialog and saves it.
#
#   tools/host-demo.sh [build-dir]      (default build/host; built first when camzoom is missing)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$repo/build/host}"
exe="$build/app/camzoom"
if [[ ! -x "$exe" ]]; then
    echo "== building $exe"
    cmake --preset host -B "$build" >/dev/null
    cmake --build "$build" -j2 --target camzoom
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/camzoom-host-demo.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/camzoom"

# config.dat: the settings text behind its 32-bit little-endian length.
python3 - "$work/config.dat" \
    '"VCapSource=Demo Camera",VCapModeWidth=640,VCapModeHeight=480' <<'PY'
import struct, sys
text = sys.argv[2].encode("cp1252")
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<i", len(text)) + text)
PY
printf '[options]\nzoom=150\n' >"$work/config.ini"

# The simulated camera, read by the host capture runtime from beside the executable. Controls:
# min max step default value flags caps. Its zoom starts at 100; Set writes the new value back.
cat >"$work/camzoom-devices.ini" <<'INI'
[device]
name = Demo Camera
size = 640x480
format = YUY2
pan = -180 180 1 0 0 2 3
zoom = 100 500 1 100 100 2 3
focus = 0 250 5 0 0 1 3
INI

failures=0
check() {  # check <description> <command...>
    if "${@:2}"; then echo "   ok: $1"; else echo "   FAILED: $1"; failures=$((failures + 1)); fi
}

echo "== $work/camzoom autoset"
set +e
(cd "$work" && timeout 30 ./camzoom autoset </dev/null >"$work/autoset.out" 2>&1)
status=$?
set -e
sed 's/^/   | /' "$work/autoset.out"
check "exit code 0 (was $status)" test "$status" -eq 0
check "status line ends with \", zoom=150\"" grep -q '^label1: Model:Demo Camera, tryb=640x480, zoom=150$' "$work/autoset.out"
check "the camera keeps zoom 150" grep -q '^zoom = 100 500 1 100 150 ' "$work/camzoom-devices.ini"

echo "== $work/camzoom (interactive, input ends at once)"
set +e
(cd "$work" && timeout 30 ./camzoom </dev/null >"$work/interactive.out" 2>&1)
status=$?
set -e
sed 's/^/   | /' "$work/interactive.out"
check "exit code 0 (was $status)" test "$status" -eq 0
check "reads zoom 150 from the camera" grep -q '^label1: Model:Demo Camera, tryb=640x480, zoom=150$' "$work/interactive.out"
check "shows the stored zoom" grep -q '^label2: Set zoom=150$' "$work/interactive.out"

echo "== $work/camzoom (interactive: the zoom dialog from the console, zoom 320, then the input ends)"
set +e
(cd "$work" && printf 'zoom 320\n' | timeout 30 ./camzoom >"$work/dialog.out" 2>&1)
status=$?
set -e
sed 's/^/   | /' "$work/dialog.out"
check "exit code 0 (was $status)" test "$status" -eq 0
check "the dialog opened at the camera's zoom" grep -q '^Camera zoom: label1: 150$' "$work/dialog.out"
check "the slider went to 320" grep -q '^Camera zoom: label1: 320$' "$work/dialog.out"
check "Save stored 320" grep -qx 'zoom=320' "$work/config.ini"
check "the camera keeps zoom 320" grep -q '^zoom = 100 500 1 100 320 ' "$work/camzoom-devices.ini"
check "the window's lines read again" grep -q '^label2: Set zoom=320$' "$work/dialog.out"

if ((failures)); then
    echo "host demo: $failures check(s) failed"
    exit 1
fi
echo "host demo: all checks passed"
