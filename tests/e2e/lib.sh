#!/usr/bin/env bash
# Shared helpers of the end-to-end tests: results, the probe, files beside the program.
# Sourced by run.sh after tools/wine/wine-env.sh.

E2E_PASSED=0
E2E_FAILED=0
E2E_CASE=""

e2e_case() {
    E2E_CASE=$1
    printf -- '--- %s\n' "$E2E_CASE"
}

pass() {
    E2E_PASSED=$((E2E_PASSED + 1))
    printf 'PASS %s: %s\n' "$E2E_CASE" "$1"
}

fail() {
    E2E_FAILED=$((E2E_FAILED + 1))
    printf 'FAIL %s: %s\n' "$E2E_CASE" "$1"
    if [ -n "${E2E_ARTIFACTS:-}" ]; then
        mkdir -p "$E2E_ARTIFACTS"
        wine_screenshot "$E2E_ARTIFACTS/$(tr -c 'A-Za-z0-9_-' '_' <<<"$E2E_CASE")-$E2E_FAILED.png" ||
            true
    fi
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    if [ "$2" = "$3" ]; then
        pass "$1"
    else
        fail "$1: expected [$2], got [$3]"
    fi
}

# probe COMMAND ARGS...: runs wine_probe; output without carriage returns.
probe() {
    wine_run 60 'C:\e2e\wine_probe.exe' "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# From a dump: the text of the first child whose text starts with PREFIX.
child_text() {
    grep -m1 "^child .* text=$2" <<<"$1" | sed 's/^child .* text=//'
}

# From a dump: "left top width height" of the first child whose text is exactly TEXT.
child_geometry() {
    grep -m1 "^child .* text=$2\$" <<<"$1" |
        sed -E 's/.* left=(-?[0-9]+) top=(-?[0-9]+) width=([0-9]+) height=([0-9]+) .*/\1 \2 \3 \4/'
}

# From a dump: one field (left, top, width, height, client, title) of the window line.
window_field() {
    grep -m1 '^window ' <<<"$1" | sed -E "s/.* $2=([^ ]*).*/\\1/;t;d"
}

window_title() {
    grep -m1 '^window ' <<<"$1" | sed 's/.* title=//'
}

# write_config_dat DIR TEXT [LENGTH]: the station settings file, the length prefix being the
# text's length unless given.
write_config_dat() {
    python3 - "$1/config.dat" "$2" "${3:-}" <<'PY'
import struct, sys
path, text, length = sys.argv[1], sys.argv[2].encode('cp1252'), sys.argv[3]
n = int(length) if length else len(text)
with open(path, 'wb') as f:
    f.write(struct.pack('<i', n) + text)
PY
}

# write_raw DIR NAME BYTES_HEX: a file with exactly these bytes.
write_raw() {
    python3 -c 'import sys; open(sys.argv[1], "wb").write(bytes.fromhex(sys.argv[2]))' "$1/$2" "$3"
}

# ini_value DIR: the zoom key of section options in config.ini, as the file holds it.
ini_zoom() {
    [ -f "$1/config.ini" ] || return 1
    tr -d '\r' <"$1/config.ini" | awk '
        /^\[/ { section = tolower($0) }
        section == "[options]" && tolower($0) ~ /^zoom=/ { sub(/^[^=]*=/, ""); print; exit }'
}

# camera_zoom ID: the current zoom that the virtual camera instance holds.
camera_zoom() {
    wine_reg_value "HKCU\\Software\\CamzoomVirtualCamera\\$1\\Zoom" Value
}

# pids_gone PIDS...: whether every process PIDS names has ended, waiting up to 10 s (a Wine process
# that let go of what it held may take a moment longer to be gone).
pids_gone() {
    local i pid running
    for i in $(seq 40); do
        running=0
        for pid in "$@"; do
            kill -0 "$pid" 2>/dev/null && running=1
        done
        [ "$running" -eq 0 ] && return 0
        sleep 0.25
    done
    return 1
}
