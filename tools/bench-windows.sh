#!/usr/bin/env bash
# Frame conversion speed of the product's own build: builds the console benchmark
# (camzoom_convert_bench) with the host-release and the windows presets, runs the two builds in
# turns (the Windows one under Wine), and prints each one's ratio block and every Windows figure
# against the host figure of the same run. Taking turns, and keeping each build's fastest time
# over all its turns, lets a burst of load from elsewhere fall on both builds alike.
#
#   bash tools/bench-windows.sh [TURNS [ROUNDS]]     # 3 turns of 10 rounds unless given
set -euo pipefail
cd "$(dirname "$0")/.."
turns=${1:-3}
rounds=${2:-10}

cmake --preset host-release >/dev/null
cmake --build --preset host-release -j2 --target camzoom_convert_bench >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target camzoom_convert_bench >/dev/null

out=$(mktemp -d /tmp/camzoom-bench.XXXXXX)
# shellcheck source=tools/wine/wine-env.sh
source tools/wine/wine-env.sh
wine_env_start
cleanup() {
    wine_env_stop
    rm -rf "$out"
}
trap cleanup EXIT

echo "load before: $(uptime)"
host=() windows=()
for turn in $(seq "$turns"); do
    build/host-release/bench/console/camzoom_convert_bench --rounds "$rounds" "${host[@]}" \
        >"$out/host.$turn.txt"
    host+=(--merge "$out/host.$turn.txt")
    wine_run 900 build/windows/bench/console/camzoom_convert_bench.exe --rounds "$rounds" \
        "${windows[@]}" | tr -d '\r' >"$out/windows.$turn.txt"
    windows+=(--merge "$out/windows.$turn.txt")
done
echo "load after: $(uptime)"
# The last turn's output holds every turn's fastest times.
cp "$out/host.$turns.txt" "$out/host.txt"
cp "$out/windows.$turns.txt" "$out/windows.txt"

printf '\n==== host build ====\n'
sed -n '/^Ratios/,$p' "$out/host.txt"
printf '\n==== Windows build under Wine ====\n'
head -2 "$out/windows.txt"
sed -n '/^Ratios/,$p' "$out/windows.txt"

# Each program lists its fastest time per measurement ("  NAME  MS ms"): Windows against host,
# name by name; and, as the Windows build has no libyuv, its YUY2 and I420 figures against the
# host build's libyuv of the same run.
printf '\n==== Windows against host (fastest repetition, ms) ====\n'
awk '
    FNR == 1 { build = (FILENAME ~ /windows\.txt$/) ? "w" : "h" }
    $1 ~ /\// && $3 == "ms" { t[build, $1] = $2; if (build == "w") names[$1] = 1 }
    function fastest(build, a, b,    x, y) {
        x = t[build, a]; y = t[build, b]
        if (x == "") return y
        if (y == "" || x < y) return x
        return y
    }
    function line(label, windows, host, reference) {
        if (windows == "" || host == "") return
        printf "  %-34s %8.3f ms / %8.3f ms = %5.2fx  (%s)\n", label, windows, host, windows / host, reference
    }
    END {
        n = split("640x480 1280x720 1920x1080", sizes, " ")
        for (i = 1; i <= n; i++) {
            s = sizes[i]
            line("RGB  " s " vs host", t["w", "ConvertFrame/RGB/" s], t["h", "ConvertFrame/RGB/" s], "host ConvertFrame")
            line("  memcpy " s " vs host", t["w", "Floor/memcpy/" s], t["h", "Floor/memcpy/" s], "host memcpy")
            line("YUY2 " s " vs host", t["w", "ConvertFrame/YUY2/" s], t["h", "ConvertFrame/YUY2/" s], "host ConvertFrame")
            line("YUY2 " s " vs host libyuv", t["w", "ConvertFrame/YUY2/" s],
                 fastest("h", "Libyuv/YUY2ToARGB+ARGBToRGB24/" s, "Libyuv/YUY2ToI420+I420ToRGB24/" s), "host libyuv")
            line("I420 " s " vs host", t["w", "ConvertFrame/I420/" s], t["h", "ConvertFrame/I420/" s], "host ConvertFrame")
            line("I420 " s " vs host libyuv", t["w", "ConvertFrame/I420/" s], t["h", "Libyuv/I420ToRGB24/" s], "host libyuv")
            line("MJPG 4:2:2 " s " vs host", t["w", "ConvertFrame/MJPG-422/" s], t["h", "ConvertFrame/MJPG-422/" s], "host ConvertFrame")
            line("  libjpeg 4:2:2 " s " vs host", t["w", "Libjpeg/decode-422/" s], t["h", "Libjpeg/decode-422/" s], "host libjpeg")
            line("MJPG 4:2:0 " s " vs host", t["w", "ConvertFrame/MJPG-420/" s], t["h", "ConvertFrame/MJPG-420/" s], "host ConvertFrame")
            line("  libjpeg 4:2:0 " s " vs host", t["w", "Libjpeg/decode-420/" s], t["h", "Libjpeg/decode-420/" s], "host libjpeg")
        }
        printf "\n  every path, Windows / host:\n"
        for (name in names) if (name ~ /^ConvertFrame\/(YUY2|I420|MJPG-42[02])-/ && t["h", name] != "")
            printf "    %-40s %5.2fx\n", name, t["w", name] / t["h", name] | "sort"
        close("sort")
    }
' "$out/host.txt" "$out/windows.txt"
