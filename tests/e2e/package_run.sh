#!/usr/bin/env bash
# End-to-end tests of the packages under Wine: the zip's contents, then the installer in a fresh
# prefix of its own (package_cases.sh), then the MSI in the same prefix (msi_cases.sh), removed at
# the end.
#
#   tests/e2e/package_run.sh [BUILD_DIR]     (default build/windows, after its package target)
#
# Prints PASS/FAIL lines and a closing "N passed, M failed"; exits non-zero on a failure.
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build/windows}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$repo/build/e2e-artifacts}

source "$repo/tools/wine/wine-env.sh"
source "$repo/tests/e2e/lib.sh"
source "$repo/tests/e2e/camzoom_cases.sh"
source "$repo/tests/e2e/package_cases.sh"
source "$repo/tests/e2e/msi_cases.sh"

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
PACKAGES=$build/packages
SHIPPED_LIST=$build/shipped-files.txt
needed=("$PACKAGES/camzoom-$VERSION-win64.zip" "$PACKAGES/camzoom-$VERSION-win64-setup.exe"
    "$PACKAGES/camzoom-$VERSION-win64.msi"
    "$SHIPPED_LIST" "$build/tools/wine_probe/wine_probe.exe")
for file in "${needed[@]}"; do
    if [ -z "$VERSION" ] || [ ! -f "$file" ]; then
        echo "missing $file: run cmake --build --preset windows --target package first"
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
# In the session that created the prefix, Wine's Task Scheduler service does not start (schtasks
# fails with SCHED_E_SERVICE_NOT_RUNNING); after a restart of the prefix's server it does.
wine_settle
mkdir -p "$WINEPREFIX/drive_c/e2e"
cp "$build/tools/wine_probe/wine_probe.exe" "$WINEPREFIX/drive_c/e2e/"

run_package_cases
run_msi_cases

wine_env_stop
echo "package e2e time: $(($(date +%s) - started)) s"
echo "$E2E_PASSED passed, $E2E_FAILED failed"
[ "$E2E_FAILED" -eq 0 ]
