#!/usr/bin/env bash
# Firmware transfer time of a 256 KiB image over a line paced at 115200 baud
# 8N1 between two pseudo-terminals, receiver lrzsz's rx, for both XMODEM
# variants; the sender is ours, then lrzsz's sx for reference. Reports the
# fraction of the line-rate bound and the sender's CPU time.
# Usage: bench/xmodem.sh [BUILD_DIR] [extra xmodem_bench options, e.g. --size 65536]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true

command -v rx >/dev/null && command -v sx >/dev/null ||
    { echo "lrzsz (rx, sx) is needed: apt-get install lrzsz" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target xmodem_bench >/dev/null
echo "($(nproc) cores, $(uname -sr))"
exec "$build/bin/xmodem_bench" "$@"
