#!/usr/bin/env bash
# Start-up of the Windows desktop app under Wine beside the Qt app on Linux, in
# the same run: from exec to the first paint (both exit right after it with
# --quit-after-start). Wine runs on a virtual X display with its wineserver
# already up (started once and kept, as on a desktop where Wine is in use), so
# the figure is tirvel.exe's own start, not the wineserver's boot.
# Usage: bench/startup-windows.sh [RUNS] (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
# TIRVEL_QT_TIRVEL: a Qt tirvel built elsewhere, and nothing is built here.
qt=${TIRVEL_QT_TIRVEL:-build/bin/tirvel}
if [ -z "${TIRVEL_QT_TIRVEL:-}" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target tirvel >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target tirvel >/dev/null
fi

work=$(mktemp -d)
export WINEDEBUG=-all WINEPREFIX="${TIRVEL_WINEPREFIX:-$PWD/build-windows/wineprefix}"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
wineserver -p
wine build-windows/bin/tirvel.exe --quit-after-start >/dev/null 2>&1 || true  # warm caches

time_runs() {
    local times=() start end
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '
        { t[NR] = $1; sum += $1 }
        END {
            printf "  mean %.1f ms, median %.1f ms, min %.1f ms, max %.1f ms\n",
                   sum / NR / 1000, t[int((NR + 1) / 2)] / 1000, t[1] / 1000, t[NR] / 1000
        }'
}

echo "start-up to the first paint, $runs runs each ($(nproc) cores)"
echo "Qt app on Linux (X display $display):"
XDG_RUNTIME_DIR="$work" time_runs "$qt" --quit-after-start
echo "Win32 app under Wine (wineserver kept running):"
time_runs wine build-windows/bin/tirvel.exe --quit-after-start
x86_64-w64-mingw32-strip -o "$work/tirvel.exe" build-windows/bin/tirvel.exe
echo "tirvel.exe: $(stat -c %s build-windows/bin/tirvel.exe) bytes, stripped $(stat -c %s "$work/tirvel.exe")"
