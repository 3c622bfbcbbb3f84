#!/usr/bin/env bash
# tirvelctl on several ports at once.
#
#   bench/station.sh [transfer] [station_bench options: --lines 4 --size 262144
#                    --station one|separate --phases alone,sx-alone,station,sx
#                    --ports device|com --rounds 1]
#     A 256 KiB image to lrzsz's rx on N lines paced at 115200 baud 8N1: one
#     send alone, N sends by one tirvelctl with N --device, N lrzsz sx at once;
#     each line's time against the line-rate bound and the send alone, and the
#     tool's CPU per port (bench/StationBench.cpp).
#     --station window: the station window updates N kavrel-sims behind the
#     paced lines instead (one tirvelctl update alone to compare with), on an
#     Xvfb display of its own, its settings in a scratch folder; the window's
#     own CPU, its workers' and the X server's.
#
#   bench/station.sh memory [--ports 4] [--count 100] [--size 16384]
#     tirvelctl --device ... update FW --count N on 4 ports, each a kavrel-sim
#     with a quarter of the devices and a few spare, unpaced: the supervisor's
#     resident memory sampled about every 0.5 s against the report's rows, and
#     each worker's peak (VmHWM, read every 0.1 s while it runs; it only grows).
#     Samples go to build/station-memory.csv.
#
# BUILD_DIR (default build) is configured with the default preset if missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
mode=transfer
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
    mode=$1
    shift
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
echo "($(nproc) cores, $(uname -sr), $(git log -1 --format='tirvelctl at %h %cd' --date=short))"

if [ "$mode" = transfer ]; then
    if [[ " $* " != *" --station window "* ]]; then
        command -v rx >/dev/null && command -v sx >/dev/null ||
            { echo "lrzsz (rx, sx) is needed: apt-get install lrzsz" >&2; exit 1; }
        cmake --build "$build" -j2 --target station_bench tirvelctl >/dev/null
        exec "$build/bin/station_bench" --tirvelctl "$build/bin/tirvelctl" "$@"
    fi
    cmake --build "$build" -j2 --target station_bench tirvelctl tirvel-station kavrel-sim >/dev/null
    scratch=$(mktemp -d)
    xserver=
    trap '[ -n "$xserver" ] && kill "$xserver" 2>/dev/null; wait; rm -rf "$scratch"' EXIT
    # The window's repaints are real ones: an X server, as for the screenshots.
    Xvfb -displayfd 3 -screen 0 1280x960x24 -dpi 96 -nolisten tcp 3>"$scratch/display" \
        2>"$scratch/xvfb.log" &
    xserver=$!
    for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.05; done
    [ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    mkdir -p "$scratch/config" "$scratch/runtime"
    chmod 700 "$scratch/runtime"
    DISPLAY=:$(cat "$scratch/display") XDG_CONFIG_HOME="$scratch/config" \
        XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=xcb \
        "$build/bin/station_bench" --tirvelctl "$build/bin/tirvelctl" --xserver "$xserver" "$@"
    exit
fi
[ "$mode" = memory ] || { echo "usage: bench/station.sh [transfer|memory] [options]" >&2; exit 2; }

ports=4 count=100 size=16384
while [ $# -gt 1 ]; do
    case $1 in
        --ports) ports=$2 ;;
        --count) count=$2 ;;
        --size) size=$2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
cmake --build "$build" -j2 --target tirvelctl kavrel-sim >/dev/null

work=$(mktemp -d)
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
head -c "$size" /dev/urandom >"$work/fw.bin"
per=$(((count + ports - 1) / ports))
devices=()
for i in $(seq "$ports"); do
    "$build/bin/kavrel-sim" --link "$work/line$i" --devices $((per + 5)) --boot-ms 200 \
        --loader-ms 1000 --firmware-out "$work/out$i.bin" >"$work/sim$i.log" 2>&1 &
    sims+=($!)
    devices+=(--device "$work/line$i")
done
for i in $(seq "$ports"); do
    for _ in $(seq 100); do [ -e "$work/line$i" ] && break; sleep 0.05; done
done

samples=$build/station-memory.csv
echo "seconds,devices_done,supervisor_rss_kib" >"$samples"
start=$(date +%s%N)
"$build/bin/tirvelctl" "${devices[@]}" update "$work/fw.bin" --count "$count" \
    --report "$work/report.csv" >"$work/tirvelctl.log" 2>&1 &
supervisor=$!
declare -A hwm
last_sample=0
while kill -0 "$supervisor" 2>/dev/null; do
    # VmHWM only grows: a worker's last reading is its peak but for its last
    # 0.1 s.
    for child in $(ps -o pid= --ppid "$supervisor" 2>/dev/null); do
        value=$(awk '/^VmHWM:/ { print $2 }' /proc/"$child"/status 2>/dev/null || true)
        [ -n "$value" ] && hwm[$child]=$value
    done
    now=$(date +%s%N)
    if [ $((now - last_sample)) -ge 500000000 ]; then
        last_sample=$now
        rss=$(awk '/^VmRSS:/ { print $2 }' /proc/"$supervisor"/status 2>/dev/null || true)
        done_now=0
        [ -f "$work/report.csv" ] && done_now=$(($(wc -l <"$work/report.csv") - 1))
        [ "$done_now" -lt 0 ] && done_now=0
        if [ -n "$rss" ]; then
            printf '%d.%03d,%d,%d\n' $(((now - start) / 1000000000)) \
                $(((now - start) / 1000000 % 1000)) "$done_now" "$rss" >>"$samples"
        fi
    fi
    sleep 0.1
done
status=0
wait "$supervisor" || status=$?
elapsed=$((($(date +%s%N) - start) / 1000000000))

rows=$(($(wc -l <"$work/report.csv" 2>/dev/null || echo 1) - 1))
echo "update of $count devices ($size-byte image) on $ports ports: exit $status, $rows report rows, $elapsed s"
awk -F, '
    NR > 1 && $2 >= 10 && !at10 { at10 = $3 }
    NR > 1 { last = $3; lastDone = $2; if ($3 > max) max = $3; if (!min || $3 < min) min = $3 }
    END {
        printf "supervisor VmRSS: %s KiB at device 10, %s KiB at device %d (last sample); min %s, max %s KiB\n",
               at10 ? at10 : "?", last, lastDone, min, max
    }' "$samples"
if [ ${#hwm[@]} -gt 0 ]; then
    printf '%s\n' "${hwm[@]}" | sort -n | awk '
        { v[NR] = $1 }
        END { printf "workers: %d, peak VmHWM %d to %d KiB (median %d)\n", NR, v[1], v[NR], v[int((NR + 1) / 2)] }'
else
    echo "workers: none seen (is the station in this tirvelctl?)"
fi
[ "$status" = 0 ] || { echo "--- tirvelctl output (tail)"; tail -20 "$work/tirvelctl.log"; }
echo "samples in $samples"
