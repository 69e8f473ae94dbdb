#!/usr/bin/env bash
# Builds libjpeg-turbo as a static library for the Windows build, cross-compiled with mingw-w64
# from Debian's own source package (SIMD through nasm on). Result: <repo>/.deps/windows with
# include/jpeglib.h and lib/libjpeg.a. Does nothing when that result already exists.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$repo/.deps/windows
src_root=$repo/.deps/src
build_dir=$repo/.deps/build/libjpeg-turbo-windows

if [ -f "$prefix/include/jpeglib.h" ] && [ -f "$prefix/lib/libjpeg.a" ]; then
    echo "libjpeg-turbo for Windows already built in $prefix"
    exit 0
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# A deb-src entry for the mirror and suite that the system already uses.
ensure_source_entry() {
    if apt-get source --print-uris libjpeg-turbo >/dev/null 2>&1; then
        return
    fi
    local list=/etc/apt/sources.list.d/camzoom-deb-src.sources
    local uri suite
    uri=$(grep -hm1 '^URIs:' /etc/apt/sources.list.d/debian.sources 2>/dev/null | awk '{print $2}' || true)
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    if [ -z "$uri" ]; then
        uri=$(awk '$1 == "deb" && $2 ~ /^http/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
    fi
    uri=${uri:-http://deb.debian.org/debian}
    echo "adding deb-src entry $uri $suite -> $list"
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$suite" | as_root tee "$list" >/dev/null
    as_root apt-get update -o Acquire::Retries=3 >/dev/null
}

fetch_source() {
    local existing
    existing=$(find "$src_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' 2>/dev/null | sort | tail -n1)
    if [ -n "$existing" ] && [ -f "$existing/CMakeLists.txt" ]; then
        echo "$existing"
        return
    fi
    command -v dpkg-source >/dev/null || as_root apt-get install -y dpkg-dev >&2
    ensure_source_entry >&2
    mkdir -p "$src_root"
    (cd "$src_root" && apt-get source libjpeg-turbo >&2)
    find "$src_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n1
}

for tool in x86_64-w64-mingw32-gcc-posix nasm cmake; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run tools/setup/install-deps.sh" >&2; exit 1; }
done

src=$(fetch_source)
echo "building $src"
rm -rf "$build_dir"
mkdir -p "$build_dir"
cat >"$build_dir/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TOOLCHAIN
cmake -S "$src" -B "$build_dir" \
    -DCMAKE_TOOLCHAIN_FILE="$build_dir/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_ASM_NASM_COMPILER="$(command -v nasm)" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DREQUIRE_SIMD=ON >/dev/null
cmake --build "$build_dir" -j2
cmake --install "$build_dir" >/dev/null

test -f "$prefix/include/jpeglib.h" && test -f "$prefix/lib/libjpeg.a"
echo "libjpeg-turbo for Windows installed in $prefix"
