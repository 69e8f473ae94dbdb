#!/usr/bin/env bash
# The packages as a station's administrator uses them: the zip's file list, then the installer
# under Wine: silent installation with the virtual camera and the logon task, the version
# resources, autoset's exit codes with the installed program, the task as the Task Scheduler
# stored it, and the silent uninstallation that leaves only config.dat and config.ini.
# Sourced by package_run.sh; $PACKAGES is the folder with the zip and the installer, $VERSION
# the project's version.

INSTALL_DIR_WIN='C:\Station\camzoom'
TASK_NAME="camzoom autoset"
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\camzoom'
VCAM_CLASS_KEY='HKCR\CLSID\{BBE36C1D-C20E-483D-87D1-1E67D6C43C86}'
DEVICE_INSTANCES_KEY='HKCR\CLSID\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance'

install_dir() { printf '%s/drive_c/Station/camzoom' "$WINEPREFIX"; }

# The files the installation put into its folder, as sorted relative paths.
installed_files() {
    (cd "$(install_dir)" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

start_menu_folder() {
    find "$WINEPREFIX/drive_c/users" -type d -path '*/Start Menu/Programs/camzoom' 2>/dev/null |
        head -1
}

task_file() { printf '%s/drive_c/windows/system32/tasks/%s' "$WINEPREFIX" "$TASK_NAME"; }

# xml_text FILE: an XML file (UTF-16 or UTF-8, with or without a byte-order mark) as UTF-8, with
# no line breaks and no blanks between elements.
xml_text() {
    [ -f "$1" ] || return 1
    python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
if data.startswith(b'\xef\xbb\xbf'):
    text = data[3:].decode('utf-8')
elif data.startswith((b'\xff\xfe', b'\xfe\xff')):
    text = data.decode('utf-16')
else:
    text = data.decode('utf-8')
import re
print(re.sub(r'>\s+<', '><', text.replace('\r', '').replace('\n', '')))
PY
}

case_zip_contents() {
    e2e_case "portable zip"
    local zip="$PACKAGES/camzoom-$VERSION-win64.zip"
    if [ ! -f "$zip" ]; then
        fail "no $zip"
        return
    fi
    local top="camzoom-$VERSION-win64"
    local expected
    expected=$(printf '%s\n' "$top/CHANGELOG.txt" "$top/LICENSE.txt" "$top/camzoom.exe" \
        "$top/station-guide.txt" "$top/virtual-camera/" \
        "$top/virtual-camera/camzoom_vcam.dll" "$top/virtual-camera/camzoom_vcam_register.exe")
    local listing
    listing=$(python3 -c 'import sys, zipfile
for name in sorted(zipfile.ZipFile(sys.argv[1]).namelist()): print(name)' "$zip")
    expect_eq "file list" "$expected" "$listing"
    local stamps
    stamps=$(python3 -c 'import sys, zipfile
print(len({i.date_time for i in zipfile.ZipFile(sys.argv[1]).infolist()}))' "$zip")
    expect_eq "every entry carries the one package time stamp" 1 "$stamps"
}

case_silent_install() {
    e2e_case "silent installation with the virtual camera and the logon task"
    local setup="camzoom-$VERSION-win64-setup.exe"
    mkdir -p "$WINEPREFIX/drive_c/dist"
    cp "$PACKAGES/$setup" "$WINEPREFIX/drive_c/dist/"
    wine_run 180 "C:\\dist\\$setup" /S /VCAM=1 /TASK=1 "/D=$INSTALL_DIR_WIN" >/dev/null 2>&1
    expect_eq "installer exit code" 0 "$?"
    local expected
    expected=$(printf '%s\n' CHANGELOG.txt LICENSE.txt autoset-task.xml camzoom.exe \
        station-guide.txt uninstall.exe virtual-camera/camzoom_vcam.dll \
        virtual-camera/camzoom_vcam_register.exe)
    expect_eq "installed files" "$expected" "$(installed_files)"
    local menu
    menu=$(start_menu_folder)
    if [ -n "$menu" ] && [ -f "$menu/camzoom.lnk" ]; then
        pass "Start-menu entry: $(cd "$menu" && ls | tr '\n' ',' | sed 's/,$//')"
    else
        fail "no Start-menu entry camzoom.lnk"
    fi
    expect_eq "uninstall entry with the version" "$VERSION" \
        "$(wine_reg_value "$UNINSTALL_KEY" DisplayVersion)"
    expect_eq "virtual camera registered" "Camzoom Virtual Camera" \
        "$(wine_reg_value "$DEVICE_INSTANCES_KEY\\Camzoom Virtual Camera" FriendlyName)"
}

case_version_resources() {
    e2e_case "version resources through the version API"
    local file out
    for file in camzoom.exe 'virtual-camera\camzoom_vcam.dll' \
        'virtual-camera\camzoom_vcam_register.exe'; do
        out=$(probe file-version --path "$INSTALL_DIR_WIN\\$file")
        expect_eq "$file: fixed file and product version" "fixed=$VERSION.0 product=$VERSION.0" \
            "$(head -1 <<<"$out")"
        expect_eq "$file: FileVersion" "$VERSION" "$(sed -n 's/^FileVersion=//p' <<<"$out")"
        expect_eq "$file: ProductVersion" "$VERSION" "$(sed -n 's/^ProductVersion=//p' <<<"$out")"
        expect_eq "$file: ProductName" camzoom "$(sed -n 's/^ProductName=//p' <<<"$out")"
        if grep -q '^LegalCopyright=Copyright (c) 2026' <<<"$out" &&
            grep -q '^FileDescription=.' <<<"$out"; then
            pass "$file: description and copyright"
        else
            fail "$file: description or copyright missing in [$out]"
        fi
    done
}

# autoset_exit_code NAME CONFIG_DAT_TEXT STORED_ZOOM: runs the installed camzoom.exe autoset with
# these files beside it; its exit code in AUTOSET_RC.
run_installed_autoset() {
    write_config_dat "$(install_dir)" "$1"
    printf '[options]\r\nzoom=%s\r\n' "$2" >"$(install_dir)/config.ini"
    wine_run 60 "$INSTALL_DIR_WIN\\camzoom.exe" autoset >/dev/null 2>&1
    AUTOSET_RC=$?
}

case_autoset_exit_codes() {
    local vcam_id="Camzoom Virtual Camera"
    e2e_case "installed autoset: zoom applied"
    run_installed_autoset '"VCapSource=Camzoom Virtual Camera",VCapModeWidth=640,VCapModeHeight=480' 250
    expect_eq "exit code" 0 "$AUTOSET_RC"
    expect_eq "camera zoom in the registry" 250 "$(camera_zoom "$vcam_id")"

    e2e_case "installed autoset: zoom already on the camera"
    run_installed_autoset '"VCapSource=Camzoom Virtual Camera"' 250
    expect_eq "exit code" 0 "$AUTOSET_RC"

    e2e_case "installed autoset: unknown camera name"
    run_installed_autoset '"VCapSource=No Such Camera"' 300
    expect_eq "exit code" 2 "$AUTOSET_RC"
    expect_eq "camera zoom untouched" 250 "$(camera_zoom "$vcam_id")"

    e2e_case "installed autoset: camera without zoom"
    wine_run 60 "$INSTALL_DIR_WIN\\virtual-camera\\camzoom_vcam_register.exe" add "Plain Cam" \
        --no-zoom --control Focus=0..100/1=40 >/dev/null 2>&1 ||
        fail "cannot register the camera without zoom"
    run_installed_autoset '"VCapSource=Plain Cam"' 300
    expect_eq "exit code" 3 "$AUTOSET_RC"

    e2e_case "installed autoset: the camera refuses the zoom"
    run_installed_autoset '"VCapSource=Camzoom Virtual Camera"' 900
    expect_eq "exit code" 4 "$AUTOSET_RC"
    expect_eq "camera zoom unchanged" 250 "$(camera_zoom "$vcam_id")"

    e2e_case "interactive run still ends with 0"
    EXE="$INSTALL_DIR_WIN\\camzoom.exe"
    start_tool
    wait_status "Model:Camzoom Virtual Camera" >/dev/null
    close_tool
}

case_logon_task() {
    e2e_case "logon task"
    # Wine's scheduler keeps only part of a definition (no triggers, no restart settings, an
    # empty action), so the definition is checked as it was registered: the installer keeps it.
    local registered
    if ! registered=$(xml_text "$(install_dir)/autoset-task.xml"); then
        fail "no autoset-task.xml in the installation folder"
        return
    fi
    local part
    for part in '<LogonTrigger><Enabled>true</Enabled><UserId>' '<Delay>PT30S</Delay>' \
        '<RestartOnFailure><Interval>PT1M</Interval><Count>5</Count></RestartOnFailure>' \
        "<Command>\"$INSTALL_DIR_WIN\\camzoom.exe\"</Command>" '<Arguments>autoset</Arguments>' \
        '<LogonType>InteractiveToken</LogonType>' '<RunLevel>LeastPrivilege</RunLevel>'; do
        if grep -qF "$part" <<<"$registered"; then
            pass "registered definition holds $part"
        else
            fail "registered definition lacks $part: $registered"
        fi
    done
    local stored
    if ! stored=$(xml_text "$(task_file)"); then
        fail "the scheduler has no task $(task_file)"
        return
    fi
    # What Wine keeps of it shows that this definition is the one the scheduler took.
    for part in '<Description>camzoom: applies the stored zoom' \
        '<ExecutionTimeLimit>PT5M</ExecutionTimeLimit>' \
        '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>'; do
        if grep -qF "$part" <<<"$stored"; then
            pass "the scheduler's task holds $part"
        else
            fail "the scheduler's task lacks $part: $stored"
        fi
    done
}

case_silent_uninstall() {
    e2e_case "silent uninstallation leaves only the station's two files"
    run_installed_autoset '"VCapSource=Camzoom Virtual Camera"' 250  # config.dat and config.ini there
    wine_run 60 "$INSTALL_DIR_WIN\\uninstall.exe" /S >/dev/null 2>&1
    expect_eq "uninstaller exit code" 0 "$?"
    # The uninstaller goes on from a copy of itself in the temp folder: wait for its work.
    local i
    for i in $(seq 120); do
        [ -f "$(install_dir)/uninstall.exe" ] || [ -f "$(install_dir)/camzoom.exe" ] || break
        sleep 0.5
    done
    sleep 2
    expect_eq "left in the folder" "$(printf '%s\n' config.dat config.ini)" "$(installed_files)"
    expect_eq "Start-menu entry removed" "" "$(start_menu_folder)"
    if [ -e "$(task_file)" ]; then
        fail "the logon task is still registered"
    else
        pass "logon task removed"
    fi
    if wine_reg_value "$UNINSTALL_KEY" DisplayVersion >/dev/null; then
        fail "the uninstall entry is still there"
    else
        pass "uninstall entry removed"
    fi
    if wine_run 60 reg query "$VCAM_CLASS_KEY" >/dev/null 2>&1; then
        fail "the virtual camera's class is still registered"
    else
        pass "virtual camera class removed"
    fi
    local devices
    devices=$(wine_run 60 reg query "$DEVICE_INSTANCES_KEY" /s 2>/dev/null | tr -d '\r' |
        grep -ci 'Camzoom Virtual Camera\|Plain Cam')
    expect_eq "no virtual camera device left" 0 "${devices:-0}"
    if wine_run 60 reg query 'HKCU\Software\CamzoomVirtualCamera' >/dev/null 2>&1; then
        fail "the virtual camera's settings are still there"
    else
        pass "virtual camera settings removed"
    fi
}

run_package_cases() {
    case_zip_contents
    case_silent_install
    case_version_resources
    case_autoset_exit_codes
    case_logon_task
    case_silent_uninstall
}
