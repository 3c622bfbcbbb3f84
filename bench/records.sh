#!/usr/bin/env bash
# The device records under load (bench/RecordsBench.cpp); prints the figures.
#
#   bench/records.sh [PART ...]   (default: add find-sqlite push stations find-postgres read)
#
#   add            a record's Add to a SQLite file (WAL, synchronous=FULL), 5 and
#                  60 items, 500 runs each, beside the disk's own 4 KiB fdatasync
#   find-sqlite    a SQLite file of 1,000,000 records: how long it takes to make,
#                  then Find({imei}) in process and `tirvelctl --records sqlite:FILE
#                  records --imei X` as a whole process
#   push           10,000 queued records from one station's file to a fresh server
#   stations       20 stations (threads, a file and a connection each) with
#                  STATION_RECORDS (default 1000) queued records each, pushing at once
#   find-postgres  the same 1,000,000 records on PostgreSQL: Find({imei}) in process
#                  and `tirvelctl --records postgresql://… records --imei X`
#   list           `tirvelctl records --json`, `--csv` and the table over SQLite files
#                  of LIST_COUNTS (default 20000,200000) records: each listing's
#                  peak resident memory, output size and time
#   list-postgres  the same on PostgreSQL
#   read           `tirvelctl --records sqlite:FILE read` against kavrel-sim, in turn
#                  with `--records off read`, READ_RUNS (default 10) pairs: each
#                  one's median and the median of the pairs' differences
#
# The SQLite files go to a scratch folder under BUILD_DIR (default build/, on
# the disk the build is on), removed at the end; the PostgreSQL cluster is the
# tests' own (tests/support/PostgresServer), in the temporary folder. Needs the
# postgresql package for push, stations and find-postgres.
set -euo pipefail
cd "$(dirname "$0")/.."
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(add find-sqlite push stations find-postgres read)

# shellcheck source=bench/tools.sh
. bench/tools.sh
cmake --build "$build" -j2 --target records_bench >/dev/null
scratch=$(mktemp -d -p "$build" records-bench.XXXXXX)
trap 'bench_cleanup; rm -rf "$scratch"' EXIT
echo "load: $(uptime)"

bench=("$build/bin/records_bench")
command=()
# The whole command is timed where this tirvelctl has the records command.
if "$tirvelctl" records --help >/dev/null 2>&1; then
    command=(--tirvelctl "$tirvelctl" --process-runs 20)
fi
# The whole process's wall time in microseconds; a failed run ends the bench.
run_us() {
    local start end
    start=$(date +%s%N)
    "$@" >"$work/out" 2>&1 || { echo "failed: $*" >&2; tail -5 "$work/out" >&2; exit 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

# A fresh device at every open of the port, as on a line; read by one
# command that keeps a record and one that keeps none, in turn, so that the
# machine's load weighs on both alike.
read_pairs() {
    "$build/bin/kavrel-sim" --link "$work/dtu" --devices 100000 --boot-ms 200 >"$work/sim.log" 2>&1 &
    sim=$!
    for _ in $(seq 100); do [ -e "$work/dtu" ] && break; sleep 0.05; done
    local base=("$tirvelctl" -q --device "$work/dtu") runs=${READ_RUNS:-10}
    run_us "${base[@]}" --records off read >/dev/null  # warm-up
    local kept off
    : >"$work/pairs"
    for _ in $(seq "$runs"); do
        kept=$(run_us "${base[@]}" --records "sqlite:$scratch/read.db" read)
        off=$(run_us "${base[@]}" --records off read)
        echo "$kept $off" >>"$work/pairs"
    done
    awk -v runs="$runs" '
        function median(v, n,   i, j, t) {
            for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
            return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        { a[NR] = $1 / 1000; b[NR] = $2 / 1000; d[NR] = ($1 - $2) / 1000 }
        END {
            printf "read against kavrel-sim, whole process, %d pairs in turn:\n", runs
            printf "  --records sqlite:FILE  median %.1f ms\n", median(a, NR)
            printf "  --records off          median %.1f ms\n", median(b, NR)
            printf "  the record adds, pair by pair: median %.1f ms\n", median(d, NR)
        }' "$work/pairs"
    echo "  records kept in the file: $("$tirvelctl" --records "sqlite:$scratch/read.db" records --csv |
        tail -n +2 | wc -l) (one for each read with sqlite)"
}

for part in "${parts[@]}"; do
    rm -rf "${scratch:?}"/*
    case $part in
        add) "${bench[@]}" add --dir "$scratch" --runs 500 ;;
        find-sqlite) "${bench[@]}" find --store sqlite --dir "$scratch" "${command[@]}" ;;
        push) "${bench[@]}" push --dir "$scratch" --stations 1 --records 10000 ;;
        stations)
            "${bench[@]}" push --dir "$scratch" --stations 20 --records "${STATION_RECORDS:-1000}" ;;
        find-postgres) "${bench[@]}" find --store postgres --dir "$scratch" "${command[@]}" ;;
        list | list-postgres)
            store=sqlite
            [ "$part" = list ] || store=postgres
            echo "tirvelctl records, the whole listing:"
            "${bench[@]}" list --store "$store" --dir "$scratch" --tirvelctl "$tirvelctl" \
                --counts "${LIST_COUNTS:-20000,200000}" ;;
        read) read_pairs ;;
        *) echo "unknown part: $part" >&2; exit 2 ;;
    esac
done
echo "load: $(uptime)"
