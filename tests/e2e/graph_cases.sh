#!/usr/bin/env bash
# The virtual camera against the platform's own capture graph, one graph_check run per case.
# Sourced by run.sh.

# graph_case NAME GRAPH_CHECK_ARGS...
graph_case() {
    e2e_case "graph: $1"
    shift
    local output rc
    output=$(wine_run 90 'C:\e2e\graph_check.exe' "$@" 2>&1 | tr -d '\r')
    rc=${PIPESTATUS[0]}
    if [ "$rc" -eq 0 ]; then
        pass "$(tail -n1 <<<"$output")"
    else
        grep -E '^(FAIL|info)' <<<"$output" | sed 's/^/    /'
        fail "graph_check exit code $rc ($(tail -n1 <<<"$output"))"
    fi
}

registration_cases() {
    e2e_case "registration tool refuses what a camera cannot be"
    wine_vcam remove --all >/dev/null
    local args
    for args in '"Bad" --format ABC' '"Bad" --format I420 --size 321x240' \
        '"Bad" --zoom 5..1/1=3' '"Bad" --zoom 1..5/0=3' '"Bad" --control Loudness=0..9/1=0' '"Bad" --control Gain=9..0/1=0' \
        '"Bad" --id "a\\b"'; do
        if eval "wine_vcam add $args" >/dev/null 2>&1; then
            fail "accepted: add $args"
        else
            pass "refused: add $args"
        fi
    done
    expect_eq "nothing registered" "" "$(wine_vcam list)"

    e2e_case "registration tool: set and show"
    wine_vcam add "Knobs" --zoom 0..10/2=4 --control Focus=1..9/1=5,auto >/dev/null
    wine_vcam set Knobs Zoom=8,manual
    expect_eq "zoom after set" "Zoom=0..10/2=4 value=8 flags=2 caps=2" \
        "$(wine_vcam show Knobs | grep '^Zoom=')"
    expect_eq "focus in automatic mode" "Focus=1..9/1=5 value=5 flags=1 caps=3" \
        "$(wine_vcam show Knobs | grep '^Focus=')"
    wine_vcam remove Knobs >/dev/null
    expect_eq "removed" "" "$(wine_vcam list)"

    e2e_case "registration tool: every picture control, set and shown"
    wine_vcam add "Webcam" --picture-controls --control Gain=0..255/1=32 >/dev/null
    expect_eq "eighteen controls shown" 18 "$(wine_vcam show Webcam | grep -c ' caps=')"
    expect_eq "white balance automatic" "WhiteBalance=2800..6500/10=4600 value=4600 flags=1 caps=3" \
        "$(wine_vcam show Webcam | grep '^WhiteBalance=')"
    expect_eq "a --control after the option changes one" "Gain=0..255/1=32 value=32 flags=2 caps=2" \
        "$(wine_vcam show Webcam | grep '^Gain=')"
    wine_vcam set Webcam PowerLineFrequency=2
    expect_eq "power line after set" "PowerLineFrequency=0..2/1=1 value=2 flags=2 caps=2" \
        "$(wine_vcam show Webcam | grep '^PowerLineFrequency=')"
    expect_eq "kept under its own key" 2 \
        "$(wine_reg_value 'HKCU\Software\CamzoomVirtualCamera\Webcam\PowerLineFrequency' Value)"
    wine_vcam remove Webcam >/dev/null

    e2e_case "regsvr32 registers the DLL with its default instance"
    wine_run 60 regsvr32 /s 'C:\vcam\camzoom_vcam.dll' >/dev/null 2>&1
    expect_eq "regsvr32 exit code" 0 "$?"
    expect_eq "default device" "1 Camzoom Virtual Camera" "$(wine_vcam list | cut -f2,3 | tr '\t' ' ')"
    expect_eq "the default device has a webcam's eighteen controls" 18 \
        "$(wine_vcam show 'Camzoom Virtual Camera' | grep -c ' caps=')"
    wine_run 60 regsvr32 /s /u 'C:\vcam\camzoom_vcam.dll' >/dev/null 2>&1
    expect_eq "regsvr32 /u exit code" 0 "$?"
    expect_eq "no device after regsvr32 /u" "" "$(wine_vcam list)"
    wine_vcam remove --all >/dev/null
}

# graph_part NAME GRAPH_CHECK_ARGS...: one part of the one-stream checks, in the foreground.
graph_part() {
    graph_case "$@"
}

# The camera streams to one process at a time; its controls stay usable from the others; the
# camera-use records follow the stream, and the keeper's loop hears of them. A holder streams in
# the background until a --release part lets it stop.
one_stream_cases() {
    wine_vcam remove --all >/dev/null
    wine_vcam add "Shared Cam" --id share1 --zoom 100..500/1=100 >/dev/null
    local records holder_out holder_pid rc
    for records in on off; do
        wine_vcam records "$records"
        holder_out=$(mktemp)
        wine_start 'C:\e2e\graph_check.exe' --hold --device "Shared Cam" --id share1 \
            --records "$records" >"$holder_out" 2>&1
        holder_pid=$WINE_BG_PID
        graph_part "records $records: a second process while the first streams" --busy \
            --device "Shared Cam" --id share1
        if [ "$records" = on ] && [ -f "$build/app/camzoom.exe" ]; then
            e2e_case "autoset while another process streams the camera"
            local folder="$WINEPREFIX/drive_c/cz/busy"
            rm -rf "$folder" && mkdir -p "$folder"
            cp "$build/app/camzoom.exe" "$folder/"
            write_config_dat "$folder" '"VCapSource=Shared Cam",VCapModeWidth=640,VCapModeHeight=480'
            printf '[options]\r\nzoom=250\r\n' >"$folder/config.ini"
            wine_run 60 'C:\cz\busy\camzoom.exe' autoset >/dev/null 2>&1
            expect_eq "autoset ends with exit code 2 (no camera opened)" 2 "$?"
        fi
        graph_part "records $records: the holder stops, watched by the keeper's loop" --release \
            --records "$records"
        e2e_case "graph: records $records: the holder's own checks"
        wine_wait "$holder_pid" 60
        rc=$?
        tr -d '\r' <"$holder_out" | grep -E '^(FAIL|graph_check:)' | sed 's/^/    /'
        expect_eq "holder exit code" 0 "$rc"
        rm -f "$holder_out"
        if [ "$records" = on ] && [ -f "$build/app/camzoom.exe" ]; then
            e2e_case "autoset once the other process has stopped"
            wine_run 60 'C:\cz\busy\camzoom.exe' autoset >/dev/null 2>&1
            expect_eq "the same autoset ends with exit code 0" 0 "$?"
        fi
    done
    wine_vcam records on
    graph_case "the camera is accepted once the holder has stopped" --device "Shared Cam" \
        --id share1 --format YUY2 --size 640x480

    e2e_case "reset of every control at each stream start"
    wine_vcam remove --all >/dev/null
    wine_vcam add "Reset Cam" --id reset1 --zoom 100..500/1=100 --reset-on-start >/dev/null
    expect_eq "shown by show" "reset_on_start=1" "$(wine_vcam show reset1 | grep '^reset_on_start=')"
    holder_out=$(mktemp)
    wine_start 'C:\e2e\graph_check.exe' --hold --device "Reset Cam" --id reset1 --expect-reset \
        >"$holder_out" 2>&1
    holder_pid=$WINE_BG_PID
    graph_part "reset: release the holder" --release
    e2e_case "graph: reset at stream start, the holder's checks"
    wine_wait "$holder_pid" 60
    rc=$?
    tr -d '\r' <"$holder_out" | grep -E '^(FAIL|PASS reset|graph_check:)' | sed 's/^/    /'
    expect_eq "holder exit code" 0 "$rc"
    wine_vcam set reset1 reset-on-start=0
    expect_eq "switched off by set" "reset_on_start=0" \
        "$(wine_vcam show reset1 | grep '^reset_on_start=')"
    rm -f "$holder_out"
    wine_vcam remove --all >/dev/null
}

run_graph_cases() {
    registration_cases
    one_stream_cases
    wine_vcam remove --all >/dev/null
    # Instance ids sort as the enumeration order: "gc1" comes first.
    wine_vcam add "Check RGB24" --id gc1 --format RGB24 --size 320x240 >/dev/null
    wine_vcam add "Check YUY2" --id gc2 --format YUY2 --size 640x480 --zoom 10..90/2=50 >/dev/null
    wine_vcam add "Check I420" --id gc3 --format I420 --size 352x288 >/dev/null
    wine_vcam add "Check YV12" --id gc4 --format YV12 --size 176x144 --no-zoom >/dev/null
    wine_vcam add "Check MJPG" --id gc5 --format MJPG --size 640x480 --fps 15 >/dev/null
    wine_vcam add "Check top-down" --id gc6 --format RGB24 --size 160x120 --top-down >/dev/null

    e2e_case "graph: device enumeration"
    local list
    list=$(wine_vcam list | cut -f2,3 | tr '\t' ' ')
    expect_eq "six instances in id order" \
        "1 Check RGB24|2 Check YUY2|3 Check I420|4 Check YV12|5 Check MJPG|6 Check top-down" \
        "$(paste -sd'|' <<<"$list")"

    graph_case "RGB24 320x240" --device "Check RGB24" --id gc1 --format RGB24 --size 320x240
    graph_case "YUY2 640x480, other zoom range" --device "Check YUY2" --id gc2 --format YUY2 \
        --size 640x480 --zoom 10..90
    graph_case "I420 352x288" --device "Check I420" --id gc3 --format I420 --size 352x288
    # The check before left its zoom on the camera, which enlarges the picture; this one reads the
    # whole picture again.
    wine_vcam set gc3 Zoom=100 >/dev/null
    graph_case "I420 352x288 switched to 320x240 by SetFormat" --device "Check I420" --id gc3 \
        --format I420 --size 352x288 --set-size 320x240
    graph_case "YV12 176x144 without zoom" --device "Check YV12" --id gc4 --format YV12 \
        --size 176x144 --no-zoom
    graph_case "MJPG 640x480, Stop waits for the streaming thread" --device "Check MJPG" --id gc5 \
        --format MJPG --size 640x480 --stop-waits
    graph_case "RGB24 top-down 160x120" --device "Check top-down" --id gc6 --format RGB24 \
        --size 160x120 --top-down

    wine_vcam add "Check picture" --id gc7 --format YUY2 --size 320x240 --picture-controls \
        >/dev/null
    graph_case "video-processing controls, power line, the picture shows them" \
        --picture-controls --device "Check picture" --id gc7 --width 320

    e2e_case "graph: a check that expects another layout fails"
    if wine_run 90 'C:\e2e\graph_check.exe' --device "Check RGB24" --id gc1 --format YUY2 \
        --size 320x240 >/dev/null 2>&1; then
        fail "graph_check passed an RGB24 camera as YUY2"
    else
        pass "graph_check refuses an RGB24 camera taken for YUY2"
    fi

    e2e_case "graph: instances keep their own controls"
    expect_eq "zoom of gc2 after its check" "50" "$(camera_zoom gc2)"
    expect_eq "zoom of gc1 after its check" "300" "$(camera_zoom gc1)"
    wine_vcam remove --all >/dev/null
}
