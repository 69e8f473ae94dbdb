#!/usr/bin/env bash
# Runs the Win32 toolkit check under Wine in a throw-away prefix.
#   tools/win32_gui_check/run.sh [BUILD_DIR] [--screenshot FILE]
# BUILD_DIR is a `windows` preset build (default build/windows) with win32_gui_check built.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/windows}
shot=""
if [ "${2:-}" = "--screenshot" ]; then shot=${3:?screenshot file}; fi
exe="$build/tools/win32_gui_check/win32_gui_check.exe"
if [ ! -f "$exe" ]; then
    echo "win32_gui_check: $exe not built" >&2
    exit 1
fi

# shellcheck source=../wine/wine-env.sh
source tools/wine/wine-env.sh
wine_env_start || { echo "win32_gui_check: cannot set up Wine" >&2; exit 1; }

if [ -n "$shot" ]; then
    wine_start "$exe" --hold
    sleep 6
    wine_screenshot "$shot"
    wine_wait "$WINE_BG_PID" 60
    rc=$?
else
    # A program that Wine could not start prints nothing; that is the prefix's failure, not the
    # check's, so it is tried once more. A run that reported any check stands as it is.
    for attempt in 1 2; do
        out=$(wine_run 120 "$exe")
        rc=$?
        printf '%s\n' "$out"
        if [ "$rc" -eq 0 ] || grep -qE '^(PASS|FAIL)' <<<"$out"; then break; fi
        echo "win32_gui_check: no output from Wine (exit code $rc), attempt $attempt" >&2
    done
fi
echo "win32_gui_check exit code $rc"
exit "$rc"
