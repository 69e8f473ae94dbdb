#!/usr/bin/env bash
# camzoom_watch.exe under Wine: the keeper beside camzoom.exe in a folder of its own, against the
# virtual camera, started directly (Wine runs nothing at logon). Wine delivers no device events
# for cameras, so every arrival here is found by the keeper's poll of the device list or by its
# check of the zoom. The station's own program is played by graph_check --station, which streams
# the camera as any capture program does; the virtual camera writes the camera-use records that
# Windows would write.
# Sourced by run.sh; $CAMZOOM_EXE and $WATCH_EXE are the programs to test. Prints the measured
# idle CPU, memory and registration-to-zoom times (measurements, never asserted beyond a bound).

WATCH_CAMERA="Station Cam"
WATCH_ZOOM=320
WATCH_CHECK_PERIOD=10  # the keeper's check of the zoom while the camera is present (KeeperTimes::kCheck)

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
    if watch_wait_line "at start: no camera" 30; then
        pass "the apply at start finds no camera"
    else
        fail "no apply finding no camera at start: $(watch_log_since_mark | tail -5)"
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
    local outcomes
    outcomes=$(watch_log_since_mark | sed -n -E 's/.*(at start|retry [0-9]+|camera arrived|confirming the zoom held): (no camera|the camera.s zoom (was|is)).*/\2/p' |
        sed -e 's/no camera/2/' -e 's/the camera.s zoom was/0/' -e 's/the camera.s zoom is/=/' | tr '\n' ' ')
    if [[ $outcomes =~ ^(2\ )+0\ =\ $ ]]; then
        pass "the log shows no camera, then the zoom set, and the confirmation finding it ($outcomes)"
    else
        fail "outcomes in the log: [$outcomes]"
    fi
    expect_eq "the log tells of the camera's arrival" 1 \
        "$(watch_count "the station's camera \"$WATCH_CAMERA\" arrived")"
}

case_watch_replug() {
    e2e_case "watcher: re-plug"
    watch_mark
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    # While the camera is there the keeper's check finds it gone.
    if watch_wait_line "the station's camera \"$WATCH_CAMERA\" left" 30; then
        pass "the keeper sees the camera go"
    else
        fail "no line about the camera leaving: $(watch_log_since_mark | tail -5)"
    fi
    watch_measure_cpu 10 "camera absent"
    expect_eq "nothing is set while the camera is away" 0 "$(watch_count "; set to")"
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
    # The event source registered, as the machine-wide installation does: Wine stores no events,
    # but shows each ReportEventW on its debug channels.
    local source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\camzoom'
    wine_run 60 reg add "$source_key" /v EventMessageFile /t REG_EXPAND_SZ /d "$WATCH_WIN_EXE" /f \
        >/dev/null 2>&1 || fail "cannot register the event source"
    local trace
    trace=$(mktemp)
    watch_mark
    WINEDEBUG=-all,+advapi,+eventlog wine "$WATCH_WIN_EXE" 2>"$trace" &
    WATCH_PID=$!
    if watch_wait_line "at start: the camera refused the stored zoom" 30; then
        pass "a zoom out of the camera's range is refused"
    else
        fail "no refusal: $(watch_log_since_mark | tail -5)"
    fi
    wine_vcam add "Other Cam" --format YUY2 --size 320x240 >/dev/null ||
        fail "cannot register the other camera"
    watch_measure_cpu 60 "camera present"
    watch_measure_memory
    expect_eq "one apply in all: none after the refusal for a minute" 1 \
        "$(watch_count "the camera refused the stored zoom")"
    if watch_wait_line "device \"Other Cam\" arrived (not the station's camera)" 20; then
        pass "the other camera is seen"
    else
        fail "no line about the other camera: $(watch_log_since_mark | tail -5)"
    fi
    expect_eq "the other camera starts no apply" 1 \
        "$(watch_count "the camera refused the stored zoom")"
    wine_run 30 "$WATCH_WIN_EXE" --stop >/dev/null
    wine_wait "$WATCH_PID" 20 >/dev/null
    WATCH_PID=""
    printf 'MEASURE watcher private memory at its stop (its own reading): %s\n' \
        "$(watch_log_since_mark | sed -n 's/.*private memory: //p' | tail -1)"
    tr -d '\r' <"$trace" >"$trace.txt"
    if grep -Eq 'ReportEventW *\([^)]*0x0004,0x0000,0x00000001' "$trace.txt"; then
        pass "the keeper's start went to the event log (event 1, information)"
    else
        fail "no ReportEventW of event 1: [$(grep -i reportevent "$trace.txt" | head -2)]"
    fi
    if grep -Eq 'ReportEventW *\([^)]*0x0001,0x0000,0x00000003' "$trace.txt" &&
        grep -q 'refused the stored zoom 900' "$trace.txt"; then
        pass "the refusal went to the event log (event 3, error, with its detail)"
    else
        fail "no ReportEventW of the refusal: [$(grep -i reportevent "$trace.txt" | head -3)]"
    fi
    rm -f "$trace" "$trace.txt"
    wine_run 60 reg delete "$source_key" /f >/dev/null 2>&1
    printf '[options]\r\nzoom=%s\r\n' "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
}

# The station's program: graph_check streaming the camera for SECONDS in the background; its
# output goes to $STATION_OUT, its pid is $STATION_PID. station_wait_streaming waits until its
# frames arrive; station_result waits for its end and judges it.
station_start() {
    STATION_OUT=$(mktemp)
    wine_start 'C:\e2e\graph_check.exe' --station --device "$WATCH_CAMERA" --seconds "$1" \
        >"$STATION_OUT" 2>&1
    STATION_PID=$WINE_BG_PID
}

station_wait_streaming() {
    local waited=0
    while ! grep -q '^info station streams' "$STATION_OUT" 2>/dev/null; do
        [ "$waited" -ge 300 ] && return 1
        kill -0 "$STATION_PID" 2>/dev/null || return 1
        sleep 0.1
        waited=$((waited + 1))
    done
}

# station_result WHAT: the station's program ended with 0, never refused, frames throughout.
station_result() {
    local rc
    wine_wait "$STATION_PID" 120
    rc=$?
    if [ "$rc" -eq 0 ]; then
        pass "$1 ($(tr -d '\r' <"$STATION_OUT" | sed -n 's/^PASS station: frames throughout (\(.*\))/\1/p'))"
    else
        fail "$1: $(tr -d '\r' <"$STATION_OUT" | grep -E '^(FAIL|graph_check:)' | tr '\n' ' ')"
    fi
    rm -f "$STATION_OUT"
}

# A camera that resets its controls at every stream start, at its default zoom 100.
watch_register_resetting_camera() {
    wine_vcam remove --all >/dev/null
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --fps 30 --zoom 100..500/1=100 \
        --reset-on-start >/dev/null || fail "cannot register the camera"
}

case_watch_started_while_another_program_streams() {
    e2e_case "watcher: started while the station's program streams"
    watch_register_resetting_camera
    station_start 15
    if station_wait_streaming; then
        pass "the station's program streams the camera"
    else
        fail "the station's program does not stream: $(tr -d '\r' <"$STATION_OUT" | tail -3)"
    fi
    expect_eq "its stream start reset the zoom" 100 "$(camera_zoom "$WATCH_CAMERA")"
    watch_mark
    watch_start
    local took
    if took=$(watch_wait_zoom "$WATCH_ZOOM" 5); then
        pass "the stored zoom is on the camera within 5 s"
        printf 'MEASURE keeper start -> stored zoom read back, camera streamed by another program: %.1f s\n' "$took"
    else
        fail "the camera's zoom is $(camera_zoom "$WATCH_CAMERA") after 5 s: $(watch_log_since_mark | tail -4)"
    fi
    station_result "the station's program kept its stream throughout"
}

# watch_reset_measure RECORDS LIMIT: a station program started with the keeper running; its
# stream start resets the zoom; the stored zoom must be back within LIMIT seconds.
watch_reset_measure() {
    wine_vcam records "$1" >/dev/null || fail "cannot switch the records $1"
    watch_mark
    station_start 16
    station_wait_streaming || fail "the station's program does not stream"
    local took
    if took=$(watch_wait_zoom "$WATCH_ZOOM" "$2"); then
        pass "records $1: the zoom is back within $2 s of the stream's start"
        printf 'MEASURE reset at stream start -> stored zoom read back, records %s: %.1f s\n' "$1" "$took"
    else
        fail "records $1: the zoom is $(camera_zoom "$WATCH_CAMERA") after $2 s: $(watch_log_since_mark | tail -4)"
    fi
    if [ "$1" = on ]; then
        if watch_wait_line "started using the camera" 5; then
            pass "the log names the program that started using the camera: $(watch_log_since_mark | grep -m1 -F 'started using the camera' | sed 's/^.\{19\}  //')"
        else
            fail "no line about the program's use of the camera"
        fi
    fi
    station_result "records $1: the station's program was never refused"
}

case_watch_station_program_after_the_keeper() {
    e2e_case "watcher: the station's program starts after the keeper"
    # The keeper of the previous case runs on; the camera is the resetting one.
    watch_wait_line "the zoom held;" 20 || true
    watch_reset_measure on 3
    watch_reset_measure off $((WATCH_CHECK_PERIOD + 3))
    wine_vcam records on >/dev/null
}

case_watch_station_starts_into_applies() {
    e2e_case "watcher: twenty station starts into the keeper's applies"
    local i refused=0 started=0
    for i in $(seq 20); do
        watch_mark
        wine_vcam remove "$WATCH_CAMERA" >/dev/null
        watch_wait_line "the station's camera \"$WATCH_CAMERA\" left" 20 || true
        wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --fps 30 \
            --zoom 100..500/1=100 --reset-on-start >/dev/null
        # The keeper applies a settling second after it sees the camera arrive.
        watch_wait_line "the station's camera \"$WATCH_CAMERA\" arrived" 10 || true
        sleep 0.9
        station_start 2
        if wine_wait "$STATION_PID" 60; then
            started=$((started + 1))
        else
            refused=$((refused + 1))
            tr -d '\r' <"$STATION_OUT" | grep -E '^FAIL' | sed 's/^/    /'
        fi
        rm -f "$STATION_OUT"
    done
    expect_eq "no station start was refused the camera" "0 of 20" "$refused of 20"
    watch_wait_zoom "$WATCH_ZOOM" $((WATCH_CHECK_PERIOD + 5)) >/dev/null
    expect_eq "the stored zoom is on the camera at the end" "$WATCH_ZOOM" "$(camera_zoom "$WATCH_CAMERA")"
}

case_watch_short_unplug() {
    e2e_case "watcher: unplugged for 3 s, long after the start"
    watch_mark
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    sleep 3
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --zoom 100..500/1=100 >/dev/null
    local took
    if took=$(watch_wait_zoom "$WATCH_ZOOM" $((WATCH_CHECK_PERIOD + 5))); then
        pass "the stored zoom is back within the check period plus 5 s"
        printf 'MEASURE short unplug -> stored zoom read back: %.1f s\n' "$took"
    else
        fail "after the unplug the camera's zoom is $(camera_zoom "$WATCH_CAMERA"): $(watch_log_since_mark | tail -4)"
    fi
}

case_watch_tug_of_war() {
    e2e_case "watcher: a program that changes the zoom every second"
    # A keeper of its own: the set-backs of the cases before (re-plugs, resets) count towards the
    # same bound and may have made the running one hold off already.
    watch_clean_up
    watch_mark
    watch_start
    watch_wait_line "the zoom held;" 30 || fail "the zoom did not hold: $(watch_log_since_mark | tail -3)"
    watch_mark
    local end=$(($(date +%s) + 60))
    while [ "$(date +%s)" -lt "$end" ]; do
        wine_vcam set "$WATCH_CAMERA" Zoom=150 >/dev/null
        sleep 1
    done
    local setBacks
    setBacks=$(watch_count "check: the camera's zoom was 150; set to $WATCH_ZOOM")
    if [ "$setBacks" -le 3 ] && [ "$setBacks" -ge 1 ]; then
        pass "at most 3 set-backs in the minute ($setBacks)"
    else
        fail "$setBacks set-backs in the minute"
    fi
    expect_eq "the log says once that the keeper holds off" 1 "$(watch_count "holding off:")"
}

case_watch_holding_off_in_settings() {
    e2e_case "watcher: holding turned off"
    watch_clean_up
    printf '[options]\r\nzoom=%s\r\n[watch]\r\nhold=0\r\n' "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
    wine_vcam set "$WATCH_CAMERA" Zoom=150 >/dev/null
    watch_mark
    watch_start
    watch_wait_zoom "$WATCH_ZOOM" 10 >/dev/null || fail "the zoom is not applied at start"
    watch_wait_line "the zoom held; nothing more until the camera arrives again" 20 ||
        fail "no line saying the keeper does not hold: $(watch_log_since_mark | tail -3)"
    wine_vcam set "$WATCH_CAMERA" Zoom=150 >/dev/null
    sleep $((WATCH_CHECK_PERIOD * 2 + 2))
    expect_eq "no set-back with holding off" 150 "$(camera_zoom "$WATCH_CAMERA")"
    watch_clean_up
    printf '[options]\r\nzoom=%s\r\n' "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
}

# The keeper's idle cost with the camera present and streamed by another program, and so the
# cost of its checks (one every check period, the device list once a minute).
case_watch_idle_while_in_use() {
    e2e_case "watcher: idle while another program uses the camera"
    watch_clean_up
    wine_vcam remove --all >/dev/null
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --zoom 100..500/1=100 >/dev/null
    watch_mark
    watch_start
    watch_wait_line "the zoom held;" 30 || fail "the zoom did not hold: $(watch_log_since_mark | tail -3)"
    station_start 66
    station_wait_streaming || fail "the station's program does not stream"
    local before after hz
    hz=$(getconf CLK_TCK)
    before=$(cpu_ticks "$WATCH_PID")
    watch_measure_cpu 60 "camera present and streamed by another program"
    after=$(cpu_ticks "$WATCH_PID")
    printf 'MEASURE one stream-free check of the zoom (keeper CPU over 60 s / %d checks): %.1f ms\n' \
        $((60 / WATCH_CHECK_PERIOD)) \
        "$(echo "(${after:-0} - ${before:-0}) * 1000 / $hz / (60 / $WATCH_CHECK_PERIOD)" | bc -l)"
    station_result "the station's program streamed throughout the minute"
}

case_watch_status() {
    e2e_case "watcher: --status"
    local line rc
    line=$(wine_run 30 "$WATCH_WIN_EXE" --status 2>/dev/null | tr -d '\r')
    rc=$?
    expect_eq "--status with the zoom applied and the keeper running exits 0" 0 "$rc"
    if [[ $line == "camzoom watch: running; camera \"$WATCH_CAMERA\"; last check "*"applied"*"holding on" ]]; then
        pass "--status prints one line: $line"
    else
        fail "--status printed [$line]"
    fi
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    watch_mark
    watch_wait_line "no camera" $((WATCH_CHECK_PERIOD + 5)) || true
    line=$(wine_run 30 "$WATCH_WIN_EXE" --status 2>/dev/null | tr -d '\r')
    rc=$?
    expect_eq "--status with the camera missing exits 1 ($line)" 1 "$rc"
    watch_clean_up
    line=$(wine_run 30 "$WATCH_WIN_EXE" --status 2>/dev/null | tr -d '\r')
    rc=$?
    expect_eq "--status with no keeper running exits 1 ($line)" 1 "$rc"
    local state
    for state in "$WINEPREFIX"/drive_c/users/*/AppData/Local/camzoom/watch.state; do rm -f "$state"; done
    line=$(wine_run 30 "$WATCH_WIN_EXE" --status 2>/dev/null | tr -d '\r')
    rc=$?
    expect_eq "--status of a keeper that never ran exits 2" 2 "$rc"
    expect_eq "... and says so" "camzoom watch: never ran for this user" "$line"
}

case_watch_apply_once() {
    e2e_case "watcher: --apply"
    wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --zoom 100..500/1=100 >/dev/null
    local start line rc
    start=$(date +%s.%N)
    line=$(wine_run 30 "$WATCH_WIN_EXE" --apply 2>/dev/null | tr -d '\r')
    rc=$?
    printf 'MEASURE camzoom_watch.exe --apply, a whole process under Wine: %.2f s\n' \
        "$(echo "$(date +%s.%N) - $start" | bc)"
    expect_eq "--apply ends with 0 ($line)" 0 "$rc"
    expect_eq "--apply set the stored zoom" "$WATCH_ZOOM" "$(camera_zoom "$WATCH_CAMERA")"
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    wine_run 30 "$WATCH_WIN_EXE" --apply >/dev/null 2>&1
    expect_eq "--apply without the camera ends with 2" 2 "$?"
}

# watch_control NAME: "value flags" of a virtual camera's control (flags 1 auto, 2 manual).
watch_control() {
    local value
    value=$(wine_reg_value "HKCU\\Software\\CamzoomVirtualCamera\\$WATCH_CAMERA\\$1" Value)
    # A REG_DWORD holds a negative value as its two's complement.
    [ -n "$value" ] && [ "$value" -gt 2147483647 ] && value=$((value - 4294967296))
    printf '%s %s' "$value" \
        "$(wine_reg_value "HKCU\\Software\\CamzoomVirtualCamera\\$WATCH_CAMERA\\$1" Flags)"
}

# watch_wait_controls SECONDS NAME=VALUE...: waits until every named control reads VALUE in
# manual mode; prints the seconds it took.
watch_wait_controls() {
    local limit=$1 start now pair ok
    shift
    start=$(date +%s.%N)
    while true; do
        ok=1
        for pair in "$@"; do
            [ "$(watch_control "${pair%%=*}")" = "${pair#*=} 2" ] || ok=0
        done
        [ "$ok" = 1 ] && break
        now=$(date +%s.%N)
        if [ "$(echo "$now - $start > $limit" | bc)" = 1 ]; then return 1; fi
        sleep 0.2
    done
    echo "$(date +%s.%N) - $start" | bc
}

# The station's picture: a camera whose focus, exposure (and white balance, where the virtual
# camera has it) start in automatic mode and go back to it at every stream start.
watch_register_picture_camera() {
    wine_vcam remove --all >/dev/null
    WATCH_KEPT=(Focus=40 Exposure=-5)
    if ! wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --fps 30 \
        --zoom 100..500/1=100 --control Focus=0..250/5=0,auto --control Exposure=-13..-1/1=-6,auto \
        --control WhiteBalance=2800..6500/10=4600,auto --reset-on-start >/dev/null; then
        wine_vcam add "$WATCH_CAMERA" --format YUY2 --size 640x480 --fps 30 \
            --zoom 100..500/1=100 --control Focus=0..250/5=0,auto \
            --control Exposure=-13..-1/1=-6,auto --reset-on-start >/dev/null ||
            fail "cannot register the camera"
        echo "NOTE the virtual camera has no WhiteBalance: kept focus and exposure only"
        return
    fi
    WATCH_KEPT+=(WhiteBalance=5000)
}

case_watch_keeps_the_picture() {
    e2e_case "watcher: focus, exposure and white balance kept with the zoom"
    watch_clean_up
    watch_register_picture_camera
    printf '[options]\r\nzoom=%s\r\n[camera]\r\nfocus=40\r\nexposure=-5\r\nwhitebalance=5000\r\nsharpnes=3\r\n' \
        "$WATCH_ZOOM" >"$WATCH_DIR/config.ini"
    watch_mark
    watch_start
    local took
    if took=$(watch_wait_controls 10 "${WATCH_KEPT[@]}"); then
        pass "the kept controls are on the camera, in manual mode (${WATCH_KEPT[*]})"
    else
        fail "the kept controls are not on the camera: focus $(watch_control Focus), exposure $(watch_control Exposure): $(watch_log_since_mark | tail -4)"
    fi
    expect_eq "the zoom with them" "$WATCH_ZOOM" "$(camera_zoom "$WATCH_CAMERA")"
    expect_eq "a line the keeper cannot use is logged once" 1 \
        "$(watch_count "[camera] sharpnes=3: no such control; ignored")"

    # A re-plug brings the camera back at its defaults, in automatic mode.
    watch_mark
    wine_vcam remove "$WATCH_CAMERA" >/dev/null
    sleep 3
    watch_register_picture_camera
    if took=$(watch_wait_controls $((WATCH_CHECK_PERIOD + 5)) "${WATCH_KEPT[@]}"); then
        pass "after a re-plug the kept controls are back"
        printf 'MEASURE re-plug -> kept controls read back: %.1f s\n' "$took"
    else
        fail "after the re-plug: focus $(watch_control Focus), exposure $(watch_control Exposure)"
    fi

    # The station's program starts once the keeper has confirmed the re-plug's apply: the
    # camera resets its controls at the stream's start.
    watch_mark
    watch_wait_line "the zoom held;" 15 || true
    watch_mark
    station_start 10
    station_wait_streaming || fail "the station's program does not stream"
    if took=$(watch_wait_controls 5 "${WATCH_KEPT[@]}"); then
        pass "after a reset at the stream's start the kept controls are back"
        printf 'MEASURE reset at stream start -> kept controls read back: %.1f s\n' "$took"
    else
        fail "after the stream's start: focus $(watch_control Focus), exposure $(watch_control Exposure): $(watch_log_since_mark | tail -6)"
    fi
    station_result "the station's program kept its stream"
    watch_clean_up

    # One full apply of everything kept, as a process of its own.
    local start
    wine_vcam set "$WATCH_CAMERA" Focus=0,auto >/dev/null
    start=$(date +%s.%N)
    wine_run 30 "$WATCH_WIN_EXE" --apply >/dev/null 2>&1
    expect_eq "--apply of the whole picture ends with 0" 0 "$?"
    printf 'MEASURE --apply of the zoom and %d kept controls, a whole process under Wine: %.2f s\n' \
        "${#WATCH_KEPT[@]}" "$(echo "$(date +%s.%N) - $start" | bc)"
    expect_eq "--apply set focus" "40 2" "$(watch_control Focus)"
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
    case_watch_started_while_another_program_streams
    case_watch_station_program_after_the_keeper
    case_watch_station_starts_into_applies
    case_watch_short_unplug
    case_watch_tug_of_war
    case_watch_holding_off_in_settings
    case_watch_idle_while_in_use
    case_watch_status
    case_watch_apply_once
    case_watch_keeps_the_picture
    watch_clean_up
    wine_vcam remove --all >/dev/null
    echo "watcher cases: $(($(date +%s) - started)) s"
}
