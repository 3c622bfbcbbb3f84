#!/usr/bin/env bash
# The long batch: tirvelctl over DEVICES simulated devices in series (default
# 500), each faulty with probability RATE (default 0.1), one seed for the whole
# line so a run can be repeated. Checks what the ctest case checks (every device
# reported, no false success, no healthy device failed, descriptors flat) and
# also that resident memory stays flat: at most MAX_GROWTH_KIB (default 512)
# more in the last tenth of the line than in the first. The default seed's first
# device has no fault: a batch gives up a port whose first try fails before it
# has given a device, so a seed whose first device is silent or pulled off
# while connecting ends the line after one row.
#
#   bench/soak.sh [DEVICES] [RATE] [SEED]
#
# Per-device memory and descriptors go to build/soak-samples.csv.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_BUILD_PACKAGES[@]}"

devices=${1:-500}
rate=${2:-0.1}
seed=${3:-2027}
max_growth=${MAX_GROWTH_KIB:-512}

cmake --preset default >/dev/null
cmake --build --preset default --target soak_tests kavrel-sim tirvelctl >/dev/null

samples=build/soak-samples.csv
log=build/soak.log
start=$SECONDS
status=0
TIRVEL_SOAK_DEVICES=$devices TIRVEL_SOAK_FAULT_RATE=$rate TIRVEL_SOAK_SEED=$seed \
    TIRVEL_SOAK_SAMPLES=$samples build/tests/soak_tests >"$log" 2>&1 || status=$?
grep -E '^(fault|devices|rss)' "$log" || true
echo "time: $((SECONDS - start)) s"

growth=$(sed -n 's/.*growth \(-\?[0-9]*\); fds.*/\1/p' "$log")
if [ "$status" != 0 ]; then
    echo "soak FAILED (see $log)"
    grep -A8 'Failure' "$log" | head -60
    exit 1
fi
if [ -z "$growth" ] || [ "$growth" -gt "$max_growth" ]; then
    echo "soak FAILED: resident memory grew by ${growth:-?} KiB (limit $max_growth KiB); see $samples"
    exit 1
fi
echo "soak passed: memory growth $growth KiB, samples in $samples"
