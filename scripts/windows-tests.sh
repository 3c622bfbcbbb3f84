#!/usr/bin/env bash
# The Windows build under Wine: cross-compiles everything that is not Qt with
# MinGW-w64 (preset "windows"), runs its tests under Wine, then runs the
# Windows tirvelctl.exe against the simulator on this machine through Wine's
# serial layer (wine_tests of the native build).
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

cmake --preset windows
cmake --build --preset windows

# A loopback line on COM7 for the port tests that need bytes to come back.
loopback="$WINEPREFIX/dosdevices/com7"
tests/serial/wine-com-loopback.py "$loopback" &
loopback_pid=$!
cleanup() {
    kill "$loopback_pid" 2>/dev/null || true
    wait "$loopback_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -L "$loopback" ] && break; sleep 0.1; done
export TIRVEL_WIN32_LOOPBACK_PORT='\\.\COM7'
ctest --preset windows

# tirvelctl.exe against kavrel-sim: the simulator and the suite are native.
cmake --preset default >/dev/null
cmake --build --preset default --target wine_tests kavrel-sim
TIRVEL_WINDOWS_BIN="$PWD/build-windows/bin" ctest --preset default -L wine
