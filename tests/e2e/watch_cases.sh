#!/usr/bin/env bash
# camzoom_watch.exe under Wine: the keeper beside camzoom.exe in a folder of its own, against the
# virtual camera, started directly (Wine runs nothing at logon). Wine delivers no device events
# for cameras, so every arrival here is found by the keeper's poll of the device list.
# Sourced by run.sh; $CAMZOOM_EXE and $WATCH_EXE are the programs to test. Prints the measured
# idle CPU, memory and registration-to-zoom times (measurements, never asserted beyond a bound).

WATCH_CAMERA="Station Cam"
WATCH_ZOOM=320

# The keeper's log, once it exists (its folder is the prefix user's local application data).
watch_log_path() {
    local found
    for found in "$WINEPREFIX"/drive_c/users/*/AppData/Local/camzoom/watch.log; do
        [ -f "$found" ] && printf '%s\n' "$found" && return 0
    done
    return 1
}

# Lines of the log since the mark (watch_mark), without carriage returns.
watch_log_since_mark() {
    local log
    log=$(watch_log_path) || return 0
    tail -n +"$((WATCH_MARK + 1))" "$log" | tr -d '\r'
}

watch_mark() {
    local log
    if log=$(watch_log_path); then WATCH_MARK=$(wc -l <"$log"); else WATCH_MARK=0; fi
}

# watch_count TEXT: lines since the mark that hold TEXT.
watch_count() {
    watch_log_since_mark | grep -cF -- "$1"
}

# watch_wait_line TEXT SECONDS [COUNT]: waits for COUNT (default 1) such lines since the mark.
watch_wait_line() {
    local waited=0 limit=$(($2 * 10))
    while [ "$(watch_count "$1")" -lt "${3:-1}" ]; do
        [ "$waited" -ge "$limit" ] && return 1
        sleep 0.1
        waited=$((waited + 1))
    done
}

# watch_wait_zoom VALUE SECONDS: waits until the camera's zoom reads VALUE; prints the seconds it
# took (from the call).
watch_wait_zoom() {
    local start now
    start=$(date +%s.%N)
    while true; do
        [ "$(camera_zoom "$WATCH_CAMERA")" = "$1" ] && break
        now=$(date +%s.%N)
        if [ "$(echo "$now - $start > $2" | bc)" = 1 ]; then return 1; fi
        sleep 0.2
    done
    echo "$(date +%s.%N) - $start" | bc
}

watch_start() {
    wine_start "$WATCH_WIN_EXE"
    WATCH_PID=$WINE_BG_PID
}

# CPU time (user + system, in clock ticks) of a Linux process.
cpu_ticks() {
    [ -n "$1" ] || return 0
    sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $12 + $13}'
}

# prefix_pids PATTERN: the processes matching PATTERN (pgrep -f) that run in this prefix; other
# prefixes on the machine may run programs of the same name.
prefix_pids() {
    local pid
    for pid in $(pgrep -f -- "$1"); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
        fi
    done
}

# watch_measure_cpu SECONDS WHAT: the keeper's CPU time over wall time, and the wineserver's
# meanwhile (the registry reads of a device poll are served there).
watch_measure_cpu() {
    local hz server before serverBefore start after serverAfter end
    hz=$(getconf CLK_TCK)
    server=$(prefix_pids wineserver | head -1)
    before=$(cpu_ticks "$WATCH_PID")
    serverBefore=$(cpu_ticks "$server")
    start=$(date +%s.%N)
    sleep "$1"
    after=$(cpu_ticks "$WATCH_PID")
    serverAfter=$(cpu_ticks "$server")
    end=$(date +%s.%N)
    if [ -z "$before" ] || [ -z "$after" ]; then
        fail "cannot read the keeper's CPU time ($2)"
        return
    fi
    printf 'MEASURE watcher idle CPU, %s: %.3f %% of one core over %.0f s (wineserver meanwhile: %.3f %%)\n' \
        "$2" "$(echo "($after - $before) * 100 / $hz / ($end - $start)" | bc -l)" \
        "$(echo "$end - $start" | bc -l)" \
        "$(echo "(${serverAfter:-0} - ${serverBefore:-0}) * 100 / $hz / ($end - $start)" | bc -l)"
}

watch_measure_memory() {
    local status=/proc/$WATCH_PID/status
    [ -r "$status" ] || return
    printf 'MEASURE watcher memory (the Wine process, an upper bound): %s, %s\n' \
        "$(grep -m1 '^VmRSS' "$status" | tr -s ' \t' ' ')" \
        "$(grep -m1 '^RssAnon' "$status" | tr -s ' \t' ' ')"
}

# Ends a keeper that a case left running, without judging it.
watch_clean_up() {
    if [ -n "${WATCH_PID:-}" ] && kill -0 "$WATCH_PID" 2>/dev/null; then
        wine_run 30 "$WATCH_WIN_EXE" --stop >/dev/null 2>&1
        wine_wait "$WATCH_PID" 20 >/dev/null
    fi
    WATCH_PID=""
}

case_watch_late_camera() {
    e2e_case "watcher: late camera"
    wine_vcam remove --all >/dev/null
    watch_mark
    watch_start
    if watch_wait_line "autoset ended with 2 (no camera)" 30; then
        pass "autoset runs at start and ends with 2 without the camera"
    else
        fail "no autoset run ending with 2 at start: $(watch_log_since_mark | tail -5)"
    fi
    sleep 3
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --zoom 100..500/1=100 >/dev/null ||
        fail "cannot register the camera"
    local took
    if took=$(watch_wait_zoom "$WATCH_ZOOM" 30); then
        pass "the camera's zoom reads the stored $WATCH_ZOOM"
        printf 'MEASURE registration -> stored zoom read back (late camera): %.1f s\n' "$took"
    else
        fail "the camera's zoom is $(camera_zoom "$WATCH_CAMERA"), not $WATCH_ZOOM"
    fi
    watch_wait_line "the zoom held;" 30 || true
    local codes
    codes=$(watch_log_since_mark | sed -n 's/.*autoset ended with \([0-9]*\).*/\1/p' | tr '\n' ' ')
    if [[ $codes =~ ^(2\ )+0\ 0\ $ ]]; then
        pass "the log shows the 2s, then 0 and the confirming 0 ($codes)"
    else
        fail "exit codes in the log: [$codes]"
    fi
    expect_eq "the log tells of the camera's arrival" 1 \
        "$(watch_count "the station's camera \"$WATCH_CAMERA\" arrived")"
}

case_watch_replug() {
    e2e_case "watcher: re-plug"
    watch_mark
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    # While the camera is there the keeper looks about once a minute.
    if watch_wait_line "the station's camera \"$WATCH_CAMERA\" left" 75; then
        pass "the keeper sees the camera go"
    else
        fail "no line about the camera leaving: $(watch_log_since_mark | tail -5)"
    fi
    watch_measure_cpu 10 "camera absent"
    expect_eq "no autoset runs while the camera is away" 0 "$(watch_count "autoset started")"
    # Plugged in again, back at its default zoom, as many cameras come back.
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --zoom 100..500/1=100,value=150 \
        >/dev/null || fail "cannot register the camera again"
    local took
    if took=$(watch_wait_zoom "$WATCH_ZOOM" 30); then
        pass "the stored zoom comes back after the re-plug"
        printf 'MEASURE registration -> stored zoom read back (re-plug): %.1f s\n' "$took"
    else
        fail "after the re-plug the camera's zoom is $(camera_zoom "$WATCH_CAMERA")"
    fi
}

case_watch_second_instance() {
    e2e_case "watcher: second instance"
    watch_mark
    wine_run 30 "$WATCH_WIN_EXE"
    expect_eq "a second start ends at once with 0" 0 "$?"
    expect_eq "it logs that one runs already" 1 "$(watch_count "already running")"
    if kill -0 "$WATCH_PID" 2>/dev/null && [ -n "$(prefix_pids 'camzoom_watch\.exe')" ]; then
        pass "the first keeper keeps running"
    else
        fail "the first keeper is gone"
    fi
}

case_watch_stop() {
    e2e_case "watcher: --stop"
    watch_mark
    wine_run 30 "$WATCH_WIN_EXE" --stop
    expect_eq "--stop ends with 0" 0 "$?"
    wine_wait "$WATCH_PID" 20
    expect_eq "the keeper ended with 0" 0 "$?"
    expect_eq "its log says stopped" "stopped" "$(watch_log_since_mark | tail -1 | sed 's/^.\{19\}  //')"
    if [ -n "$(prefix_pids 'camzoom_watch\.exe')" ]; then
        fail "a camzoom_watch.exe still runs"
    else
        pass "no camzoom_watch.exe runs"
    fi
    WATCH_PID=""
    wine_run 30 "$WATCH_WIN_EXE" --stop
    expect_eq "--stop with none running ends with 0" 0 "$?"
}

# The refusal's quiet half minute is also the minute of idle CPU with the camera present, and the
# time in which another camera arrives.
case_watch_refusal_and_other_camera() {
    e2e_case "watcher: refusal, another camera, idle"
    printf '[options]\r\nzoom=900\r\n' >"$WATCH_DIR/config.ini"
    watch_mark
    watch_start
    if watch_wait_line "autoset ended with 4 (the camera refused the stored zoom)" 30; then
        pass "a zoom out of the camera's range gives a run that ends with 4"
    else
        fail "no run ending with 4: $(watch_log_since_mark | tail -5)"
    fi
    wine_vcam add "Other Cam" --format YUY2 --size 320x240 >/dev/null ||
        fail "cannot register the other camera"
    watch_measure_cpu 60 "camera present"
    watch_measure_memory
    expect_eq "one run in all: none after the refusal for a minute" 1 \
        "$(watch_count "autoset started")"
    if watch_wait_line "device \"Other Cam\" arrived (not the station's camera)" 20; then
        pass "the other camera is seen"
    else
        fail "no line about the other camera: $(watch_log_since_mark | tail -5)"
    fi
    expect_eq "the other camera starts no run" 1 "$(watch_count "autoset started")"
    wine_run 30 "$WATCH_WIN_EXE" --stop >/dev/null
    wine_wait "$WATCH_PID" 20 >/dev/null
    WATCH_PID=""
    printf 'MEASURE watcher private memory at its stop (its own reading): %s\n' \
        "$(watch_log_since_mark | sed -n 's/.*private memory: //p' | tail -1)"
    printf '[options]\r\nzoom=%s\r\n' "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
}

run_watch_cases() {
    WATCH_DIR="$WINEPREFIX/drive_c/watch"
    WATCH_WIN_EXE='C:\watch\camzoom_watch.exe'
    rm -rf "$WATCH_DIR"
    mkdir -p "$WATCH_DIR"
    cp "$CAMZOOM_EXE" "$WATCH_DIR/camzoom.exe"
    cp "$WATCH_EXE" "$WATCH_DIR/camzoom_watch.exe"
    write_config_dat "$WATCH_DIR" "\"VCapSource=$WATCH_CAMERA\",VCapModeWidth=640,VCapModeHeight=480"
    printf '[options]\r\nzoom=%s\r\n' "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
    local started
    started=$(date +%s)

    case_watch_late_camera
    case_watch_replug
    case_watch_second_instance
    case_watch_stop
    watch_clean_up
    case_watch_refusal_and_other_camera
    watch_clean_up
    wine_vcam remove --all >/dev/null
    echo "watcher cases: $(($(date +%s) - started)) s"
}
