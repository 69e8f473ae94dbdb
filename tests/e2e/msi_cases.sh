#!/usr/bin/env bash
# The MSI as a fleet's administrator uses it, under Wine: its tables against the shipped files,
# then silent installations without and with the optional features (files in Program
# Files\camzoom, the Add/Remove Programs entry, the event source, the machine's Run value, the
# keeper started, config.ini created when missing and kept byte for byte when present, the one
# rights change Wine can show), a major upgrade from an older version built here, a refused
# downgrade, and silent uninstallations that leave config.dat and config.ini. Exit codes are read
# through cmd's %ERRORLEVEL% after `start /wait` (a Linux shell keeps only the low 8 bits).
# Sourced by package_run.sh after package_cases.sh, whose helpers it uses (watcher_pids,
# wait_watcher, shipped_paths, write_config_dat); $build is the Windows build folder.

MSI_DIR_WIN='C:\Program Files\camzoom'
MACHINE_RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
MACHINE_UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
EVENT_SOURCE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\camzoom'
OLD_MSI_VERSION=0.9.0

msi_dir() { printf '%s/drive_c/Program Files/camzoom' "$WINEPREFIX"; }
msi_file() { printf '%s/camzoom-%s-win64.msi' "$PACKAGES" "$VERSION"; }

msi_installed_files() {
    (cd "$(msi_dir)" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

# msi_property MSI NAME: a row of the package's Property table.
msi_property() {
    msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'
}

# msi_table MSI TABLE: the table's rows (without the three header lines).
msi_table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }

# run_msiexec ARGS...: msiexec through cmd, waited for; its full exit code in MSI_RC. The MSI
# files are reached under C:\dist. Every icacls.exe that ran is listed in MSI_ICACLS: Wine's
# icacls changes nothing and says so with its arguments on the fixme channel, which is all
# that Wine can show of the rights an installation gives.
run_msiexec() {
    mkdir -p "$WINEPREFIX/drive_c/dist"
    local trace=$E2E_ARTIFACTS/msiexec-trace.txt out
    mkdir -p "$E2E_ARTIFACTS"
    out=$(WINEDEBUG=fixme-all,fixme+icacls timeout -k 5 240 wine cmd /c \
        "start /wait msiexec $* & echo msiexec-exit=%ERRORLEVEL%" 2>"$trace" | tr -d '\r')
    MSI_RC=$(sed -n 's/^msiexec-exit=//p' <<<"$out")
    MSI_ICACLS=$(grep -a 'fixme:icacls:main stub:' "$trace" | sed 's/^.*stub: //')
    echo "msiexec $* -> ${MSI_RC:-none}" >>"$E2E_ARTIFACTS/msiexec-exit-codes.txt"
}

# msi_install MSI [PROPERTIES...]: a silent installation of that package.
msi_install() {
    mkdir -p "$WINEPREFIX/drive_c/dist"
    cp "$1" "$WINEPREFIX/drive_c/dist/"
    local name
    name=$(basename "$1")
    shift
    run_msiexec /i "C:\\dist\\$name" /qn "$@"
}

# The Add/Remove Programs entries named camzoom, one "key<TAB>version" line each.
arp_entries() {
    wine_run 60 reg query "$MACHINE_UNINSTALL_KEY" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY_/ { key = $0; name = ""; version = "" }
        /^ +DisplayName +REG_SZ +camzoom$/ { name = 1 }
        /^ +DisplayVersion +REG_SZ/ { version = $3 }
        /^$/ { if (name) print key "\t" version; name = "" }
        END { if (name) print key "\t" version }'
}

# The files of the program part, as the MSI puts them in the folder.
program_part_paths() { awk -F'\t' '$2 == "program" { print $1 }' "$SHIPPED_LIST" | LC_ALL=C sort; }

case_msi_tables() {
    e2e_case "MSI tables"
    local msi
    msi=$(msi_file)
    if [ ! -f "$msi" ]; then
        fail "no $msi"
        return
    fi
    # Every shipped file once, under its name, and nothing else: the station's own files are
    # never part of the package.
    local files expected_names
    files=$(msi_table "$msi" File | cut -f3 | LC_ALL=C sort)
    expected_names=$(shipped_paths | sed 's|.*/||' | LC_ALL=C sort)
    expect_eq "the File table holds the shipped files" "$expected_names" "$files"
    if grep -qix 'config\.\(ini\|dat\)' <<<"$files"; then
        fail "the MSI ships config.ini or config.dat"
    else
        pass "neither config.ini nor config.dat is shipped"
    fi
    # msidbComponentAttributes64bit (256) on every component, or Windows would put it in the
    # 32-bit views of the file system and the registry.
    local not64
    not64=$(msi_table "$msi" Component | awk -F'\t' 'int($4 / 256) % 2 == 0 { print $1 }')
    expect_eq "every component is 64-bit" "" "$not64"
    expect_eq "product version" "$VERSION" "$(msi_property "$msi" ProductVersion)"
    # The one grant of the package, on config.ini alone, with no inheritance flags.
    local grants
    grants=$(msi_table "$msi" CustomAction | grep -a 'S-1-5-32-545' | cut -f4)
    expect_eq "the only grant to the users" '"[INSTALLDIR]config.ini" /grant *S-1-5-32-545:M' "$grants"
    local secure
    secure=$(msi_property "$msi" SecureCustomProperties)
    if grep -q '\bVCAM\b' <<<"$secure" && grep -q '\bWATCH\b' <<<"$secure"; then
        pass "VCAM and WATCH are secure properties"
    else
        fail "VCAM or WATCH is not in SecureCustomProperties [$secure]"
    fi
    # The winget manifest names the installers as built.
    local winget=$PACKAGES/winget/camzoom.camzoom.installer.yaml
    if [ ! -f "$winget" ]; then
        fail "no winget manifest $winget"
        return
    fi
    local sums
    sums=$(sed -n 's/^ *InstallerSha256: //p' "$winget" | tr 'A-F' 'a-f')
    expect_eq "winget SHA-256 of both installers" \
        "$(sha256sum "$PACKAGES/camzoom-$VERSION-win64-setup.exe" "$msi" | cut -d' ' -f1)" "$sums"
    expect_eq "winget product code of the MSI" "$(msi_property "$msi" ProductCode)" \
        "$(sed -n "s/^    ProductCode: '\(.*\)'/\1/p" "$winget")"
}

case_msi_plain_install() {
    e2e_case "silent MSI installation without the optional features"
    msi_install "$(msi_file)"
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    expect_eq "installed files" "$( (program_part_paths; echo config.ini) | LC_ALL=C sort)" \
        "$(msi_installed_files)"
    expect_eq "config.ini created empty" 0 "$(stat -c %s "$(msi_dir)/config.ini" 2>/dev/null)"
    expect_eq "the users were given modify rights on config.ini and nothing else" \
        "\"C:\\\\windows\\\\system32\\\\icacls.exe\" \"C:\\\\Program Files\\\\camzoom\\\\config.ini\" \"/grant\" \"*S-1-5-32-545:M\"" \
        "$MSI_ICACLS"
    local entries
    entries=$(arp_entries)
    expect_eq "one Add/Remove Programs entry, this version" "1 $VERSION" \
        "$(wc -l <<<"$entries" | tr -d ' ') $(cut -f2 <<<"$entries")"
    local key
    key=$(cut -f1 <<<"$entries")
    expect_eq "entry's publisher" camzoom "$(wine_reg_value "$key" Publisher)"
    expect_eq "the entry is the product's" "$(msi_property "$(msi_file)" ProductCode)" "${key##*\\}"
    expect_eq "event source's message file" "$MSI_DIR_WIN\\camzoom_watch.exe" \
        "$(wine_reg_value "$EVENT_SOURCE_KEY" EventMessageFile)"
    expect_eq "event source's types" 7 "$(wine_reg_value "$EVENT_SOURCE_KEY" TypesSupported)"
    if wine_reg_value "$MACHINE_RUN_KEY" "$RUN_VALUE" >/dev/null; then
        fail "a Run value without WATCH=1"
    else
        pass "no Run value without WATCH=1"
    fi
    sleep 2
    expect_eq "no keeper started without WATCH=1" "" "$(watcher_pids)"
}

case_msi_uninstall_keeps_station_files() {
    e2e_case "silent MSI uninstallation leaves config.dat and config.ini"
    write_config_dat "$(msi_dir)" '"VCapSource=Camzoom Virtual Camera"'
    printf '[options]\r\nzoom=180\r\n' >"$(msi_dir)/config.ini"
    run_msiexec /x "$(msi_property "$(msi_file)" ProductCode)" /qn
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    expect_eq "left in the folder" "$(printf '%s\n' config.dat config.ini)" "$(msi_installed_files)"
    expect_eq "config.ini untouched" "$(printf '[options]\r\nzoom=180\r\n' | sha256sum)" \
        "$(sha256sum <"$(msi_dir)/config.ini")"
    expect_eq "no Add/Remove Programs entry" "" "$(arp_entries)"
    if wine_run 60 reg query "$EVENT_SOURCE_KEY" >/dev/null 2>&1; then
        fail "the event source is still registered"
    else
        pass "event source removed"
    fi
}

case_msi_features_install() {
    e2e_case "silent MSI installation with VCAM=1 WATCH=1 over the station's files"
    # An edited config.ini with a comment and no final line break: kept byte for byte.
    printf '; station 7\r\n[options]\r\nzoom=250' >"$(msi_dir)/config.ini"
    local before
    before=$(sha256sum <"$(msi_dir)/config.ini")
    msi_install "$(msi_file)" VCAM=1 WATCH=1
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    expect_eq "config.ini kept byte for byte" "$before" "$(sha256sum <"$(msi_dir)/config.ini")"
    expect_eq "installed files" "$( (shipped_paths; printf '%s\n' config.dat config.ini) |
        LC_ALL=C sort)" "$(msi_installed_files)"
    expect_eq "virtual camera registered" "Camzoom Virtual Camera" \
        "$(wine_reg_value "$DEVICE_INSTANCES_KEY\\Camzoom Virtual Camera" FriendlyName)"
    expect_eq "the machine's Run value" "\"$MSI_DIR_WIN\\camzoom_watch.exe\"" \
        "$(wine_reg_value "$MACHINE_RUN_KEY" "$RUN_VALUE")"
    if wait_watcher running; then
        pass "the installation started the keeper (pid $(watcher_pids | tr '\n' ' '))"
    else
        fail "no camzoom_watch.exe runs after the installation"
    fi
}

case_msi_features_uninstall() {
    e2e_case "silent MSI uninstallation with the features: keeper stopped, camera and Run value removed"
    run_msiexec /x "C:\\dist\\$(basename "$(msi_file)")" /qn
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    if wait_watcher ended; then
        pass "the keeper ended"
    else
        fail "the keeper still runs (pids $(watcher_pids | tr '\n' ' '))"
    fi
    expect_eq "left in the folder" "$(printf '%s\n' config.dat config.ini)" "$(msi_installed_files)"
    if wine_reg_value "$MACHINE_RUN_KEY" "$RUN_VALUE" >/dev/null; then
        fail "the Run value is still there"
    else
        pass "Run value removed"
    fi
    local devices
    devices=$(wine_run 60 reg query "$DEVICE_INSTANCES_KEY" /s 2>/dev/null | tr -d '\r' |
        grep -ci 'Camzoom Virtual Camera')
    expect_eq "no virtual camera device left" 0 "${devices:-0}"
    if wine_run 60 reg query "$VCAM_CLASS_KEY" >/dev/null 2>&1; then
        fail "the virtual camera's class is still registered"
    else
        pass "virtual camera class removed"
    fi
}

# An older version of the same files, made by the build's own MSI script.
make_old_msi() {
    local stage=$E2E_ARTIFACTS/msi-stage-old
    rm -rf "$stage"
    cp -a "$build/release/msi-stage" "$stage" &&
        cmake -DBUILD_DIR="$build" -DSTAGE="$stage" -DVERSION=$OLD_MSI_VERSION \
            -DOUTPUT="$E2E_ARTIFACTS/camzoom-$OLD_MSI_VERSION-win64.msi" \
            -P "$repo/cmake/release/msi.cmake" >/dev/null
}

case_msi_upgrade() {
    e2e_case "major upgrade from $OLD_MSI_VERSION with the keeper, no options: config.ini kept, one entry"
    local old=$E2E_ARTIFACTS/camzoom-$OLD_MSI_VERSION-win64.msi
    if ! make_old_msi || [ ! -f "$old" ]; then
        fail "cannot make the $OLD_MSI_VERSION MSI"
        return
    fi
    write_config_dat "$(msi_dir)" '"VCapSource=Camzoom Virtual Camera"'
    msi_install "$old" WATCH=1
    expect_eq "$OLD_MSI_VERSION: msiexec exit code" 0 "$MSI_RC"
    expect_eq "$OLD_MSI_VERSION: its entry" "$OLD_MSI_VERSION" "$(arp_entries | cut -f2)"
    wait_watcher running || fail "$OLD_MSI_VERSION: no keeper started"
    # The keeper takes its stop signal once it has set itself up; a station is not upgraded
    # within its first second.
    sleep 3
    local before_pids
    before_pids=$(watcher_pids)
    printf '[options]\r\nzoom=333\r\n; edited after %s\r\n' "$OLD_MSI_VERSION" >"$(msi_dir)/config.ini"
    local before
    before=$(sha256sum <"$(msi_dir)/config.ini")
    # No options: the features of the version being replaced are carried over.
    msi_install "$(msi_file)"
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    expect_eq "config.ini kept byte for byte" "$before" "$(sha256sum <"$(msi_dir)/config.ini")"
    expect_eq "one Add/Remove Programs entry, the new version" "$VERSION" "$(arp_entries | cut -f2)"
    expect_eq "the keeper's autostart carried over" "\"$MSI_DIR_WIN\\camzoom_watch.exe\"" \
        "$(wine_reg_value "$MACHINE_RUN_KEY" "$RUN_VALUE")"
    # A keeper that was told to stop takes up to 2 s more to leave under Wine without a window
    # manager (its hidden window).
    if [ -n "$before_pids" ] && pids_gone $before_pids; then
        pass "the older version's keeper was stopped"
    else
        fail "the older version's keeper (pids [$before_pids]) still runs, or none ran"
    fi
    if wait_watcher running; then
        pass "a keeper runs after the upgrade"
    else
        fail "no keeper runs after the upgrade"
    fi

    e2e_case "the older MSI over the newer one is refused"
    msi_install "$old"
    # 1603: the launch condition against a downgrade fails the installation.
    expect_eq "msiexec exit code" 1603 "$MSI_RC"
    expect_eq "still the one entry of the new version" "$VERSION" "$(arp_entries | cut -f2)"

    e2e_case "uninstallation after the upgrade"
    run_msiexec /x "$(msi_property "$(msi_file)" ProductCode)" /qn
    expect_eq "msiexec exit code" 0 "$MSI_RC"
    wait_watcher ended || fail "the keeper still runs"
    expect_eq "left in the folder" "$(printf '%s\n' config.dat config.ini)" "$(msi_installed_files)"
    expect_eq "config.ini kept byte for byte" "$before" "$(sha256sum <"$(msi_dir)/config.ini")"
    expect_eq "no Add/Remove Programs entry" "" "$(arp_entries)"
}

run_msi_cases() {
    case_msi_tables
    case_msi_plain_install
    case_msi_uninstall_keeps_station_files
    case_msi_features_install
    case_msi_features_uninstall
    rm -f "$(msi_dir)/config.dat" "$(msi_dir)/config.ini"
    case_msi_upgrade
}
