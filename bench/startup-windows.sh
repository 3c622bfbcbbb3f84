#!/usr/bin/env bash
# Start-up of the Windows desktop app under Wine beside the Qt app on Linux, in
# the same run: from exec to the first paint of the main window. Both apps,
# given --quit-after-start, print "first paint" on their standard output when
# the window has painted and then close; the clock stops at that line, so the
# close is not counted (under Xvfb without a window manager, Wine's
# DestroyWindow waits 2 s for a withdrawn state no window manager confirms).
# The whole run to exit is printed too, for comparison. Everything is measured
# twice: on a bare Xvfb display, and with twm managing the windows when twm is
# installed. Wine runs with its wineserver already up (started once and kept,
# as on a desktop where Wine is in use), so the figure is tirvel.exe's own
# start, not the wineserver's boot.
# Usage: bench/startup-windows.sh [RUNS] (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
source bench/timing.sh
# TIRVEL_QT_TIRVEL: a Qt tirvel built elsewhere, and nothing is built here.
qt=${TIRVEL_QT_TIRVEL:-build/bin/tirvel}
if [ -z "${TIRVEL_QT_TIRVEL:-}" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target tirvel >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target tirvel >/dev/null
fi
exe=build-windows/bin/tirvel.exe

work=$(mktemp -d)
export WINEDEBUG=-all WINEPREFIX="${TIRVEL_WINEPREFIX:-$PWD/build-windows/wineprefix}"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=
cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; fi
    kill $xvfb 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display XDG_RUNTIME_DIR="$work"
sleep 1
wineserver -p
wine "$exe" --quit-after-start >/dev/null 2>&1 || true  # warm caches

measure() {
    echo "Qt app on Linux, to the first paint:"
    bench_time_runs "$runs" "first paint" "$qt" --quit-after-start
    echo "Qt app on Linux, to its exit:"
    bench_time_runs "$runs" "" "$qt" --quit-after-start
    echo "Win32 app under Wine, to the first paint:"
    bench_time_runs "$runs" "first paint" wine "$exe" --quit-after-start
    echo "Win32 app under Wine, to its exit:"
    bench_time_runs "$runs" "" wine "$exe" --quit-after-start
}

echo "start-up, $runs runs each ($(nproc) cores, $(git log -1 --format='%h %cd' --date=short))"
echo "== X display $display, no window manager"
measure
if command -v twm >/dev/null 2>&1; then
    twm >/dev/null 2>&1 &
    wm=$!
    sleep 1
    echo "== X display $display, managed by twm"
    measure
else
    echo "== twm is not installed: no figures under a window manager (apt-get install twm)"
fi
x86_64-w64-mingw32-strip -o "$work/tirvel.exe" "$exe"
echo "tirvel.exe: $(stat -c %s "$exe") bytes, stripped $(stat -c %s "$work/tirvel.exe")"
