#!/usr/bin/env bash
# Wine harness, meant to be sourced: a throw-away 64-bit prefix with its own wineserver, an X
# display (Xvfb when $DISPLAY is unset), the virtual camera, programs run with a timeout,
# registry read-back, screenshots and clean-up. Every wait is bounded.
#
#   source tools/wine/wine-env.sh
#   wine_env_start                      # prefix in a temp dir (or wine_env_start DIR to keep one)
#   wine_vcam_install build/windows     # copies the camera DLL and its tool into C:\vcam
#   wine_vcam add "Cam A" --format MJPG --size 320x240
#   wine_run 30 "$exe" autoset          # exit code in $?; 124 after a timeout
#   wine_start "$exe"; wine_wait "$WINE_BG_PID" 30   # in the background, bounded wait
#   wine_reg_value 'HKCU\Software\CamzoomVirtualCamera\Cam A\Zoom' Value
#   wine_screenshot out.png
#   wine_settle                         # registry written to the prefix's files
#   wine_env_stop                       # also runs on exit of the sourcing shell

WINE_HARNESS_BOOT_TIMEOUT=${WINE_HARNESS_BOOT_TIMEOUT:-180}
_wine_harness_xvfb_pid=""
_wine_harness_own_prefix=""
_wine_harness_xauth=""

_wine_log() { printf '[wine] %s\n' "$*" >&2; }

# Starts Xvfb on a free display when there is no display to use. Xvfb itself picks the display
# number (-displayfd), so parallel runs do not collide.
wine_display_start() {
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local numberFile
    numberFile=$(mktemp /tmp/camzoom-display.XXXXXX)
    _wine_harness_xauth=$(mktemp /tmp/camzoom-xauth.XXXXXX)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$_wine_harness_xauth" \
        3>"$numberFile" >/dev/null 2>&1 &
    _wine_harness_xvfb_pid=$!
    local waited=0
    until [ -s "$numberFile" ]; do
        sleep 0.1
        waited=$((waited + 1))
        if [ $waited -gt 150 ] || ! kill -0 "$_wine_harness_xvfb_pid" 2>/dev/null; then
            _wine_log "Xvfb did not start"
            rm -f "$numberFile"
            return 1
        fi
    done
    local n
    n=$(tr -dc '0-9' <"$numberFile")
    rm -f "$numberFile"
    # The server reads its access list from the file; the clients get the same cookie.
    if command -v xauth >/dev/null; then
        xauth -f "$_wine_harness_xauth" add ":$n" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')" \
            >/dev/null 2>&1 || true
    fi
    export DISPLAY=":$n" XAUTHORITY="$_wine_harness_xauth"
    _wine_log "Xvfb on $DISPLAY"
}

# Creates (or reuses) a prefix and starts its persistent wineserver.
# wine_env_start [DIR]: DIR is kept afterwards; without it a temp dir is made and removed.
wine_env_start() {
    export WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installer prompts: the programs here need neither.
    export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
    if [ -n "${1:-}" ]; then
        mkdir -p "$1"
        WINEPREFIX=$(cd "$1" && pwd)
    else
        WINEPREFIX=$(mktemp -d /tmp/camzoom-wine.XXXXXX)
        _wine_harness_own_prefix=$WINEPREFIX
    fi
    export WINEPREFIX
    trap wine_env_stop EXIT
    wine_display_start || return 1
    # A persistent server that this shell controls: output pipes then never wait for a lingering
    # server, and wineserver -w has something definite to wait for.
    wineserver -p >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
        _wine_log "creating prefix $WINEPREFIX"
        # A first boot has been seen to hang on a busy machine; one more try with a fresh
        # server (and, for a prefix of our own, an empty one) costs little.
        if ! timeout -k 10 "$WINE_HARNESS_BOOT_TIMEOUT" wine wineboot -i >/dev/null 2>&1; then
            _wine_log "wineboot failed or timed out; once more"
            wineserver -k >/dev/null 2>&1 || true
            if [ -n "$_wine_harness_own_prefix" ]; then
                find "$WINEPREFIX" -mindepth 1 -delete 2>/dev/null || true
            fi
            wineserver -p >/dev/null 2>&1 || true
            if ! timeout -k 10 "$WINE_HARNESS_BOOT_TIMEOUT" wine wineboot -i >/dev/null 2>&1; then
                _wine_log "wineboot failed or timed out"
                return 1
            fi
        fi
    fi
    # Wine's own faces ("MS Sans Serif", "Tahoma", the caption buttons' "Marlett") are loaded from
    # the prefix's font folder; without them windows fall back to other faces and glyphs.
    if [ -d /usr/share/wine/fonts ]; then
        cp -n /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon \
            "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    # Without a window manager, windows close slowly unless Wine manages them itself.
    if ! wine_run 60 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1; then
        _wine_log "cannot set the X11 driver options"
        return 1
    fi
    return 0
}

# wine_run SECONDS PROGRAM [ARGS...]: runs a Windows program; its exit code, 124 on a timeout.
wine_run() {
    local limit=$1
    shift
    timeout -k 5 "$limit" wine "$@"
}

# wine_start PROGRAM [ARGS...]: starts a program in the background; its pid is in $WINE_BG_PID.
wine_start() {
    wine "$@" &
    WINE_BG_PID=$!
}

# wine_wait PID SECONDS: waits for a background program; its exit code, 124 on a timeout
# (the program is then killed).
wine_wait() {
    local pid=$1 limit=$2 waited=0
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$waited" -ge $((limit * 10)) ]; then
            kill "$pid" 2>/dev/null
            sleep 0.5
            kill -9 "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$pid"
}

# Writes the registry to the prefix's files: the persistent server never goes idle by itself, so
# it is ended (with whatever still runs in the prefix) and a new one started. Reading values with
# wine_reg_value needs none of this; reading user.reg/system.reg directly does.
wine_settle() {
    local limit=${1:-60}
    timeout -k 5 "$limit" wineserver -k >/dev/null 2>&1 || true
    timeout -k 5 "$limit" wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 || true
}

# Copies the virtual camera DLL and its registration tool into C:\vcam of the prefix.
wine_vcam_install() {
    local build=$1
    local dir="$WINEPREFIX/drive_c/vcam"
    mkdir -p "$dir"
    cp "$build/virtual_camera/camzoom_vcam.dll" "$build/virtual_camera/camzoom_vcam_register.exe" \
        "$dir/" || return 1
    WINE_VCAM_TOOL='C:\vcam\camzoom_vcam_register.exe'
}

# wine_vcam COMMAND [ARGS...]: runs the registration tool (add, remove, list, show, set).
wine_vcam() {
    wine_run 60 "$WINE_VCAM_TOOL" "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# wine_reg_value KEY NAME: prints a registry value's data (REG_DWORD in decimal).
wine_reg_value() {
    local line
    line=$(wine_run 60 reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -E "^ +$2 +REG_") ||
        return 1
    local type data
    type=$(awk '{print $2}' <<<"$line")
    data=$(sed -E "s/^ +$2 +REG_[A-Z_]+ +//" <<<"$line")
    if [ "$type" = REG_DWORD ]; then
        printf '%d\n' "$data"
    else
        printf '%s\n' "$data"
    fi
}

# wine_screenshot FILE: the whole X screen as an image.
wine_screenshot() {
    timeout 30 import -window root "$1" 2>/dev/null
}

wine_env_stop() {
    trap - EXIT
    if [ -n "${WINEPREFIX:-}" ]; then
        timeout 20 wineserver -k >/dev/null 2>&1 || true
        timeout 20 wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$_wine_harness_xvfb_pid" ]; then
        kill "$_wine_harness_xvfb_pid" 2>/dev/null || true
        wait "$_wine_harness_xvfb_pid" 2>/dev/null || true
        _wine_harness_xvfb_pid=""
        unset DISPLAY
    fi
    [ -n "$_wine_harness_xauth" ] && rm -f "$_wine_harness_xauth"
    _wine_harness_xauth=""
    if [ -n "$_wine_harness_own_prefix" ]; then
        rm -rf "$_wine_harness_own_prefix"
        _wine_harness_own_prefix=""
    fi
}
