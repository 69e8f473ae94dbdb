#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both builds, runs the host unit tests plainly,
# under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, then the Windows
# end-to-end tests under Wine against the virtual camera.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n==== %s ====\n' "$*"; }

step "installing packages"
bash tools/setup/install-deps.sh

step "building libjpeg-turbo for Windows"
bash tools/setup/build-libjpeg-windows.sh

failures=0
suites=0
run_host_suite() {
    local preset=$1
    suites=$((suites + 1))
    step "host tests: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    if ! ctest --preset "$preset" -j 1; then
        failures=$((failures + 1))
    fi
}

run_host_suite host
run_host_suite host-asan
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_host_suite host-tsan

step "windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

step "Win32 toolkit check under Wine"
suites=$((suites + 1))
if ! bash tools/win32_gui_check/run.sh build/windows; then
    failures=$((failures + 1))
fi

step "end-to-end tests under Wine"
suites=$((suites + 1))
if ! bash tests/e2e/run.sh build/windows; then
    failures=$((failures + 1))
fi

step "packages: zip and installer"
cmake --build --preset windows --target package

step "reproducible build: a second build folder gives the same bytes"
suites=$((suites + 1))
if ! bash tests/release/reproducible.sh build/windows; then
    failures=$((failures + 1))
fi

step "packages under Wine: install, version, autoset exit codes, logon task, uninstall"
suites=$((suites + 1))
if ! bash tests/e2e/package_run.sh build/windows; then
    failures=$((failures + 1))
fi

step "summary"
echo "suites: $((suites - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
