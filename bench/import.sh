#!/usr/bin/env bash
# Import of a large profile: tirvelctl apply against kavrel-sim on a pty.
#
#   bench/import.sh [KEYS ...]        (default: 25000 50000 100000 200000)
#
# For each size a profile of KEYS keys is generated: the five of the shipped
# example profile, then keys no device has ("100006. Extra 100006=x6").
# apply reads the device, imports the profile, writes the five items and
# judges every key on a read-back; the keys the device does not have are
# reported (a table row each, and the message naming them), so every run ends
# with exit 1 by design. /usr/bin/time gives the whole process's wall
# time and peak memory (maximum resident set size); the wait for the device's
# power-on (--boot-ms 200) and its 28800-baud dialogue are in the time, about
# 2.5 s of it.
#
# TIRVELCTL (default build/bin/tirvelctl) runs another build's binary; RUNS
# (default 3) is the runs per size, the median is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(25000 50000 100000 200000)

# shellcheck source=bench/tools.sh
. bench/tools.sh
# A fresh device for every open of the port, each with the default table.
"$build/bin/kavrel-sim" --link "$work/dtu" --devices 100000 --boot-ms 200 >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -e "$work/dtu" ] && break; sleep 0.05; done

for keys in "${sizes[@]}"; do
    profile=$work/profile-$keys.txt
    {
        cat cli/examples/apn-profile.txt
        awk -v keys="$keys" 'BEGIN { for (i = 6; i <= keys; ++i) print (100000 + i) ". Extra " (100000 + i) "=x" i }'
    } >"$profile"
    times=()
    for _ in $(seq "$runs"); do
        status=0
        /usr/bin/time -f '%e %M' -o "$work/time" "$tirvelctl" -q --device "$work/dtu" \
            apply "$profile" >"$work/out" 2>"$work/err" || status=$?
        [ "$status" = 1 ] || { echo "apply: exit $status"; tail -5 "$work/err"; exit 1; }
        times+=("$(tail -n 1 "$work/time")")  # after "Command exited with non-zero status 1"
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v keys="$keys" -v lines="$(wc -l <"$profile")" '
        { t[NR] = $1; m[NR] = $2 }
        END {
            mid = int((NR + 1) / 2)
            printf "%7d keys (%d lines): %6.2f s (min %.2f, max %.2f), peak %d KiB\n",
                   keys, lines, t[mid], t[1], t[NR], m[mid]
        }'
done
