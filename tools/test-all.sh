#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both builds, runs the host unit tests plainly,
# under AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, each libFuzzer
# target for a short while, then the Windows end-to-end tests under Wine against the virtual
# camera. A C++ file that clang-format would change fails the run before anything is built.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n==== %s ====\n' "$*"; }

step "installing packages"
bash tools/setup/install-deps.sh

step "formatting"
# Fails at once on a C++ file that clang-format (.clang-format) would change.
git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "every C++ file is formatted"

step "building libjpeg-turbo for Windows"
bash tools/setup/build-libjpeg-windows.sh

failures=0
suites=0
# run_suite TITLE COMMAND...: one counted suite; a failure is counted and the run goes on.
run_suite() {
    local title=$1
    shift
    suites=$((suites + 1))
    step "$title"
    if ! "$@"; then
        failures=$((failures + 1))
    fi
}
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

# Every fuzz/fuzz_*.cpp must build and run FUZZ_SECONDS (20 by default) without a finding; the
# corpus of each target grows in build/fuzz/corpus/. Longer runs: fuzz/README.md.
run_fuzz_targets() {
    local seconds=${FUZZ_SECONDS:-20} source name target log
    suites=$((suites + 1))
    step "fuzz targets, ${seconds} s each"
    cmake --preset fuzz >/dev/null
    if ! cmake --build --preset fuzz -j "$jobs"; then
        failures=$((failures + 1))
        return
    fi
    local failed=0
    for source in fuzz/fuzz_*.cpp; do
        name=$(basename "$source" .cpp)
        target=build/fuzz/fuzz/$name
        log=build/fuzz/$name.log
        mkdir -p "build/fuzz/corpus/$name"
        if [ -x "$target" ] && "$target" -max_total_time="$seconds" -timeout=10 \
            -artifact_prefix="build/fuzz/$name-" "build/fuzz/corpus/$name" >"$log" 2>&1; then
            echo "$name: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1)s"
        else
            echo "$name: FAILED (log: $log)"
            tail -n 30 "$log" 2>/dev/null || true
            failed=1
        fi
    done
    [ "$failed" -eq 0 ] || failures=$((failures + 1))
}
run_fuzz_targets

step "windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

run_suite "Win32 toolkit check under Wine" bash tools/win32_gui_check/run.sh build/windows
run_suite "end-to-end tests under Wine" bash tests/e2e/run.sh build/windows

step "packages: zip, installer, MSI and winget manifest"
cmake --build --preset windows --target package

run_suite "reproducible build: a second build folder gives the same bytes" \
    bash tests/release/reproducible.sh build/windows
run_suite "signing: every program, the installer and the MSI signed with a throwaway certificate" \
    bash tests/release/signing.sh build/windows
run_suite "packages under Wine: install, watcher, upgrade, version, autoset codes, uninstall, MSI" \
    bash tests/e2e/package_run.sh build/windows

step "summary"
echo "suites: $((suites - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
