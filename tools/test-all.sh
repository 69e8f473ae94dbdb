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
# Each suite's output is kept, so that the summary at the end (all a short CI tail shows) can name
# the suites that failed and repeat their failure lines.
suite_logs=build/suite-logs
rm -rf "$suite_logs"
mkdir -p "$suite_logs"
failed_logs=()
# suite_failed TITLE LOG: counts a failed suite and keeps its title and log for the summary.
suite_failed() {
    failures=$((failures + 1))
    failed_logs+=("$1|$2")
}
# run_suite TITLE COMMAND...: one counted suite; a failure is counted and the run goes on.
run_suite() {
    local title=$1
    shift
    suites=$((suites + 1))
    local log=$suite_logs/$suites.log
    step "$title"
    if ! "$@" 2>&1 | tee "$log"; then
        suite_failed "$title" "$log"
    fi
}
run_host_suite() {
    local preset=$1
    suites=$((suites + 1))
    local log=$suite_logs/$suites.log
    step "host tests: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    if ! ctest --preset "$preset" -j 1 --output-on-failure 2>&1 | tee "$log"; then
        suite_failed "host tests: $preset" "$log"
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
        suite_failed "fuzz targets: build" /dev/null
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
            echo "$name: FAILED (log: $log)" | tee -a "$suite_logs/fuzz.log"
            tail -n 30 "$log" 2>/dev/null || true
            failed=1
        fi
    done
    [ "$failed" -eq 0 ] || suite_failed "fuzz targets" "$suite_logs/fuzz.log"
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
for entry in "${failed_logs[@]}"; do
    title=${entry%%|*}
    log=${entry#*|}
    echo "failed: $title"
    # The suites' own failure lines (FAIL, ctest's "Failed", a sanitizer's ERROR), at most 40.
    grep -E '^FAIL |\(Failed\)|\(Timeout\)|\(SEGFAULT\)|ERROR: |FAILED' "$log" | head -n 40 | sed 's/^/    /' || true
done
echo "suites: $((suites - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
