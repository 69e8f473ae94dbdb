#!/usr/bin/env bash
# The zoom dialog of camzoom.exe under Wine: opened through the window's system menu, its slider
# moved with keys, the camera followed through the virtual camera's registry values, Save,
# Cancel, the live picture and the one-line dialog. Sourced by run.sh after camzoom_cases.sh,
# whose helpers (new_folder, cameras, start_tool, wait_status, close_tool) it uses.

DIALOG_TITLE="Camera zoom"
# The id of the window's first own system-menu item, "Zoom..." (platform/win32/gui_form.cpp);
# under Wine another process cannot read a window's menu, so the probe sends the command as
# choosing the item does. The item's text and place are checked by the Win32 toolkit check.
ZOOM_MENU_ID=0x1000

# Opens the dialog through the system-menu command; prints its dump.
open_zoom_dialog() {
    probe syscommand --title "$TITLE" --id "$ZOOM_MENU_ID" >/dev/null
    probe dump --title "$DIALOG_TITLE" --timeout 20
}

# slider_key KEY: presses KEY on the dialog's slider; prints its position.
slider_key() {
    probe trackbar --title "$DIALOG_TITLE" --key "$1" | sed -E 's/.*position=(-?[0-9]+).*/\1/'
}

# wait_camera_zoom ID VALUE: until the virtual camera holds VALUE (at most 10 s); prints it.
wait_camera_zoom() {
    local i value
    for i in $(seq 50); do
        value=$(camera_zoom "$1")
        [ "$value" = "$2" ] && break
        sleep 0.2
    done
    printf '%s' "$value"
}

# From a pixels line: the colours as words (white, yellow, cyan, green, magenta, red, blue,
# black, grey), each channel read as high above 0x9F and low below 0x60.
colour_words() {
    python3 -c '
import sys
names = {"HHH": "white", "HHL": "yellow", "LHH": "cyan", "LHL": "green", "HLH": "magenta",
         "HLL": "red", "LLH": "blue", "LLL": "black"}
out = []
for hexa in sys.argv[1].split()[1:]:
    rgb = [int(hexa[i:i + 2], 16) for i in (0, 2, 4)]
    if all(c >= 0xA0 or c < 0x60 for c in rgb):
        out.append(names["".join("H" if c >= 0xA0 else "L" for c in rgb)])
    else:
        out.append("grey")
print(" ".join(out))' "$1"
}

case_zoom_dialog_menu_and_slider() {
    e2e_case "zoom dialog: system menu, slider keys, the camera follows, Cancel and close restore"
    cameras '"Virtual Cam" --format YUY2 --size 640x480 --zoom 100..500/10=100,value=250'
    new_folder zoomdialog
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=0\r\n' >"$DIR/config.ini"
    start_tool
    local dump
    dump=$(wait_status "Model:Virtual Cam")
    dump=$(open_zoom_dialog)
    expect_eq "dialog caption" "$DIALOG_TITLE" "$(window_title "$dump")"
    local slider
    slider=$(probe trackbar --title "$DIALOG_TITLE")
    expect_eq "slider over the Zoom range at the camera's zoom" \
        "trackbar position=250 min=100 max=500 line=10 page=40" "$slider"
    if grep -q "^child .* class=Static text=250\$" <<<"$dump"; then
        pass "the value beside the slider reads 250"
    else
        fail "no value 250 beside the slider"
    fi
    # The dialog centred on the window (within a pixel or two of rounding).
    local main
    main=$(probe dump --title "$TITLE")
    local mx my dx dy
    mx=$(($(window_field "$main" left) + $(window_field "$main" width) / 2))
    my=$(($(window_field "$main" top) + $(window_field "$main" height) / 2))
    dx=$(($(window_field "$dump" left) + $(window_field "$dump" width) / 2))
    dy=$(($(window_field "$dump" top) + $(window_field "$dump" height) / 2))
    if [ $((mx - dx)) -ge -2 ] && [ $((mx - dx)) -le 2 ] && [ $((my - dy)) -ge -2 ] &&
        [ $((my - dy)) -le 2 ]; then
        pass "dialog centred on the window"
    else
        fail "dialog centre $dx,$dy, window centre $mx,$my"
    fi

    expect_eq "Right moves one step" "260" "$(slider_key right)"
    expect_eq "the camera follows Right" "260" "$(wait_camera_zoom "Virtual Cam" 260)"
    expect_eq "Page Down moves a tenth of the range" "300" "$(slider_key pagedown)"
    expect_eq "End moves to the maximum" "500" "$(slider_key end)"
    expect_eq "the camera follows to the maximum" "500" "$(wait_camera_zoom "Virtual Cam" 500)"
    dump=$(probe dump --title "$DIALOG_TITLE")
    if grep -q "^child .* class=Static text=500\$" <<<"$dump"; then
        pass "the value beside the slider follows"
    else
        fail "the value beside the slider does not read 500"
    fi
    expect_eq "Home moves to the minimum" "100" "$(slider_key home)"
    expect_eq "the camera follows to the minimum" "100" "$(wait_camera_zoom "Virtual Cam" 100)"
    probe click --title "$DIALOG_TITLE" --button Cancel >/dev/null
    probe wait-gone --title "$DIALOG_TITLE" --timeout 15 >/dev/null
    expect_eq "Cancel sets the camera back" "250" "$(wait_camera_zoom "Virtual Cam" 250)"
    expect_eq "Cancel stores nothing" "0" "$(ini_zoom "$DIR")"
    dump=$(wait_status "Model:Virtual Cam, tryb=640x480, zoom=250" 15)
    expect_eq "first line after Cancel" "Model:Virtual Cam, tryb=640x480, zoom=250" \
        "$(child_text "$dump" "Model:")"
    expect_eq "client area unchanged" "413x84" "$(window_field "$dump" client)"
    # The dialog's close button (WM_CLOSE) is a Cancel too.
    open_zoom_dialog >/dev/null
    expect_eq "Page Up from 250" "210" "$(slider_key pageup)"
    expect_eq "the camera follows Page Up" "210" "$(wait_camera_zoom "Virtual Cam" 210)"
    probe close --title "$DIALOG_TITLE" >/dev/null
    probe wait-gone --title "$DIALOG_TITLE" --timeout 15 >/dev/null
    expect_eq "the close button sets the camera back" "250" "$(wait_camera_zoom "Virtual Cam" 250)"
    close_tool
}

case_zoom_dialog_save_and_picture() {
    e2e_case "zoom dialog: the live picture keeps moving, Save stores and refreshes"
    cameras '"Virtual Cam" --format YUY2 --size 640x480 --zoom 100..500/1=100,value=150'
    new_folder zoomsave
    write_config_dat "$DIR" '"VCapSource=Virtual Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=0\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Virtual Cam" >/dev/null
    open_zoom_dialog >/dev/null
    # Several seconds inside the dialog: past the frame path's one-second stall guard.
    sleep 4
    local bars
    bars=$(colour_words "$(probe pixels --title "$DIALOG_TITLE" --child-class CamzoomPicture \
        --row 0.1 --count 8)")
    # The camera's zoom 150 enlarges its eight bars 1.5 times about the centre: eight samples
    # across the picture meet the middle bars, two of them twice.
    expect_eq "the picture shows the test picture's colour bars, zoomed 1.5 times" \
        "yellow cyan green green magenta red red blue" "$bars"
    local first second
    first=$(probe pixels --title "$DIALOG_TITLE" --child-class CamzoomPicture --row 0.5 --count 64)
    sleep 1
    second=$(probe pixels --title "$DIALOG_TITLE" --child-class CamzoomPicture --row 0.5 --count 64)
    if [ -n "$first" ] && [ "$first" != "$second" ]; then
        pass "frames are still painted after seconds in the dialog"
    else
        fail "the picture stood still in the dialog"
    fi
    [ -n "${ZOOM_DIALOG_SCREENSHOT:-}" ] && wine_screenshot "$ZOOM_DIALOG_SCREENSHOT"
    expect_eq "Page Down" "190" "$(slider_key pagedown)"
    expect_eq "Right" "191" "$(slider_key right)"
    probe click --title "$DIALOG_TITLE" --button Save >/dev/null
    probe wait-gone --title "$DIALOG_TITLE" --timeout 15 >/dev/null
    local i
    for i in $(seq 50); do
        [ "$(ini_zoom "$DIR")" = 191 ] && break
        sleep 0.2
    done
    expect_eq "Save writes config.ini" "191" "$(ini_zoom "$DIR")"
    expect_eq "the camera holds the saved zoom" "191" "$(wait_camera_zoom "Virtual Cam" 191)"
    local dump
    dump=$(wait_status "Set zoom=191" 15)
    expect_eq "first line after Save" "Model:Virtual Cam, tryb=640x480, zoom=191" \
        "$(child_text "$dump" "Model:")"
    expect_eq "second line after Save" "Set zoom=191" "$(child_text "$dump" "Set zoom=")"
    close_tool
}

case_zoom_dialog_without_zoom() {
    e2e_case "zoom dialog: a camera without zoom gets the one-line dialog"
    cameras '"Plain Cam" --no-zoom --control Focus=0..100/1=40'
    new_folder zoomnone
    write_config_dat "$DIR" '"VCapSource=Plain Cam",VCapModeWidth=640,VCapModeHeight=480'
    printf '[options]\r\nzoom=77\r\n' >"$DIR/config.ini"
    start_tool
    wait_status "Model:Plain Cam" >/dev/null
    local dump
    dump=$(open_zoom_dialog)
    expect_eq "one line" "The camera offers no zoom control." \
        "$(child_text "$dump" "The camera")"
    local buttons
    buttons=$(grep -c '^child .* class=Button ' <<<"$dump")
    expect_eq "one button" "1" "$buttons"
    if grep -q '^child .* class=Button text=Close$' <<<"$dump"; then
        pass "the button is Close"
    else
        fail "no Close button"
    fi
    probe click --title "$DIALOG_TITLE" --button Close >/dev/null
    if probe wait-gone --title "$DIALOG_TITLE" --timeout 15 >/dev/null; then
        pass "Close closes the dialog"
    else
        fail "the dialog stayed"
    fi
    expect_eq "config.ini untouched" "77" "$(ini_zoom "$DIR")"
    close_tool
}

run_zoom_dialog_cases() {
    case_zoom_dialog_menu_and_slider
    case_zoom_dialog_save_and_picture
    case_zoom_dialog_without_zoom
    wine_vcam remove --all >/dev/null
}
