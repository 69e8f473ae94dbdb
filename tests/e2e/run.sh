#!/usr/bin/env bash
# End-to-end tests under Wine: the virtual camera against the platform's capture graph, then
# camzoom.exe against the virtual camera, then the keeper camzoom_watch.exe beside it, in a Wine
# prefix made and removed here.
#
#   tests/e2e/run.sh [BUILD_DIR]     (default build/windows)
#
# E2E_ONLY="graph camzoom zoom_dialog camera_settings watch" (any of them) runs only those
# groups of cases, for working on one of them; by default all run.
# Prints PASS/FAIL lines and a closing "N passed, M failed"; exits non-zero on a failure.
# Screenshots of failures go to $E2E_ARTIFACTS (default build/e2e-artifacts).
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build/windows}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$repo/build/e2e-artifacts}

source "$repo/tools/wine/wine-env.sh"
source "$repo/tests/e2e/lib.sh"
source "$repo/tests/e2e/graph_cases.sh"
source "$repo/tests/e2e/camzoom_cases.sh"
source "$repo/tests/e2e/watch_cases.sh"
source "$repo/tests/e2e/zoom_dialog_cases.sh"
source "$repo/tests/e2e/camera_settings_cases.sh"

vcam_dir=$build/virtual_camera
needed=("$vcam_dir/camzoom_vcam.dll" "$vcam_dir/camzoom_vcam_register.exe"
    "$vcam_dir/graph_check/graph_check.exe" "$build/tools/wine_probe/wine_probe.exe")
for file in "${needed[@]}"; do
    if [ ! -f "$file" ]; then
        echo "missing $file: build the windows preset first"
        echo "0 passed, 1 failed"
        exit 1
    fi
done

started=$(date +%s)
if ! wine_env_start; then
    echo "cannot set up Wine"
    echo "0 passed, 1 failed"
    exit 1
fi
wine_vcam_install "$build"
mkdir -p "$WINEPREFIX/drive_c/e2e"
cp "$vcam_dir/graph_check/graph_check.exe" "$build/tools/wine_probe/wine_probe.exe" \
    "$WINEPREFIX/drive_c/e2e/"

# wanted GROUP: whether E2E_ONLY leaves the group in.
wanted() { [ -z "${E2E_ONLY:-}" ] || [[ " $E2E_ONLY " == *" $1 "* ]]; }

if wanted graph; then run_graph_cases; fi

CAMZOOM_EXE=$build/app/camzoom.exe
if [ -f "$CAMZOOM_EXE" ]; then
    if wanted camzoom; then run_camzoom_cases; fi
    if wanted zoom_dialog; then run_zoom_dialog_cases; fi
    if wanted camera_settings; then run_camera_settings_cases; fi
else
    echo "SKIP camzoom.exe cases: $CAMZOOM_EXE is not built"
fi

WATCH_EXE=$build/watch/camzoom_watch.exe
if [ -f "$CAMZOOM_EXE" ] && [ -f "$WATCH_EXE" ]; then
    if wanted watch; then run_watch_cases; fi
else
    echo "SKIP camzoom_watch.exe cases: $WATCH_EXE or $CAMZOOM_EXE is not built"
fi

wine_env_stop
echo "e2e time: $(($(date +%s) - started)) s"
echo "$E2E_PASSED passed, $E2E_FAILED failed"
[ "$E2E_FAILED" -eq 0 ]
