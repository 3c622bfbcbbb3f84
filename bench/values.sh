#!/usr/bin/env bash
# The values table at scale (bench/ValuesBench.cpp); prints the figures.
#
#   bench/values.sh [ROWS [RUNS [LOOKUPS [TEXT]]]]   (default 1000000 5 1000000 ascii)
#
# A table of ROWS rows (IMEI, an APN of about 20 bytes, a number, a value
# with a pattern) written to the temporary folder and removed at the end,
# then read by job::ReadValues RUNS times: each run's time, the parse alone,
# the peak resident memory of the first read (getrusage), what stays
# resident while the bytes and the table are held, and LOOKUPS Finds of rows
# there and of IMEIs not there. TEXT cp1252 or utf8: every APN ends in "é",
# in Windows-1252 or in UTF-8 after a byte-order mark (converted).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" -j2 --target values_bench >/dev/null
echo "($(nproc) cores, $(uname -sr), $(git log -1 --format='at %h %cd' --date=short))"
echo "load: $(uptime)"
"$build/bin/values_bench" "$@"
