#!/usr/bin/env bash
# The device records under load (bench/RecordsBench.cpp); prints the figures.
#
#   bench/records.sh [PART ...]   (default: add find-sqlite push stations find-postgres)
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
#
# The SQLite files go to a scratch folder under BUILD_DIR (default build/, on
# the disk the build is on), removed at the end; the PostgreSQL cluster is the
# tests' own (tests/support/PostgresServer), in the temporary folder. Needs the
# postgresql package for push, stations and find-postgres.
set -euo pipefail
cd "$(dirname "$0")/.."
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(add find-sqlite push stations find-postgres)

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
for part in "${parts[@]}"; do
    rm -rf "${scratch:?}"/*
    case $part in
        add) "${bench[@]}" add --dir "$scratch" --runs 500 ;;
        find-sqlite) "${bench[@]}" find --store sqlite --dir "$scratch" "${command[@]}" ;;
        push) "${bench[@]}" push --dir "$scratch" --stations 1 --records 10000 ;;
        stations)
            "${bench[@]}" push --dir "$scratch" --stations 20 --records "${STATION_RECORDS:-1000}" ;;
        find-postgres) "${bench[@]}" find --store postgres --dir "$scratch" ;;
        *) echo "unknown part: $part" >&2; exit 2 ;;
    esac
done
echo "load: $(uptime)"
