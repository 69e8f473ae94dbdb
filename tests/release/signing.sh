#!/usr/bin/env bash
# The packages signed with a certificate: makes a throwaway code-signing certificate with
# openssl, runs CPack of BUILD_DIR once more with it in the environment (CAMZOOM_SIGN_PKCS12,
# CAMZOOM_SIGN_PASSWORD; a time-stamping address that answers nothing, which the build must
# survive by signing without a time stamp), into a folder of its own, and verifies with
# osslsigncode every signature: each shipped program as the zip and the MSI carry it, the NSIS
# installer, the uninstaller it writes, and the MSI. The build's own packages are left as they were.
#
#   tests/release/signing.sh [BUILD_DIR]     (default build/windows, after its package target)
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build/windows}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
list=$build/shipped-files.txt
if [ -z "$version" ] || [ ! -f "$list" ]; then
    echo "missing $list: configure and package the windows preset first"
    exit 1
fi

work=$(mktemp -d /tmp/camzoom-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failed=1
}

# A self-signed certificate for code signing, valid for a day, and its PKCS#12 file.
openssl req -x509 -newkey rsa:2048 -sha256 -days 1 -nodes -subj "/CN=camzoom test signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:"t0p secret" \
        -out "$work/signer.p12" >/dev/null 2>&1 || {
    echo "FAIL cannot make a test certificate"
    exit 1
}

out=$work/packages
# The uninstaller is signed inside makensis' run; a copy of it is kept for the check.
mkdir -p "$work/uninstaller"
CAMZOOM_SIGN_PKCS12=$work/signer.p12 CAMZOOM_SIGN_PASSWORD="t0p secret" \
    CAMZOOM_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ CAMZOOM_SIGN_UNINSTALLER_COPY=$work/uninstaller \
    cpack --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" 2>&1
if [ $? -ne 0 ]; then
    fail "cpack with a certificate failed"
    tail -n 20 "$work/cpack.log"
    exit 1
fi
if grep -q "did not answer" "$work/cpack.log"; then
    pass "an unreachable time-stamping server leaves the files signed without a time stamp"
else
    fail "no word of the unreachable time-stamping server"
fi

# verify WHAT FILE: a valid signature by the test certificate.
verify() {
    local log
    if log=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$2" 2>&1) &&
        grep -q "Signature verification: ok" <<<"$log" &&
        grep -q "camzoom test signer" <<<"$log"; then
        pass "$1: signed by the test certificate"
    else
        fail "$1: no valid signature: $(tail -n 3 <<<"$log" | tr '\n' ' ')"
    fi
}

setup=$out/camzoom-$version-win64-setup.exe
msi=$out/camzoom-$version-win64.msi
zip=$out/camzoom-$version-win64.zip
verify "NSIS installer" "$setup"
verify "MSI" "$msi"
verify "the uninstaller the NSIS installer writes" "$work/uninstaller/uninstall.exe"

# The programs as each package carries them (targets, not files of the tree).
mapfile -t programs < <(awk -F'\t' '$3 != "-" { print $1 }' "$list")
mkdir -p "$work/zip" "$work/msi"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/zip"
(cd "$work/msi" && msiextract "$msi" >/dev/null)
for program in "${programs[@]}"; do
    verify "zip: $program" "$work/zip/camzoom-$version-win64/$program"
    found=$(find "$work/msi" -type f -name "$(basename "$program")" | head -1)
    if [ -n "$found" ]; then
        verify "MSI: $program" "$found"
    else
        fail "MSI: $program not found in the package"
    fi
done

# The winget manifest names the signed installers.
winget=$out/winget/camzoom.camzoom.installer.yaml
expect_sums=$(sha256sum "$setup" "$msi" | cut -d' ' -f1)
got_sums=$(sed -n 's/^ *InstallerSha256: //p' "$winget" 2>/dev/null | tr 'A-F' 'a-f')
if [ "$expect_sums" = "$got_sums" ]; then
    pass "winget manifest: SHA-256 of the signed installers"
else
    fail "winget manifest: [$got_sums], the signed installers: [$expect_sums]"
fi

# Nothing of the signed run reached the build's own packages.
if osslsigncode verify -in "$build/packages/camzoom-$version-win64.msi" >/dev/null 2>&1; then
    fail "the build's own MSI carries a signature"
else
    pass "the build's own MSI is unsigned"
fi
exit $failed
