#!/usr/bin/env bash
# Screenshots of the station window for the README, made without a display:
# four simulated devices registered as COM 61-64, their boot loaders asking at
# different moments, tirvel-station updating them from the command line; the
# window pictures itself (tirvel-station --screenshot) once one port has its
# verdict while the others still send, then aborts the rest. Writes
# docs/screenshots/station-en.png and station-zh.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_BUILD_PACKAGES[@]}" "${TIRVEL_SCREENSHOT_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default --target kavrel-sim tirvelctl tirvel-station

source scripts/screenshot-session.sh
head -c 3000000 /dev/urandom >"$work/fw.bin"

# shoot LANG LOCALE FILE
shoot() {
    for k in 1 2 3 4; do
        start_sim $((60 + k)) --imei "86000000000${k}001" --devices 3 \
            --boot-ms $((200 + (k - 1) * 700))
    done
    xvfb env LANG="$2" LC_ALL= LC_MESSAGES= build/bin/tirvel-station --lang "$1" -p 61-64 \
        --firmware "$work/fw.bin" --count 8 --report "$work/report-$1.csv" --start \
        --screenshot "$3"
    stop_sims
    echo "$3"
}

shoot en en_US.UTF-8 "$out/station-en.png"
shoot zh zh_CN.UTF-8 "$out/station-zh.png"
