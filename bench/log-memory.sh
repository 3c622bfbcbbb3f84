#!/usr/bin/env bash
# tirvelctl log over a long, fast run: its memory against the bytes logged.
#
#   bench/log-memory.sh [SECONDS]     (default 600)
#
# kavrel-sim floods its debug output at the line rate (--throttle; a 100-byte
# line every millisecond, more than the line carries), so the tool logs as fast
# as its 20 ms poll reads, about 10 KB/s, and
# `tirvelctl log --seconds SECONDS --output FILE` writes it to FILE and to a
# pipe. The tool's resident memory (VmRSS) is sampled every 5 s against the
# bytes in FILE so far; /usr/bin/time gives its peak (maximum resident set
# size). Samples go to build/log-memory.csv.
#
# TIRVELCTL (default build/bin/tirvelctl) runs another build's binary.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

# shellcheck source=bench/tools.sh
. bench/tools.sh
{
    echo "+0 flood starts"
    echo "@loop"
    echo "+1 [MDM] {uptime} rssi -71 dBm, cell 460-00-1a2b-00c3f1, tx 1532 B, rx 20480 B, state ONLINE"
} >"$work/flood.txt"
"$build/bin/kavrel-sim" --link "$work/dtu" --throttle --boot-ms 200 --loader-ms 100 \
    --debug-text "$work/flood.txt" >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -e "$work/dtu" ] && break; sleep 0.05; done

samples=$build/log-memory.csv
echo "seconds,file_bytes,rss_kib" >"$samples"
/usr/bin/time -f '%e %M' -o "$work/time" "$tirvelctl" -q --device "$work/dtu" log \
    --seconds "$seconds" --output "$work/log.txt" >"$work/stdout" 2>"$work/err" &
runner=$!
sleep 0.5
tool=$(pgrep -P "$runner" -x tirvelctl || true)
start=$SECONDS
while kill -0 "$runner" 2>/dev/null; do
    rss=$(awk '/^VmRSS:/ { print $2 }' /proc/"$tool"/status 2>/dev/null || true)
    size=$(stat -c %s "$work/log.txt" 2>/dev/null || echo 0)
    [ -n "$rss" ] && echo "$((SECONDS - start)),$size,$rss" >>"$samples"
    sleep 5
done
status=0
wait "$runner" || status=$?
read -r wall peak <"$work/time"
bytes=$(stat -c %s "$work/log.txt")
echo "log for $seconds s: exit $status, $bytes bytes saved ($(stat -c %s "$work/stdout") on stdout), $wall s"
awk -F, '
    NR == 2 { first = $3; firstBytes = $2 }
    NR > 1 { last = $3; lastBytes = $2; if ($3 > max) max = $3 }
    END {
        printf "VmRSS: %d KiB at %d bytes, %d KiB at %d bytes (last sample), max %d KiB\n",
               first, firstBytes, last, lastBytes, max
    }' "$samples"
echo "peak (maximum resident set size): $peak KiB; samples in $samples"
