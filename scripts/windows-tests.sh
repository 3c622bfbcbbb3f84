#!/usr/bin/env bash
# The Windows build under Wine: cross-compiles everything that is not Qt with
# MinGW-w64 (preset "windows"), runs its tests under Wine, then runs the
# Windows tirvelctl.exe and the desktop app tirvel.exe against the simulator
# on this machine through Wine's serial layer (the wine suites of the native
# build), and last the installer (scripts/check-installer.sh). The desktop
# app's windows need an X display: without DISPLAY the stage starts Xvfb on a
# free display number for its own run.
#
# Where Wine cannot be installed or cannot start, it says so on one line and
# exits 0: the stage is skipped, not failed. Environment:
#   TIRVEL_WINEPREFIX  the Wine prefix to use (default build-windows/wineprefix;
#                      made with wineboot when it does not exist)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

skip() {
    echo "windows stage skipped: $*"
    exit 0
}

if ! tirvel_ensure_packages "${TIRVEL_WINDOWS_PACKAGES[@]}"; then
    skip "MinGW-w64 or Wine could not be installed (${TIRVEL_WINDOWS_PACKAGES[*]})"
fi

export WINEPREFIX="${TIRVEL_WINEPREFIX:-$PWD/build-windows/wineprefix}"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    # Only a prefix this script made is removed again after a failure.
    made=""
    [ -e "$WINEPREFIX" ] || made=yes
    if ! mkdir -p "$WINEPREFIX" 2>/dev/null || ! timeout 300 wineboot -i >/dev/null 2>&1 ||
        [ ! -d "$WINEPREFIX/dosdevices" ]; then
        [ -n "$made" ] && rm -rf "$WINEPREFIX"
        skip "Wine cannot start here (wineboot -i failed)"
    fi
fi

# Chinese dialogs ask for SimSun, which Wine does not have.
scripts/wine-cjk-font.sh
# Wine takes the UI language from the process's locale: the Chinese case of
# the desktop suite needs zh_CN.UTF-8 to exist (it skips otherwise).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && [ "$(id -u)" = 0 ] &&
    [ -d /usr/share/i18n/locales ]; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 || true
fi

cmake --preset windows
cmake --build --preset windows

loopback_pid=""
xvfb_pid=""
cleanup() {
    if [ -n "$loopback_pid" ]; then
        kill "$loopback_pid" 2>/dev/null || true
        wait "$loopback_pid" 2>/dev/null || true
    fi
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A display of our own where there is none; a number no other server holds.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null 2>&1; then
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            break
        fi
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    done
fi
[ -n "${DISPLAY:-}" ] || echo "no X display: the desktop app's cases under Wine will skip"

# One wineserver for the whole stage, kept up until cleanup: without it the
# server quits a few seconds after the last Wine process of a quiet moment,
# and a test starting just then meets it going ("recvmsg: Connection reset by
# peer") and fails for nothing of its own.
wineserver -p
# A loopback line on COM7 for the port tests that need bytes to come back.
loopback="$WINEPREFIX/dosdevices/com7"
tests/serial/wine-com-loopback.py "$loopback" &
loopback_pid=$!
for _ in $(seq 50); do [ -L "$loopback" ] && break; sleep 0.1; done
export TIRVEL_WIN32_LOOPBACK_PORT='\\.\COM7'
ctest --preset windows

# tirvelctl.exe and tirvel.exe against kavrel-sim: the simulator and the
# suites are native. Each desktop case runs two Wine processes; four cases at
# a time keep two cores busy without starving the timing of the AT dialogue.
cmake --preset default >/dev/null
cmake --build --preset default --target wine_tests wine_records_tests wine_desktop_tests kavrel-sim
TIRVEL_WINDOWS_BIN="$PWD/build-windows/bin" ctest --preset default -L wine -j 4

# The installer, silently in and out again, in a Wine prefix of its own.
scripts/check-installer.sh build-windows
