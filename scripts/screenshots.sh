#!/usr/bin/env bash
# Screenshots of the desktop app for the README, made without a display: the
# app runs under Xvfb on a simulated device, presses Start Config itself, and
# once the device's values are on the form grabs its own window
# (tirvel --screenshot, reproducible where a screen grab is not); the About box
# the same way. Writes docs/screenshots/tirvel-en.png, tirvel-zh.png and
# about-en.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_BUILD_PACKAGES[@]}" "${TIRVEL_SCREENSHOT_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default --target kavrel-sim tirvel

out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The simulator's COM1 link and the app's settings stay in here, away from
# the user's own.
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1
unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

xvfb() {
    xvfb-run -a -s "-screen 0 1280x960x24 -dpi 96 -nolisten tcp" "$@"
}

# shoot LANG LOCALE FILE: one device on COM1 whose item names are in LANG.
shoot() {
    build/bin/kavrel-sim --com 1 --boot-ms 300 --lang "$1" </dev/null >"$work/sim.out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/sim.out" ] && break
        sleep 0.1
    done
    xvfb env LANG="$2" LC_ALL= LC_MESSAGES= build/bin/tirvel --screenshot "$3"
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
    sim_pid=""
    echo "$3"
}

shoot en en_US.UTF-8 "$out/tirvel-en.png"
shoot zh zh_CN.UTF-8 "$out/tirvel-zh.png"
xvfb env LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= build/bin/tirvel --about-screenshot "$out/about-en.png"
echo "$out/about-en.png"
