#!/usr/bin/env bash
# Screenshots of the desktop app for the README, made without a display: the
# app runs under Xvfb on a simulated device, presses Start Config itself, and
# once the device's values are on the form grabs its own window
# (tirvel --screenshot, reproducible where a screen grab is not); the About box
# the same way; the debug log once the device's output has settled
# (--log-screenshot), and the transfer dialog part-way through a firmware
# image (--transfer-screenshot). Writes docs/screenshots/tirvel-en.png,
# tirvel-zh.png, about-en.png, log-en.png and transfer-en.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_BUILD_PACKAGES[@]}" "${TIRVEL_SCREENSHOT_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default --target kavrel-sim tirvel

# The simulator's COM1 link and the app's settings stay in the session's
# scratch folder.
source scripts/screenshot-session.sh

# shoot LANG LOCALE FILE: one device on COM1 whose item names are in LANG.
shoot() {
    start_sim 1 --boot-ms 300 --lang "$1"
    xvfb env LANG="$2" LC_ALL= LC_MESSAGES= build/bin/tirvel --screenshot "$3"
    stop_sims
    echo "$3"
}

shoot en en_US.UTF-8 "$out/tirvel-en.png"
shoot zh zh_CN.UTF-8 "$out/tirvel-zh.png"
xvfb env LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= build/bin/tirvel --about-screenshot "$out/about-en.png"
echo "$out/about-en.png"

# The debug log: what a device prints while it boots and registers.
cat >"$work/debug.txt" <<'TEXT'
+0 DTU application V2.9 starting, IMEI {imei}
+40 Serial: 28800 8N1, flow control none
+40 Module power on
+80 AT+CPIN? -> READY
+60 AT+CSQ -> +CSQ: 23,99
+60 AT+CREG? -> +CREG: 0,1 (registered, home network)
+80 AT+CGATT? -> +CGATT: 1
+60 PDP context 1 activated, APN cmnet
+80 Local IP 10.83.142.17
+60 Connecting to center 1: 120.24.56.91:9000 (TCP)
+120 Center 1 connected
+60 Login packet sent (22 bytes)
+100 Heartbeat sent, uptime {uptime}
+80 Serial -> center 1: 64 bytes
+80 Center 1 -> serial: 12 bytes
+100 Heartbeat sent, uptime {uptime}
TEXT
start_sim 1 --boot-ms 200 --loader-ms 300 --debug-text "$work/debug.txt"
xvfb env LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= build/bin/tirvel --log-screenshot "$out/log-en.png"
stop_sims
echo "$out/log-en.png"

# The transfer dialog: a loader in CRC mode receiving an image large enough
# for the picture to catch it part-way.
head -c 400000 /dev/urandom >"$work/dtu-firmware-v2.9.bin"
start_sim 1 --boot-ms 200 --start crc
xvfb env LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= build/bin/tirvel \
    --firmware "$work/dtu-firmware-v2.9.bin" --transfer-screenshot "$out/transfer-en.png"
stop_sims
echo "$out/transfer-en.png"

# The Windows desktop app under Wine, where the windows build is there.
if [ -x build-windows/bin/tirvel.exe ] && [ -x build-windows/bin/tirvel-driver.exe ]; then
    scripts/screenshots-windows.sh
fi
