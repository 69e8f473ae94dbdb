#!/usr/bin/env bash
# The main job: installs what is missing, builds the host and the Windows programs, runs the host
# program in autoset mode, then camzoom.exe under Wine against the virtual camera, on $DISPLAY
# when there is one (close the window to finish) or on a virtual display, saving a screenshot.
#
#   tools/run-camzoom.sh            results: build/camzoom-screenshot.png,
#                                   build/camzoom-dialog-screenshot.png,
#                                   build/camzoom-camera-settings-screenshot.png, build/wine-demo
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
jobs=${JOBS:-2}
# Other build folders may be chosen, e.g. to leave the presets' own folders alone.
win_build=${WINDOWS_BUILD_DIR:-build/windows}
host_build=${HOST_BUILD_DIR:-build/host}

step() { printf '\n==== %s ====\n' "$*"; }

step "packages"
bash tools/setup/install-deps.sh
step "libjpeg-turbo for Windows"
bash tools/setup/build-libjpeg-windows.sh

step "host build"
cmake --preset host -B "$host_build" >/dev/null
if cmake --build "$host_build" -j "$jobs" --target camzoom; then
    step "host program: camzoom autoset, then an interactive run, against a simulated camera"
    bash tools/host-demo.sh "$host_build" || echo "host demo failed (see above); going on with the Windows build"
else
    echo "host program not built (see the errors above); going on with the Windows build"
fi

step "windows build"
cmake --preset windows -B "$win_build" >/dev/null
cmake --build "$win_build" -j "$jobs"
exe=$win_build/app/camzoom.exe
[ -f "$exe" ] || { echo "camzoom.exe was not built"; exit 1; }

step "Wine prefix build/wine-demo with the virtual camera"
had_display=${DISPLAY:-}
source tools/wine/wine-env.sh
wine_env_start "$repo/build/wine-demo"
wine_vcam_install "$win_build"
wine_vcam remove --all >/dev/null || true
# The picture controls of a webcam beside the zoom, for the camera settings dialog; a virtual
# camera that takes no video-processing controls yet gets the camera controls alone.
controls=(--control Focus=0..250/5=0,auto --control Exposure=-13..-1/1=-6,auto)
processing=(--control Brightness=0..255/1=128 --control Contrast=0..100/1=50
    --control WhiteBalance=2800..6500/100=4600,auto --control PowerLineFrequency=0..2/1=1)
wine_vcam add "Camzoom Virtual Camera" --format YUY2 --size 640x480 \
    --zoom 100..500/1=100,value=100 "${controls[@]}" "${processing[@]}" >/dev/null ||
    wine_vcam add "Camzoom Virtual Camera" --format YUY2 --size 640x480 \
        --zoom 100..500/1=100,value=100 "${controls[@]}" >/dev/null
app_dir=$WINEPREFIX/drive_c/camzoom
mkdir -p "$app_dir"
cp "$exe" "$app_dir/"
python3 -c 'import struct,sys; t=sys.argv[2].encode(); open(sys.argv[1],"wb").write(struct.pack("<i",len(t))+t)' \
    "$app_dir/config.dat" '"VCapSource=Camzoom Virtual Camera",VCapModeWidth=640,VCapModeHeight=480'
printf '[options]\r\nzoom=250\r\n' >"$app_dir/config.ini"
mkdir -p "$WINEPREFIX/drive_c/e2e"
cp "$win_build/tools/wine_probe/wine_probe.exe" "$WINEPREFIX/drive_c/e2e/"
probe() { wine_run 60 'C:\e2e\wine_probe.exe' "$@" 2>/dev/null | tr -d '\r'; }

if [ -n "$had_display" ]; then
    step "camzoom.exe on $DISPLAY: close its window to finish"
    wine_run 3600 'C:\camzoom\camzoom.exe' || true
else
    step "camzoom.exe on a virtual display"
    wine_start 'C:\camzoom\camzoom.exe'
    app=$WINE_BG_PID
    probe wait-text --title "Camera set zoom" --prefix "Model:" --timeout 30 | grep -E '^(window|child)' || true
    wine_screenshot build/camzoom-screenshot.png && echo "screenshot: $repo/build/camzoom-screenshot.png"
    step "the zoom dialog (system menu, Zoom...) with the live picture"
    # 0x1000: the id of the window's "Zoom..." item; another process cannot read the menu.
    probe syscommand --title "Camera set zoom" --id 0x1000 >/dev/null || true
    probe wait-text --title "Camera zoom" --prefix "Save" --timeout 20 | grep -E '^(window|child)' || true
    sleep 2
    wine_screenshot build/camzoom-dialog-screenshot.png &&
        echo "screenshot: $repo/build/camzoom-dialog-screenshot.png"
    probe click --title "Camera zoom" --button Cancel >/dev/null || true
    probe wait-gone --title "Camera zoom" --timeout 15 >/dev/null || true
    step "the camera settings dialog (system menu: Alt+Space, E) with its rows"
    probe syskey --title "Camera set zoom" --key e >/dev/null || true
    if ! probe dump --title "Camera settings" --timeout 5 >/dev/null; then
        # 0x1010: the id of the window's "Camera settings..." item.
        probe syscommand --title "Camera set zoom" --id 0x1010 >/dev/null || true
    fi
    probe wait-text --title "Camera settings" --prefix "Save" --timeout 20 >/dev/null || true
    probe rows --title "Camera settings" || true
    sleep 2
    wine_screenshot build/camzoom-camera-settings-screenshot.png &&
        echo "screenshot: $repo/build/camzoom-camera-settings-screenshot.png"
    probe click --title "Camera settings" --button Cancel >/dev/null || true
    probe wait-gone --title "Camera settings" --timeout 15 >/dev/null || true
    probe close --title "Camera set zoom" --timeout 5 >/dev/null || true
    wine_wait "$app" 30 || true
    step "camzoom.exe autoset"
    set +e
    wine_run 60 'C:\camzoom\camzoom.exe' autoset
    echo "autoset exit code: $?"
    set -e
fi
echo "camera zoom now: $(wine_reg_value 'HKCU\Software\CamzoomVirtualCamera\Camzoom Virtual Camera\Zoom' Value)"
echo "config.ini: $app_dir/config.ini"
wine_settle 30
echo "Wine prefix kept in $WINEPREFIX (run again with WINEPREFIX=$WINEPREFIX wine ...)"
