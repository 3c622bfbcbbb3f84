#!/usr/bin/env bash
# tirvel-line as a line uses it (bench/LineBench.cpp); prints the figures.
#
#   bench/line.sh [PART ...]   (default: api events)
#
#   api     1,000,000 records of 20 stations over 35 days on the tests' own
#           PostgreSQL; tirvel-line started on it; each call (the first page
#           of records, a station's, a page half way down by its cursor, a
#           station's failures, today's yield by hour and station) at RATE
#           (default 200) requests/s for SECONDS (default 15), open-loop, a
#           connection a request
#   events  a fresh tirvel-line; 20 stations x 8 ports publishing through
#           job::LinePublisher, a change each every 250 ms; change to event at
#           READERS (default 10) and then STREAMS (default 200) open event
#           streams, PUBLISH (default 30) s each; the program's CPU and memory
#           at rest over REST (default 30) s with none and with STREAMS open
#
# RECORDS (default 1000000) sets the records' count; SQL is run on the filled
# database before tirvel-line starts (an index to try: its figures beside
# those without). EXPLAIN=MS also has the
# server log the plan (EXPLAIN ANALYZE, BUFFERS) of every statement slower
# than MS ms, kept in build/line-bench-plans.log: the plans' own timing slows
# every statement, so the figures of such a run are not the program's.
# Needs the postgresql package (the server programs; no cluster of the
# package's own is used).
set -euo pipefail
cd "$(dirname "$0")/.."
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(api events)
build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset default >/dev/null
fi
cmake --build "$build" -j2 --target line_bench tirvel-line >/dev/null
echo "($(nproc) cores, $(uname -sr), $(git log -1 --format='at %h %cd' --date=short))"
echo "load: $(uptime)"
extra=()
[ -z "${EXPLAIN:-}" ] || extra=(--explain "$EXPLAIN" --plans "$build/line-bench-plans.log")
[ -z "${SQL:-}" ] || extra+=(--sql "$SQL")
joined=$(IFS=,; echo "${parts[*]}")
"$build/bin/line_bench" --line "$build/bin/tirvel-line" --parts "$joined" \
    --records "${RECORDS:-1000000}" --rate "${RATE:-200}" --seconds "${SECONDS_EACH:-15}" \
    --readers "${READERS:-10}" --streams "${STREAMS:-200}" --rest "${REST:-30}" \
    --publish "${PUBLISH:-30}" "${extra[@]}"
echo "load: $(uptime)"
