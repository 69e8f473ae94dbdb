#!/usr/bin/env bash
# The packages as a station's administrator uses them: the zip's file list, then the installer
# under Wine: silent installation with the virtual camera and the watcher, the watcher's logon
# task and its start, an upgrade (an older version's logon task removed, the running watcher
# replaced), the Run key where no task can be registered, the version resources, autoset's exit
# codes with the installed program, the watcher's message table and event source, the silent
# uninstallation that ends the watcher and leaves only config.dat and config.ini, an installation
# under Program Files (the users may change config.ini, nothing else) and the refusal of an
# account without a profile of its own.
# Sourced by package_run.sh; $PACKAGES is the folder with the zip and the installer, $VERSION
# the project's version, $SHIPPED_LIST the build's list of shipped files (shipping.cmake).

INSTALL_DIR_WIN='C:\Station\camzoom'
WATCH_TASK="camzoom watch"
OLD_TASK="camzoom autoset"
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\camzoom'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
RUN_VALUE="camzoom watch"
VCAM_CLASS_KEY='HKCR\CLSID\{BBE36C1D-C20E-483D-87D1-1E67D6C43C86}'
DEVICE_INSTANCES_KEY='HKCR\CLSID\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance'

install_dir() { printf '%s/drive_c/Station/camzoom' "$WINEPREFIX"; }

# The files the installation put into its folder, as sorted relative paths.
installed_files() {
    (cd "$(install_dir)" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

# The shipped files' paths in the package, sorted.
shipped_paths() { cut -f1 "$SHIPPED_LIST" | LC_ALL=C sort; }

start_menu_folder() {
    find "$WINEPREFIX/drive_c/users" -type d -path '*/Start Menu/Programs/camzoom' 2>/dev/null |
        head -1
}

task_file() { printf '%s/drive_c/windows/system32/tasks/%s' "$WINEPREFIX" "$1"; }

# The Linux pids of the watchers running in this test's prefix (another prefix on the machine
# may run its own).
watcher_pids() {
    local pid
    for pid in $(pgrep -f camzoom_watch.exe); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
        fi
    done
}

# wait_watcher running|ended: waits up to 15 s for a watcher to run, or for none to run.
wait_watcher() {
    local i
    for i in $(seq 60); do
        if [ "$1" = running ] && [ -n "$(watcher_pids)" ]; then
            return 0
        fi
        if [ "$1" = ended ] && [ -z "$(watcher_pids)" ]; then
            return 0
        fi
        sleep 0.25
    done
    return 1
}

# run_installer ARGS...: the installer, silently, into INSTALL_DIR_WIN; exit code in SETUP_RC.
run_installer() {
    local setup="camzoom-$VERSION-win64-setup.exe"
    mkdir -p "$WINEPREFIX/drive_c/dist"
    cp "$PACKAGES/$setup" "$WINEPREFIX/drive_c/dist/"
    wine_run 180 "C:\\dist\\$setup" /S "$@" "/D=$INSTALL_DIR_WIN" >/dev/null 2>&1
    SETUP_RC=$?
}

# expect_xml_parts WHAT XML PART...: each PART is in the (flattened) XML.
expect_xml_parts() {
    local what=$1 xml=$2 part
    shift 2
    for part in "$@"; do
        if grep -qF "$part" <<<"$xml"; then
            pass "$what holds $part"
        else
            fail "$what lacks $part: $xml"
        fi
    done
}

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
    # Every shipped file under the top folder, and an entry for each subfolder.
    local expected
    expected=$( (shipped_paths | sed "s|^|$top/|"
        shipped_paths | grep / | sed "s|/[^/]*\$|/|; s|^|$top/|" | uniq) | LC_ALL=C sort)
    if shipped_paths | grep -qx camzoom_watch.exe; then
        pass "the watcher is among the shipped files"
    else
        fail "camzoom_watch.exe is not among the shipped files ($SHIPPED_LIST)"
    fi
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
    e2e_case "silent installation with the virtual camera and the watcher"
    run_installer /VCAM=1 /WATCH=1
    expect_eq "installer exit code" 0 "$SETUP_RC"
    local expected
    expected=$( (shipped_paths; printf '%s\n' uninstall.exe watch-task.xml) | LC_ALL=C sort)
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
    # Wine runs no logon: the watcher that runs now is the one the installer started.
    if wait_watcher running; then
        pass "the installer started the watcher (pid $(watcher_pids | tr '\n' ' '))"
    else
        fail "no camzoom_watch.exe runs after the installation"
    fi
}

case_watch_task() {
    e2e_case "the watcher's logon task"
    expect_eq "autostart recorded in the uninstall key" task \
        "$(wine_reg_value "$UNINSTALL_KEY" WatchAutostart)"
    if wine_reg_value "$RUN_KEY" "$RUN_VALUE" >/dev/null; then
        fail "a Run value beside the task"
    else
        pass "no Run value beside the task"
    fi
    # Wine's scheduler keeps only part of a definition (no triggers, an empty action), so the
    # definition is checked as it was registered: the installer keeps it.
    local registered
    if ! registered=$(xml_text "$(install_dir)/watch-task.xml"); then
        fail "no watch-task.xml in the installation folder"
        return
    fi
    expect_xml_parts "registered definition" "$registered" \
        '<LogonTrigger><Enabled>true</Enabled><UserId>' \
        "<Command>\"$INSTALL_DIR_WIN\\camzoom_watch.exe\"</Command>" \
        "<WorkingDirectory>$INSTALL_DIR_WIN</WorkingDirectory>" \
        '<LogonType>InteractiveToken</LogonType>' '<RunLevel>LeastPrivilege</RunLevel>' \
        '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>' \
        '<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>' \
        '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>' \
        '<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>' '<Priority>5</Priority>'
    local absent
    for absent in '<RestartOnFailure>' '<Delay>' '<Arguments>'; do
        if grep -qF "$absent" <<<"$registered"; then
            fail "registered definition holds $absent: $registered"
        else
            pass "registered definition has no $absent"
        fi
    done
    local stored
    if ! stored=$(xml_text "$(task_file "$WATCH_TASK")"); then
        fail "the scheduler has no task $(task_file "$WATCH_TASK")"
        return
    fi
    # What Wine keeps of it shows that this definition is the one the scheduler took.
    expect_xml_parts "the scheduler's task" "$stored" '<Description>camzoom: starts the watcher' \
        '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>' \
        '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>'
}

# An older version's logon task, as version 1.0.0 registered it.
register_old_task() {
    python3 - "$WINEPREFIX/drive_c/dist/old-task.xml" <<'PY'
import sys
xml = ('<?xml version="1.0" encoding="UTF-16"?>\r\n'
       '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">\r\n'
       '<RegistrationInfo><Description>camzoom: applies the stored zoom to the station camera at logon</Description></RegistrationInfo>\r\n'
       '<Triggers><LogonTrigger><Enabled>true</Enabled><Delay>PT30S</Delay></LogonTrigger></Triggers>\r\n'
       '<Settings><ExecutionTimeLimit>PT5M</ExecutionTimeLimit></Settings>\r\n'
       '<Actions Context="Author"><Exec><Command>"C:\\Station\\camzoom\\camzoom.exe"</Command>'
       '<Arguments>autoset</Arguments></Exec></Actions>\r\n</Task>\r\n')
open(sys.argv[1], 'wb').write(b'\xff\xfe' + xml.encode('utf-16-le'))
PY
    cp "$WINEPREFIX/drive_c/dist/old-task.xml" "$(install_dir)/autoset-task.xml"
    wine_run 60 schtasks /create /xml 'C:\dist\old-task.xml' /tn "$OLD_TASK" /f >/dev/null 2>&1 &&
        wine_run 60 reg add "$UNINSTALL_KEY" /v LogonTask /t REG_DWORD /d 1 /f >/dev/null 2>&1
}

case_upgrade() {
    e2e_case "upgrade over a running watcher and an older version's logon task (/TASK=1)"
    if ! register_old_task || [ ! -e "$(task_file "$OLD_TASK")" ]; then
        fail "cannot register the older version's task"
        return
    fi
    local before
    before=$(watcher_pids)
    run_installer /TASK=1
    expect_eq "installer exit code" 0 "$SETUP_RC"
    if [ -e "$(task_file "$OLD_TASK")" ] || [ -f "$(install_dir)/autoset-task.xml" ]; then
        fail "the older version's task or its autoset-task.xml is still there"
    else
        pass "the older version's task and its definition removed"
    fi
    if wine_reg_value "$UNINSTALL_KEY" LogonTask >/dev/null; then
        fail "the older version's LogonTask value is still there"
    else
        pass "the older version's LogonTask value removed"
    fi
    # /TASK=1 chose the part: the task is registered again and a watcher runs.
    expect_eq "autostart recorded" task "$(wine_reg_value "$UNINSTALL_KEY" WatchAutostart)"
    if [ -e "$(task_file "$WATCH_TASK")" ]; then
        pass "the watcher's task registered"
    else
        fail "no task $WATCH_TASK after the upgrade"
    fi
    # The old watcher let go of its instance before the installer went on; its Wine process may
    # take a moment longer to be gone.
    if [ -n "$before" ] && pids_gone $before; then
        pass "the watcher that ran before was stopped"
    else
        fail "the watcher that ran before (pids [$before]) still runs, or none ran"
    fi
    if wait_watcher running; then
        pass "a watcher runs after the upgrade"
    else
        fail "no watcher runs after the upgrade"
    fi
}

case_run_key_fallback() {
    e2e_case "upgrade without options where no task can be registered: the Run key"
    # With Wine's schtasks.exe disabled the installer cannot register a task, as on a machine
    # whose policy forbids it. No /WATCH option: the part is kept because the installation being
    # replaced had it.
    local overrides=$WINEDLLOVERRIDES
    WINEDLLOVERRIDES="$overrides;schtasks.exe=d" run_installer
    expect_eq "installer exit code" 0 "$SETUP_RC"
    expect_eq "autostart recorded" "run key" "$(wine_reg_value "$UNINSTALL_KEY" WatchAutostart)"
    expect_eq "Run value" "\"$INSTALL_DIR_WIN\\camzoom_watch.exe\"" \
        "$(wine_reg_value "$RUN_KEY" "$RUN_VALUE")"
    if wait_watcher running; then
        pass "a watcher runs"
    else
        fail "no watcher runs"
    fi
}

# The exit-code cases below run autoset themselves: the watcher must not run beside them.
case_watch_stop() {
    e2e_case "the watcher ends on --stop"
    wine_run 30 "$INSTALL_DIR_WIN\\camzoom_watch.exe" --stop >/dev/null 2>&1
    expect_eq "--stop exit code" 0 "$?"
    if wait_watcher ended; then
        pass "no watcher runs"
    else
        fail "the watcher still runs (pids $(watcher_pids | tr '\n' ' '))"
    fi
}

case_version_resources() {
    e2e_case "version resources through the version API, and the manifests"
    local file out
    # Every built file that is shipped (targets, not files of the tree).
    for file in $(awk -F'\t' '$3 != "-" { print $1 }' "$SHIPPED_LIST" | tr / '\\'); do
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
    # The two programs a station's user starts carry the application manifest (as invoker).
    local manifest
    for file in camzoom.exe camzoom_watch.exe; do
        manifest=$(grep -ao '<assemblyIdentity [^>]*>\|requestedExecutionLevel level="[a-zA-Z]*"' \
            "$(install_dir)/$file" 2>/dev/null | tr '\n' ' ')
        if grep -qF "name=\"${file%.exe}\"" <<<"$manifest" &&
            grep -qF 'requestedExecutionLevel level="asInvoker"' <<<"$manifest"; then
            pass "$file: application manifest, as invoker"
        else
            fail "$file: no application manifest of its own: [$manifest]"
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

case_silent_uninstall() {
    e2e_case "silent uninstallation ends the watcher and leaves only the station's two files"
    run_installed_autoset '"VCapSource=Camzoom Virtual Camera"' 250  # config.dat and config.ini there
    wine_start "$INSTALL_DIR_WIN\\camzoom_watch.exe" >/dev/null 2>&1
    wait_watcher running || fail "the watcher does not start"
    wine_run 60 "$INSTALL_DIR_WIN\\uninstall.exe" /S >/dev/null 2>&1
    expect_eq "uninstaller exit code" 0 "$?"
    # The uninstaller goes on from a copy of itself in the temp folder: wait for its work.
    local i
    for i in $(seq 120); do
        [ -f "$(install_dir)/uninstall.exe" ] || [ -f "$(install_dir)/camzoom.exe" ] || break
        sleep 0.5
    done
    sleep 2
    if wait_watcher ended; then
        pass "the watcher ended"
    else
        fail "the watcher still runs (pids $(watcher_pids | tr '\n' ' '))"
    fi
    expect_eq "left in the folder" "$(printf '%s\n' config.dat config.ini)" "$(installed_files)"
    expect_eq "Start-menu entry removed" "" "$(start_menu_folder)"
    local task
    for task in "$WATCH_TASK" "$OLD_TASK"; do
        if [ -e "$(task_file "$task")" ]; then
            fail "the task $task is still registered"
        else
            pass "no task $task"
        fi
    done
    if wine_reg_value "$RUN_KEY" "$RUN_VALUE" >/dev/null; then
        fail "the Run value is still there"
    else
        pass "Run value removed"
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

EVENT_SOURCE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\camzoom'

case_event_log() {
    e2e_case "the watcher's message table and its event source"
    local watch="$INSTALL_DIR_WIN\\camzoom_watch.exe" out id
    local -A starts=([1]="The camzoom watcher started" [2]="The stored zoom could not be applied"
        [3]="The station camera refused the stored zoom" [4]="The camzoom watcher holds off"
        [5]="The stored zoom is on the station camera again")
    for id in 1 2 3 4 5; do
        out=$(probe event-message --path "$watch" --id "$id" --text "detail $id")
        if [[ $out == "message=${starts[$id]}"*": detail $id" ]]; then
            pass "message $id found by FormatMessage with its %1: ${out#message=}"
        else
            fail "message $id of camzoom_watch.exe: [$out]"
        fi
    done
    if probe event-message --path "$watch" --id 6 >/dev/null; then
        fail "the table has a message 6"
    else
        pass "no message beyond the five"
    fi

    wine_run 60 reg delete "$EVENT_SOURCE_KEY" /f >/dev/null 2>&1
    out=$(probe report-event --source camzoom --id 1 --text "not yet")
    expect_eq "an unregistered source is skipped" "3 not registered" "$? $out"
    # As the machine-wide installation enters the source.
    wine_run 60 reg add "$EVENT_SOURCE_KEY" /v EventMessageFile /t REG_EXPAND_SZ /d "$watch" /f \
        >/dev/null 2>&1 &&
        wine_run 60 reg add "$EVENT_SOURCE_KEY" /v TypesSupported /t REG_DWORD /d 7 /f \
            >/dev/null 2>&1 || fail "cannot register the event source"
    # Wine stores no events: ReportEventW shows on its debug channels, the call and its event id
    # on advapi's, the insertion string on eventlog's (warnings on warn, errors on err).
    local trace
    trace=$(WINEDEBUG=-all,+advapi,+eventlog timeout -k 5 60 wine 'C:\e2e\wine_probe.exe' \
        report-event --source camzoom --id 4 --severity warning --text "held off at 12:00" 2>&1 |
        tr -d '\r')
    if grep -q '^reported' <<<"$trace"; then
        pass "the registered source takes the event"
    else
        fail "report-event: [$(grep -v ':advapi:' <<<"$trace" | tail -3)]"
    fi
    if grep -Eq 'ReportEventW *\([^)]*0x0002,0x0000,0x00000004' <<<"$trace"; then
        pass "ReportEventW with a warning and event id 4 on the debug channel"
    else
        fail "no ReportEventW of a warning with id 4: [$(grep -i reportevent <<<"$trace" | head -3)]"
    fi
    if grep -q 'eventlog:ReportEventW L"held off at 12:00"' <<<"$trace"; then
        pass "the detail went as the insertion string"
    else
        fail "the detail is not on the eventlog channel: [$(grep -i eventlog <<<"$trace" | head -3)]"
    fi
    wine_run 60 reg delete "$EVENT_SOURCE_KEY" /f >/dev/null 2>&1
}

PROGRAM_FILES_DIR_WIN='C:\Program Files\camzoom'
program_files_dir() { printf '%s/drive_c/Program Files/camzoom' "$WINEPREFIX"; }

# The installer into PROGRAM_FILES_DIR_WIN; exit code in SETUP_RC, and in ICACLS the arguments
# it ran icacls with, one call per line, each argument in double quotes (Wine's icacls changes no
# rights and prints its command line on its debug channel).
run_installer_program_files() {
    local setup="camzoom-$VERSION-win64-setup.exe" out
    # /D takes the rest of the command line unquoted, blanks included: wine would quote an
    # argument with a blank, cmd's start hands the line over as it is (and waits).
    out=$(WINEDEBUG=-all,fixme+icacls timeout -k 5 180 wine cmd /c \
        "start /wait C:\\dist\\$setup /S $* /D=$PROGRAM_FILES_DIR_WIN & echo exit=%ERRORLEVEL%" \
        </dev/null 2>&1 | tr -d '\r')
    SETUP_RC=$(sed -n 's/^exit=//p' <<<"$out")
    ICACLS=$(sed -n 's/.*fixme:icacls:main stub: "[^"]*icacls\.exe" //p' <<<"$out" |
        sed 's/\\\\/\\/g')
}

case_program_files() {
    e2e_case "installation under Program Files: the users may change config.ini and nothing else"
    run_installer_program_files /WATCH=0 /VCAM=0
    expect_eq "installer exit code" 0 "$SETUP_RC"
    local dir
    dir=$(program_files_dir)
    if [ -f "$dir/config.ini" ] && [ ! -s "$dir/config.ini" ]; then
        pass "an empty config.ini created"
    else
        fail "no empty config.ini in $dir"
    fi
    local expected
    expected=$(printf '%s\n' "\"$PROGRAM_FILES_DIR_WIN\" \"/remove:g\" \"*S-1-5-32-545\"" \
        "\"$PROGRAM_FILES_DIR_WIN\\config.ini\" \"/grant\" \"*S-1-5-32-545:M\"")
    expect_eq "icacls: the folder's grant taken back, modify on config.ini alone" "$expected" \
        "$ICACLS"

    e2e_case "upgrade under Program Files keeps the stored zoom"
    printf '[options]\r\nzoom=250\r\n' >"$dir/config.ini"
    run_installer_program_files
    expect_eq "installer exit code" 0 "$SETUP_RC"
    expect_eq "config.ini untouched" "$(printf '[options]\r\nzoom=250\r')" "$(cat "$dir/config.ini")"
    expect_eq "icacls again on config.ini alone" "$expected" "$ICACLS"
    wine_run 60 "$PROGRAM_FILES_DIR_WIN\\uninstall.exe" /S >/dev/null 2>&1
    local i
    for i in $(seq 120); do
        [ -f "$dir/uninstall.exe" ] || [ -f "$dir/camzoom.exe" ] || break
        sleep 0.5
    done
    expect_eq "uninstalled, config.ini left" config.ini "$(cd "$dir" 2>/dev/null && find . -type f |
        sed 's|^\./||')"
    # The station's file stays for the next installation; the cases after this one (the MSI's,
    # into the same folder) begin from a machine without it.
    rm -rf "$dir"
}

SHELL_FOLDERS_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'

# simulate_system_profile on|off: Wine always runs as an ordinary user; the installer's other
# sign of an account without a profile of its own (besides its SID) is its local application
# data folder lying in the system profile, which the user's shell folder "Local AppData" is
# pointed at, and afterwards set back.
simulate_system_profile() {
    if [ "$1" = on ]; then
        SAVED_LOCAL_APPDATA=$(wine_reg_value "$SHELL_FOLDERS_KEY" "Local AppData") ||
            SAVED_LOCAL_APPDATA=""
        wine_run 60 reg add "$SHELL_FOLDERS_KEY" /v "Local AppData" /t REG_EXPAND_SZ \
            /d 'C:\windows\system32\config\systemprofile\AppData\Local' /f >/dev/null 2>&1 ||
            fail "cannot point Local AppData at the system profile"
    elif [ -n "$SAVED_LOCAL_APPDATA" ]; then
        wine_run 60 reg add "$SHELL_FOLDERS_KEY" /v "Local AppData" /t REG_EXPAND_SZ \
            /d "$SAVED_LOCAL_APPDATA" /f >/dev/null 2>&1
    else
        wine_run 60 reg delete "$SHELL_FOLDERS_KEY" /v "Local AppData" /f >/dev/null 2>&1
    fi
}

expect_nothing_installed() {
    local profile="$WINEPREFIX/drive_c/windows/system32/config/systemprofile"
    expect_eq "nothing in the system profile" "" \
        "$(cd "$profile" 2>/dev/null && find . -ipath '*camzoom*')"
    if wine_reg_value "$UNINSTALL_KEY" DisplayVersion >/dev/null; then
        fail "an uninstall entry was written"
    else
        pass "no uninstall entry"
    fi
    if [ -e "$(task_file "$WATCH_TASK")" ] || wine_reg_value "$RUN_KEY" "$RUN_VALUE" >/dev/null; then
        fail "an autostart of the watcher was registered"
    else
        pass "no task and no Run value"
    fi
    expect_eq "no Start-menu entry" "" "$(start_menu_folder)"
    if wait_watcher ended; then
        pass "no watcher runs"
    else
        fail "a watcher runs"
    fi
}

case_refused_without_profile() {
    local setup="camzoom-$VERSION-win64-setup.exe"
    e2e_case "run as SYSTEM, silently: refused with exit code 8, nothing installed"
    simulate_system_profile on
    # No /D: the folder it would install into is the system profile's.
    wine_run 180 "C:\\dist\\$setup" /S /VCAM=1 /WATCH=1 >/dev/null 2>&1
    SETUP_RC=$?
    simulate_system_profile off
    expect_eq "installer exit code" 8 "$SETUP_RC"
    expect_nothing_installed

    e2e_case "run as SYSTEM, interactively: a message box names the MSI, then only the details"
    simulate_system_profile on
    wine_start "C:\\dist\\$setup" >/dev/null 2>&1
    # The message box is titled as the installer's window, which MUI ends with a blank.
    local box
    box=$(probe answer --title "camzoom $VERSION Setup" --timeout 60)
    if grep -q "text=camzoom is not installed: .*camzoom-$VERSION-win64.msi" <<<"$box"; then
        pass "the message box says why and names camzoom-$VERSION-win64.msi"
    else
        fail "no message box naming the MSI: [$(grep -m1 'class=Static text=.' <<<"$box")]"
    fi
    local details
    details=$(probe dump --title "camzoom $VERSION Setup " --timeout 30)
    if grep -q 'text=camzoom is not installed (exit code 8)' <<<"$details"; then
        pass "the installer's page shows the refusal, no licence or folder page before it"
    else
        fail "the installer's page: [$(grep 'class=Static text=.' <<<"$details" | head -5)]"
    fi
    probe click --title "camzoom $VERSION Setup " --button Cancel >/dev/null
    wine_wait "$WINE_BG_PID" 60
    SETUP_RC=$?
    simulate_system_profile off
    expect_eq "installer exit code" 8 "$SETUP_RC"
    expect_nothing_installed
}

run_package_cases() {
    case_zip_contents
    case_silent_install
    case_watch_task
    case_upgrade
    case_run_key_fallback
    case_version_resources
    case_event_log
    case_watch_stop
    case_autoset_exit_codes
    case_silent_uninstall
    case_refused_without_profile
    case_program_files
}
