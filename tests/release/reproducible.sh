#!/usr/bin/env bash
# Two builds of one tree give the same bytes: builds every shipped program (the build's
# shipped-files.txt, from cmake/release/shipped_files.cmake) and the packages once more from
# scratch, from a copy of the tree at another path and in another build folder, and compares
# their SHA-256 (the zip, both installers and the winget manifest that names them) with those of
# BUILD_DIR (made by `cmake --build --preset windows --target package`). Both use the one
# libjpeg-turbo of .deps.
#
#   tests/release/reproducible.sh [BUILD_DIR]     (default build/windows)
set -uo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build/windows}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
second=$repo/build/windows-reproducible
copy=$repo/build/reproducible-source
jobs=$(nproc 2>/dev/null || echo 2)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
list=$build/shipped-files.txt
if [ ! -f "$list" ]; then
    echo "missing $list: configure the windows preset first"
    exit 1
fi
# The list's columns: path in the package, part, target, built file ("-" for a file of the tree).
mapfile -t targets < <(awk -F'\t' '$3 != "-" { print $3 }' "$list")
mapfile -t built < <(awk -F'\t' '$4 != "-" { print $4 }' "$list")
files=("${built[@]}" "packages/camzoom-$version-win64.zip" "packages/camzoom-$version-win64-setup.exe"
    "packages/camzoom-$version-win64.msi" "packages/winget/camzoom.camzoom.installer.yaml")
for file in "${files[@]}"; do
    if [ ! -f "$build/$file" ]; then
        echo "missing $build/$file: build the windows preset's package target first"
        exit 1
    fi
done

rm -rf "$second" "$copy"
mkdir -p "$copy"
# The files git knows of, as they are in the working tree (a deleted one is skipped).
git -C "$repo" ls-files -z --cached --others --exclude-standard |
    (cd "$repo" && xargs -0 cp --parents -t "$copy" 2>/dev/null) || true
ln -s "$repo/.deps" "$copy/.deps"
# The copy has no history, so it gets the packages' time stamp that the tree's build used.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
# The same configuration as the windows preset, in another folder; installing (and so packing)
# needs only the shipped programs there.
cmake -S "$copy" -B "$second" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null || exit 1
cmake --build "$second" -j "$jobs" --target "${targets[@]}" >/dev/null || exit 1
(cd "$second" && cpack >/dev/null) || exit 1

failed=0
if cmp -s "$list" "$second/shipped-files.txt"; then
    echo "PASS shipped-files.txt: the same ${#targets[@]} programs and $(($(wc -l <"$list") - ${#targets[@]})) other files in both builds"
else
    echo "FAIL shipped-files.txt differs between the builds"
    failed=1
fi
for file in "${files[@]}"; do
    first_hash=$(sha256sum "$build/$file" | cut -d' ' -f1)
    second_hash=$(sha256sum "$second/$file" | cut -d' ' -f1)
    if [ "$first_hash" = "$second_hash" ]; then
        echo "PASS $file: $first_hash in both builds"
    else
        echo "FAIL $file: $first_hash here, $second_hash in $second"
        failed=1
    fi
done
exit $failed
