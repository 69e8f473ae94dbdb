#!/usr/bin/env bash
# Installs, with apt-get, every Debian package that the project needs and that is not installed yet.
# Works as root on a fresh Debian 12 (or through sudo otherwise).
set -euo pipefail

packages=(
    cmake g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
    libjpeg62-turbo-dev libyuv-dev libfreetype-dev fonts-dejavu-core pkg-config
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nasm
    wine64 wine fonts-wine fonts-liberation xvfb xauth imagemagick python3 dpkg-dev clang-format
    nsis wixl msitools faketime osslsigncode openssl
)

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "all ${#packages[@]} packages already installed"
    exit 0
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -o Acquire::Retries=3
# With their recommended packages: Wine's X11 driver loads several of them (and its fonts) at run
# time, and the tests measure text drawn in Wine's own faces.
as_root apt-get install -y "${missing[@]}"
