#!/usr/bin/env bash
# The camera settings dialog of camzoom.exe under Wine: opened from the system menu with
# Alt+Space and its mnemonic, its rows against the virtual camera's controls, a slider and Auto
# changing the camera (read back from the registry), Save writing [camera] and [options] zoom,
# Cancel setting back, the live picture following Brightness, and the one-line dialog. Sourced
# by run.sh after camzoom_cases.sh and zoom_dialog_cases.sh, whose helpers it uses.

SETTINGS_TITLE="Camera settings"
# The id of the window's second own system-menu item, "Camera s&ettings..."
# (platform/win32/gui_form.cpp): the way in when the menu cannot be typed into.
SETTINGS_MENU_ID=0x1010

# vcam_control_value ID CONTROL [Value|Flags]: what the virtual camera instance holds.
vcam_control_value() {
    wine_reg_value "HKCU\\Software\\CamzoomVirtualCamera\\$1\\$2" "${3:-Value}"
}

# wait_camera_control ID CONTROL NAME VALUE: until the value NAME (Value or Flags) of the
# camera's CONTROL reads VALUE (at most 10 s); prints it.
wait_camera_control() {
    local i value
    for i in $(seq 25); do
        value=$(vcam_control_value "$1" "$2" "$3")
        [ "$value" = "$4" ] && break
        sleep 0.4
    done
    printf '%s' "$value"
}

# ini_camera DIR KEY: the value of KEY in config.ini's [camera] section.
ini_camera() {
    [ -f "$1/config.ini" ] || return 1
    tr -d '\r' <"$1/config.ini" | awk -v key="$2" '
        /^\[/ { section = tolower($0) }
        section == "[camera]" && tolower($0) ~ ("^" key "=") { sub(/^[^=]*=/, ""); print; exit }'
}

# The dialog through Alt+Space, E; through the item's command when typing did not open it.
open_settings_dialog() {
    probe syskey --title "$TITLE" --key e >/dev/null
    if probe dump --title "$SETTINGS_TITLE" --timeout 5 2>/dev/null; then return 0; fi
    probe syscommand --title "$TITLE" --id "$SETTINGS_MENU_ID" >/dev/null
    probe dump --title "$SETTINGS_TITLE" --timeout 20
    return 1
}

# camzoom_cpu_ticks: the user and system clock ticks that the running camzoom.exe of this prefix has
# used so far (other tests on the machine may run their own camzoom.exe in other prefixes).
camzoom_cpu_ticks() {
    local pid
    for pid in $(pgrep -f 'camzoom\.exe' 2>/dev/null); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            awk '{print $14 + $15}' "/proc/$pid/stat"
            return 0
        fi
    done
    return 1
}

# measure_cpu SECONDS: the tool's CPU time over SECONDS, in ms per second of wall time.
measure_cpu() {
    local before after hz
    hz=$(getconf CLK_TCK)
    before=$(camzoom_cpu_ticks) || return 1
    sleep "$1"
    after=$(camzoom_cpu_ticks) || return 1
    echo $(((after - before) * 1000 / hz / $1))
}

# row_line ROWS NAME: the probe's line of row NAME.
row_line() {
    grep -E "^row $2 " <<<"$1"
}

case_camera_settings_rows_save_cancel() {
    e2e_case "camera settings: opened by Alt+Space E, rows as the camera offers, live settings, Save, Cancel"
    local camera='"Settings Cam" --format YUY2 --size 640x480 --fps 30 --zoom 100..500/10=100,value=200'
    camera+=' --control Focus=0..250/5=0,auto --control Exposure=-13..-1/1=-6,auto'
    local processing=' --control WhiteBalance=2800..6500/100=4600,auto --control Brightness=0..255/1=128'
    local with_processing=1
    wine_vcam remove --all >/dev/null
    if ! eval "wine_vcam add $camera$processing" >/dev/null; then
        echo "NOTE the virtual camera takes no video-processing controls yet: camera controls only"
        with_processing=0
        cameras "$camera"
    fi
    new_folder camerasettings
    write_config_dat "$DIR" '"VCapSource=Settings Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=0\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Settings Cam" >/dev/null
    local dump
    if dump=$(open_settings_dialog); then
        pass "Alt+Space, E opens the dialog"
    else
        fail "Alt+Space, E did not open the dialog (opened through the item's command)"
    fi
    expect_eq "dialog caption" "$SETTINGS_TITLE" "$(window_title "$dump")"
    local rows names expected_names="Zoom Exposure Focus"
    rows=$(probe rows --title "$SETTINGS_TITLE")
    names=$(awk '{print $2}' <<<"$rows" | tr '\n' ' ' | sed 's/ $//')
    if [ "$with_processing" = 1 ] && grep -q "^row Brightness " <<<"$rows"; then
        expected_names="Zoom Exposure Focus Brightness WhiteBalance"
    elif [ "$with_processing" = 1 ]; then
        echo "NOTE the virtual camera took the video-processing controls but reports none of them"
    fi
    expect_eq "one row per control the camera offers" "$expected_names" "$names"
    expect_eq "the Zoom row" "row Zoom min=100 max=500 position=200 Keep=on" \
        "$(row_line "$rows" Zoom)"
    expect_eq "the Exposure row" "row Exposure min=-13 max=-1 position=-6 Auto=on Keep=off" \
        "$(row_line "$rows" Exposure)"
    expect_eq "the Focus row" "row Focus min=0 max=250 position=0 Auto=on Keep=off" \
        "$(row_line "$rows" Focus)"
    if [ "$expected_names" != "Zoom Exposure Focus" ]; then
        expect_eq "the WhiteBalance row" \
            "row WhiteBalance min=2800 max=6500 position=4600 Auto=on Keep=off" \
            "$(row_line "$rows" WhiteBalance)"
        expect_eq "the Brightness row" "row Brightness min=0 max=255 position=128 Keep=off" \
            "$(row_line "$rows" Brightness)"
    fi
    local height
    height=$(window_field "$dump" height)
    if [ "$height" -le 1024 ]; then pass "the dialog fits the screen"; else fail "dialog height $height"; fi

    # Measured, not asserted: the tool's CPU with this dialog and its live picture open, at the
    # virtual camera's 30 frames per second.
    sleep 2
    local busy
    if busy=$(measure_cpu 5); then
        echo "MEASURED camera settings dialog open ($names): ${busy} ms CPU per s," \
            "$((busy * 1000 / 30)) us per painted frame at 30 fps"
    fi

    # A slider moved in Auto switches to manual; the camera follows value and mode.
    probe trackbar --title "$SETTINGS_TITLE" --beside Focus --key pagedown >/dev/null
    expect_eq "Focus follows its slider" "25" "$(wait_camera_control "Settings Cam" Focus Value 25)"
    expect_eq "Focus is manual after a slide" "2" \
        "$(wait_camera_control "Settings Cam" Focus Flags 2)"
    expect_eq "Exposure's Auto off" "check Auto=off" \
        "$(probe check --title "$SETTINGS_TITLE" --beside Exposure --button Auto --set off)"
    expect_eq "Exposure is manual on the camera" "2" \
        "$(wait_camera_control "Settings Cam" Exposure Flags 2)"
    probe trackbar --title "$SETTINGS_TITLE" --beside Zoom --key pagedown >/dev/null
    expect_eq "Zoom follows its slider" "240" "$(camera_zoom_wait "Settings Cam" 240)"

    # The picture follows Brightness, when the camera offers it.
    if grep -q "^row Brightness " <<<"$rows"; then
        sleep 2
        local before after
        before=$(probe pixels --title "$SETTINGS_TITLE" --child-class CamzoomPicture --row 0.1 --count 8)
        probe trackbar --title "$SETTINGS_TITLE" --beside Brightness --key end >/dev/null
        expect_eq "Brightness to its maximum" "255" \
            "$(wait_camera_control "Settings Cam" Brightness Value 255)"
        sleep 2
        after=$(probe pixels --title "$SETTINGS_TITLE" --child-class CamzoomPicture --row 0.1 --count 8)
        if [ -n "$before" ] && [ "$before" != "$after" ]; then
            pass "the live picture changes with Brightness ($before -> $after)"
        else
            fail "the live picture stayed as it was with Brightness at its maximum ($before)"
        fi
    else
        echo "SKIP the picture against Brightness: the camera offers no Brightness yet"
    fi
    [ -n "${CAMERA_SETTINGS_SCREENSHOT:-}" ] && wine_screenshot "$CAMERA_SETTINGS_SCREENSHOT"

    probe check --title "$SETTINGS_TITLE" --beside Focus --button Keep --set on >/dev/null
    probe check --title "$SETTINGS_TITLE" --beside Exposure --button Keep --set on >/dev/null
    probe click --title "$SETTINGS_TITLE" --button Save >/dev/null
    probe wait-gone --title "$SETTINGS_TITLE" --timeout 15 >/dev/null
    local i
    for i in $(seq 50); do
        [ "$(ini_camera "$DIR" focus)" = 25 ] && break
        sleep 0.2
    done
    expect_eq "Save keeps Focus in [camera]" "25" "$(ini_camera "$DIR" focus)"
    expect_eq "Save keeps Exposure in [camera]" "-6" "$(ini_camera "$DIR" exposure)"
    expect_eq "Save stores the kept zoom in [options]" "240" "$(ini_zoom "$DIR")"
    expect_eq "rows not marked Keep stay out" "" "$(ini_camera "$DIR" whitebalance)"
    dump=$(wait_status "Set zoom=240" 15)
    expect_eq "the window reads the camera again" "Model:Settings Cam, tryb=640x480, zoom=240" \
        "$(child_text "$dump" "Model:")"

    # Again: Keep starts checked for the kept rows; Cancel sets back value and mode.
    open_settings_dialog >/dev/null
    rows=$(probe rows --title "$SETTINGS_TITLE")
    expect_eq "Focus starts kept" "row Focus min=0 max=250 position=25 Auto=off Keep=on" \
        "$(row_line "$rows" Focus)"
    probe trackbar --title "$SETTINGS_TITLE" --beside Focus --key end >/dev/null
    probe check --title "$SETTINGS_TITLE" --beside Exposure --button Auto --set on >/dev/null
    expect_eq "Focus moved" "250" "$(wait_camera_control "Settings Cam" Focus Value 250)"
    expect_eq "Exposure automatic" "1" "$(wait_camera_control "Settings Cam" Exposure Flags 1)"
    probe click --title "$SETTINGS_TITLE" --button Cancel >/dev/null
    probe wait-gone --title "$SETTINGS_TITLE" --timeout 15 >/dev/null
    expect_eq "Cancel sets Focus back" "25" "$(wait_camera_control "Settings Cam" Focus Value 25)"
    expect_eq "Cancel sets Exposure's mode back" "2" \
        "$(wait_camera_control "Settings Cam" Exposure Flags 2)"
    expect_eq "Cancel stores nothing" "25" "$(ini_camera "$DIR" focus)"
    close_tool
}

case_camera_settings_every_control() {
    e2e_case "camera settings: a webcam's eighteen controls, one of them automatic only"
    cameras '"Full Cam" --format YUY2 --size 640x480 --fps 30 --picture-controls --control Iris=0..10/1=5,autoonly'
    new_folder settingsfull
    write_config_dat "$DIR" '"VCapSource=Full Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=0\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Full Cam" >/dev/null
    local dump rows
    dump=$(open_settings_dialog)
    rows=$(probe rows --title "$SETTINGS_TITLE")
    expect_eq "a row for each of the eighteen controls" 18 "$(grep -c '^row ' <<<"$rows")"
    local height
    height=$(window_field "$dump" height)
    if [ "$height" -le 1024 ]; then pass "the dialog fits the screen ($height)"; else fail "dialog height $height"; fi
    expect_eq "Iris, automatic only: slider and Auto disabled, Keep free" \
        "row Iris min=0 max=10 position=5(disabled) Auto=on(disabled) Keep=off" \
        "$(row_line "$rows" Iris)"
    probe trackbar --title "$SETTINGS_TITLE" --beside Iris --key end >/dev/null
    sleep 1
    expect_eq "a key on its slider changes nothing on the camera" "5 1" \
        "$(vcam_control_value "Full Cam" Iris Value) $(vcam_control_value "Full Cam" Iris Flags)"
    # Measured, not asserted: the tool's CPU with every row present and the live picture at the
    # virtual camera's 30 frames per second.
    sleep 2
    local busy
    if busy=$(measure_cpu 5); then
        echo "MEASURED camera settings dialog open with all 18 rows: ${busy} ms CPU per s," \
            "$((busy * 1000 / 30)) us per painted frame at 30 fps"
    fi
    probe click --title "$SETTINGS_TITLE" --button Cancel >/dev/null
    probe wait-gone --title "$SETTINGS_TITLE" --timeout 15 >/dev/null
    close_tool
}

case_camera_settings_without_controls() {
    e2e_case "camera settings: a camera without picture controls gets the one-line dialog"
    cameras '"Bare Cam" --no-zoom'
    new_folder settingsnone
    write_config_dat "$DIR" '"VCapSource=Bare Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=77\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Bare Cam" >/dev/null
    local dump
    dump=$(open_settings_dialog)
    expect_eq "one line" "The camera offers none of the picture controls." \
        "$(child_text "$dump" "The camera")"
    expect_eq "one button" "1" "$(grep -c '^child .* class=Button ' <<<"$dump")"
    probe click --title "$SETTINGS_TITLE" --button Close >/dev/null
    if probe wait-gone --title "$SETTINGS_TITLE" --timeout 15 >/dev/null; then
        pass "Close closes the dialog"
    else
        fail "the dialog stayed"
    fi
    expect_eq "config.ini untouched" "[options]|zoom=77" "$(tr -d '\r' <"$DIR/config.ini" | paste -sd '|')"
    close_tool
}

# camera_zoom_wait ID VALUE: until the camera's zoom reads VALUE (at most 10 s); prints it.
camera_zoom_wait() {
    wait_camera_control "$1" Zoom Value "$2"
}

run_camera_settings_cases() {
    case_camera_settings_rows_save_cancel
    case_camera_settings_every_control
    case_camera_settings_without_controls
    wine_vcam remove --all >/dev/null
}
