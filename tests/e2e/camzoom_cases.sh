#!/usr/bin/env bash
# camzoom.exe under Wine against the virtual camera, observed from outside by wine_probe.
# Sourced by run.sh; $CAMZOOM_EXE is the program to test.

TITLE="Camera set zoom"
ERROR_CAPTION="camzoom"

# new_folder NAME: a fresh folder in the prefix with camzoom.exe in it; sets DIR (Unix path)
# and EXE (Windows path).
new_folder() {
    DIR="$WINEPREFIX/drive_c/cz/$1"
    rm -rf "$DIR"
    mkdir -p "$DIR"
    cp "$CAMZOOM_EXE" "$DIR/camzoom.exe"
    EXE="C:\\cz\\$1\\camzoom.exe"
}

# cameras ARGS...: exactly these virtual camera instances, each ARGS a quoted argument list
# for "camzoom_vcam_register add".
cameras() {
    wine_vcam remove --all >/dev/null
    local args
    for args in "$@"; do
        eval "wine_vcam add $args" >/dev/null || fail "cannot register camera $args"
    done
}

# start_tool [ARGS...]: starts $EXE; its pid in APP_PID.
start_tool() {
    wine_start "$EXE" "$@"
    APP_PID=$WINE_BG_PID
}

# Waits for the status line and prints the window dump.
wait_status() {
    probe wait-text --title "$TITLE" --prefix "${1:-Model:}" --timeout "${2:-30}"
}

# Closes the tool's window and expects the program to end with exit code 0.
close_tool() {
    probe close --title "$TITLE" --timeout 5 >/dev/null
    wine_wait "$APP_PID" 30
    local rc=$?
    expect_eq "the program ends with exit code 0 when its window closes" 0 "$rc"
}

# Ends a tool that is expected to stay: closes its window (and what is modal over it) or kills
# it after a bounded wait.
stop_tool() {
    local i
    for i in 1 2 3; do
        probe answer --title "$ERROR_CAPTION" --class '#32770' --timeout 1 >/dev/null 2>&1
        probe answer --title Informacje --class '#32770' --timeout 1 >/dev/null 2>&1
        probe close --title "$TITLE" --timeout 1 >/dev/null 2>&1
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 1
    done
    wine_wait "$APP_PID" 10 >/dev/null
}

case_status_with_camera() {
    e2e_case "status lines with a virtual camera"
    cameras '"Virtual Cam" --format YUY2 --size 640x480 --zoom 100..500/1=100,value=250'
    new_folder status
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    start_tool
    local dump
    dump=$(wait_status "Model:Virtual Cam")
    expect_eq "window caption" "$TITLE" "$(window_title "$dump")"
    expect_eq "first line" "Model:Virtual Cam, tryb=640x480, zoom=250" \
        "$(child_text "$dump" "Model:")"
    expect_eq "second line, config.ini created" "Set zoom=0" "$(child_text "$dump" "Set zoom=")"
    expect_eq "config.ini holds zoom=0" "0" "$(ini_zoom "$DIR")"
    expect_eq "window position" "420 153" \
        "$(window_field "$dump" left) $(window_field "$dump" top)"
    expect_eq "client area" "413x84" "$(window_field "$dump" client)"
    expect_eq "Save button" "116 49 75 25" "$(child_geometry "$dump" Save)"
    expect_eq "Set button" "196 49 75 25" "$(child_geometry "$dump" Set)"
    close_tool
}

case_status_without_camera() {
    e2e_case "status lines without any camera"
    cameras
    new_folder nocam
    write_config_dat "$DIR" "VCapSource=Nothing,VCapModeWidth=320,VCapModeHeight=240"
    printf '[options]\r\nzoom=150\r\n' >"$DIR/config.ini"
    start_tool
    local dump
    dump=$(wait_status "Model:Nothing")
    expect_eq "first line" "Model:Nothing, tryb=320x240, zoom=0" "$(child_text "$dump" "Model:")"
    expect_eq "second line" "Set zoom=150" "$(child_text "$dump" "Set zoom=")"
    # Set without a camera sends nothing and the zoom still reads 0.
    probe click --title "$TITLE" --button Set >/dev/null
    sleep 1
    dump=$(wait_status "Model:")
    expect_eq "first line after Set" "Model:Nothing, tryb=320x240, zoom=0" \
        "$(child_text "$dump" "Model:")"
    close_tool
}

case_set() {
    e2e_case "Set sends the stored zoom to the camera"
    cameras '"Virtual Cam" --zoom 100..500/1=100,value=250'
    new_folder set
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=300\r\n' >"$DIR/config.ini"
    start_tool
    local dump
    dump=$(wait_status "Model:Virtual Cam")
    expect_eq "first line before Set" "Model:Virtual Cam, tryb=640x480, zoom=250" \
        "$(child_text "$dump" "Model:")"
    expect_eq "second line before Set" "Set zoom=300" "$(child_text "$dump" "Set zoom=")"
    probe click --title "$TITLE" --button Set >/dev/null
    dump=$(wait_status "Model:Virtual Cam, tryb=640x480, zoom=300" 15)
    expect_eq "first line after Set" "Model:Virtual Cam, tryb=640x480, zoom=300" \
        "$(child_text "$dump" "Model:")"
    expect_eq "camera zoom in the registry" "300" "$(camera_zoom "Virtual Cam")"
    close_tool
}

case_save() {
    e2e_case "Save stores the camera's zoom"
    cameras '"Virtual Cam" --zoom 100..500/1=100,value=250'
    new_folder save
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=300\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Virtual Cam" >/dev/null
    probe click --title "$TITLE" --button Save >/dev/null
    local i
    for i in $(seq 50); do
        [ "$(ini_zoom "$DIR")" = 250 ] && break
        sleep 0.2
    done
    expect_eq "config.ini on disk" "250" "$(ini_zoom "$DIR")"
    local dump
    dump=$(wait_status "Model:")
    expect_eq "second line not refreshed by Save" "Set zoom=300" "$(child_text "$dump" "Set zoom=")"
    # The stored zoom now equals the camera's: Set sends nothing.
    probe click --title "$TITLE" --button Set >/dev/null
    sleep 1
    expect_eq "camera zoom unchanged" "250" "$(camera_zoom "Virtual Cam")"
    close_tool
}

case_autoset() {
    e2e_case "autoset applies the stored zoom and ends; the next run shows it"
    cameras '"Virtual Cam" --zoom 100..500/1=100,value=100'
    new_folder autoset
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=250\r\n' >"$DIR/config.ini"
    wine_run 60 "$EXE" autoset
    local rc=$?
    expect_eq "exit code" 0 "$rc"
    expect_eq "camera zoom in the registry" "250" "$(camera_zoom "Virtual Cam")"
    start_tool
    local dump
    dump=$(wait_status "Model:Virtual Cam")
    expect_eq "first line of the next run" "Model:Virtual Cam, tryb=640x480, zoom=250" \
        "$(child_text "$dump" "Model:")"
    expect_eq "second line of the next run" "Set zoom=250" "$(child_text "$dump" "Set zoom=")"
    close_tool
}

case_autoset_without_config_dat() {
    e2e_case "autoset without config.dat"
    cameras '"Virtual Cam"'
    new_folder autoset-nodat
    start_tool autoset
    local box
    box=$(probe dump --title Informacje --class '#32770' --timeout 20)
    expect_eq "information message" "Brak pliku config.dat. Uruchom i ustaw  Ustawiator" \
        "$(child_text "$box" "Brak")"
    local dump
    dump=$(probe dump --title "$TITLE" --timeout 5)
    expect_eq "window out of sight at -20,-20, 10x10" "-20 -20 10 10" \
        "$(window_field "$dump" left) $(window_field "$dump" top) $(window_field "$dump" width) $(window_field "$dump" height)"
    probe answer --title Informacje --class '#32770' >/dev/null
    sleep 2
    if kill -0 "$APP_PID" 2>/dev/null; then
        pass "the tool does not close by itself"
    else
        fail "the tool ended after the information message"
    fi
    stop_tool
}

case_short_config_dat() {
    e2e_case "error box for a short config.dat"
    cameras '"Virtual Cam"'
    new_folder short
    write_config_dat "$DIR" "VCapSource=Virtual Cam" 200
    start_tool
    local box
    box=$(probe dump --title "$ERROR_CAPTION" --class '#32770' --timeout 20)
    expect_eq "error box caption" "$ERROR_CAPTION" "$(window_title "$box")"
    expect_eq "error text" "Stream read error." "$(child_text "$box" "Stream")"
    probe answer --title "$ERROR_CAPTION" --class '#32770' >/dev/null
    stop_tool

    e2e_case "error box for a config.dat of three bytes"
    new_folder tiny
    write_raw "$DIR" config.dat 010000
    start_tool
    box=$(probe dump --title "$ERROR_CAPTION" --class '#32770' --timeout 20)
    expect_eq "error text" "Stream read error." "$(child_text "$box" "Stream")"
    stop_tool
}

case_locked_config_dat() {
    e2e_case "error box for a config.dat that another program holds open"
    cameras '"Virtual Cam"'
    new_folder locked
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    wine_start 'C:\e2e\wine_probe.exe' hold-file --path 'C:\cz\locked\config.dat' --timeout 25 \
        >/dev/null
    local holder=$WINE_BG_PID
    sleep 2
    start_tool
    local box text
    box=$(probe dump --title "$ERROR_CAPTION" --class '#32770' --timeout 20)
    text=$(child_text "$box" "Cannot")
    case $text in
        'Cannot open file "C:\cz\locked\config.dat". '?*.) pass "error text: $text" ;;
        *) fail "error text: got [$text]" ;;
    esac
    stop_tool
    wine_wait "$holder" 30 >/dev/null
}

case_every_layout() {
    local format
    for format in RGB24 I420 YV12 MJPG; do
        e2e_case "frames in $format reach the tool, which closes cleanly"
        cameras "\"Layout Cam\" --format $format --size 320x240 --zoom 100..500/1=100,value=123"
        new_folder "layout-$format"
        write_config_dat "$DIR" '"VCapSource=Layout Cam",VCapModeWidth=320,VCapModeHeight=240'
        start_tool
        local dump
        dump=$(wait_status "Model:Layout Cam")
        expect_eq "first line" "Model:Layout Cam, tryb=320x240, zoom=123" \
            "$(child_text "$dump" "Model:")"
        sleep 2  # let frames flow through conversion and painting
        close_tool
    done
}

case_fast_camera() {
    # At 120 frames a second, frames arrive while the tool still opens the camera and stops the
    # graph to read its format: a streaming thread that waits for the main thread then must not
    # keep that main thread waiting for it.
    e2e_case "a fast camera does not hang the tool while it opens and closes"
    cameras '"Fast Cam" --format RGB24 --size 160x120 --fps 120 --zoom 100..500/1=100,value=140'
    local round
    for round in 1 2 3; do
        new_folder "fast-$round"
        write_config_dat "$DIR" '"VCapSource=Fast Cam",VCapModeWidth=160,VCapModeHeight=120'
        printf '[options]\r\nzoom=%d\r\n' $((140 + round)) >"$DIR/config.ini"
        wine_run 60 "$EXE" autoset
        local rc=$?
        expect_eq "round $round: autoset ends with exit code 0" 0 "$rc"
        expect_eq "round $round: zoom applied" $((140 + round)) "$(camera_zoom "Fast Cam")"
        [ "$rc" -eq 124 ] && break  # timeout killed the hung program
    done
}

case_device_choice() {
    e2e_case "device chosen by name in other letter case"
    cameras '"Cam Alpha" --zoom 100..500/1=100,value=111' \
        '"Cam Beta" --zoom 100..500/1=100,value=222'
    new_folder byname
    write_config_dat "$DIR" '"VCapSource=  cAM bETA ",VCapModeWidth=640,VCapModeHeight=480'
    start_tool
    local dump
    dump=$(wait_status "Model:")
    expect_eq "second camera's zoom" "Model:  cAM bETA , tryb=640x480, zoom=222" \
        "$(child_text "$dump" "Model:")"
    close_tool

    e2e_case "device chosen by position #2"
    new_folder byposition
    write_config_dat "$DIR" "VCapSource=#2,VCapModeWidth=640,VCapModeHeight=480"
    start_tool
    dump=$(wait_status "Model:")
    expect_eq "second camera's zoom" "Model:#2, tryb=640x480, zoom=222" \
        "$(child_text "$dump" "Model:")"
    close_tool
}

case_camera_without_zoom() {
    e2e_case "camera without zoom"
    cameras '"Plain Cam" --no-zoom --control Focus=0..100/1=40'
    new_folder nozoom
    write_config_dat "$DIR" '"VCapSource=Plain Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=77\r\n' >"$DIR/config.ini"
    start_tool
    local dump
    dump=$(wait_status "Model:Plain Cam")
    if grep -q "^child .* text=Model:Plain Cam, tryb=640x480, zoom=" <<<"$dump"; then
        pass "status line shown: $(child_text "$dump" "Model:")"
    else
        fail "no status line for the camera without zoom"
    fi
    probe click --title "$TITLE" --button Set >/dev/null
    sleep 1
    if probe dump --title "$TITLE" --timeout 5 >/dev/null; then
        pass "the tool still answers after Set"
    else
        fail "the tool stopped answering after Set"
    fi
    expect_eq "the camera's focus is left alone" "40" \
        "$(wine_reg_value 'HKCU\Software\CamzoomVirtualCamera\Plain Cam\Focus' Value)"
    close_tool
}

run_camzoom_cases() {
    case_status_with_camera
    case_status_without_camera
    case_set
    case_save
    case_autoset
    case_autoset_without_config_dat
    case_short_config_dat
    case_locked_config_dat
    case_device_choice
    case_camera_without_zoom
    case_every_layout
    case_fast_camera
    wine_vcam remove --all >/dev/null
}
