#!/usr/bin/env bash
# Builds the libFuzzer programs (preset "fuzz", clang-14) and runs each for
# SECONDS (default 60) on a scratch copy of its corpus in tests/fuzz/corpus/.
# One line per target; the targets run side by side, one a core
# (TIRVEL_FUZZ_JOBS). Fails when any target crashed or broke an invariant,
# naming the file that reproduces it.
#
#   scripts/fuzz.sh [SECONDS] [--merge] [--only TARGET]
#
# --merge folds what the run found new into the repository's corpus (minimised
# with -merge=1); without it the corpus is left as it is.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=60
merge=0
only=""
while [ $# -gt 0 ]; do
    case "$1" in
        --merge) merge=1 ;;
        --only) only="$2"; shift ;;
        [0-9]*) seconds="$1" ;;
        *) echo "usage: $0 [SECONDS] [--merge] [--only TARGET]" >&2; exit 2 ;;
    esac
    shift
done

# shellcheck source=scripts/packages.sh
. "$root/scripts/packages.sh"
tirvel_ensure_packages clang-14 libclang-rt-14-dev ninja-build cmake libgtest-dev \
    nlohmann-json3-dev libcli11-dev

cd "$root"
# Quiet when it builds; what broke the build when it does not.
build_log=$(mktemp "${TMPDIR:-/tmp}/tirvel-fuzz-build.XXXXXX")
if ! { cmake --preset fuzz && cmake --build --preset fuzz -j2; } >"$build_log" 2>&1; then
    grep -E 'error|FAILED' "$build_log" | head -20 || tail -20 "$build_log"
    echo "the fuzz build failed (whole log: $build_log)" >&2
    exit 1
fi
rm -f "$build_log"

targets=(at_reply config_read config_import xmodem_sender xmodem_truth dialogue_truth sim_at
    sim_xmodem)
[ -n "$only" ] && targets=("$only")
work=$(mktemp -d "${TMPDIR:-/tmp}/tirvel-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
crashes="$root/build-fuzz/fuzz-crashes"
mkdir -p "$crashes"

# One target a core at a time: each is a single process on a single thread, so
# side by side each gets the runs it would get alone, in a fraction of the time.
jobs=${TIRVEL_FUZZ_JOBS:-$(nproc)}

run_target() {
    local t=$1 corpus="$root/tests/fuzz/corpus/$1" scratch="$work/$1"
    mkdir -p "$scratch"
    cp "$corpus"/* "$scratch"/ 2>/dev/null || true
    (cd "$work" && "$root/build-fuzz/fuzz/fuzz_$t" "$scratch" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$crashes/$t-" >"$work/$t.log" 2>&1)
    echo $? >"$work/$t.rc"
}

# The targets' lines come in the listed order, each once its run has ended.
report_target() {
    local t=$1 log="$work/$1.log" rc
    rc=$(cat "$work/$t.rc")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    if [ "$rc" -eq 0 ]; then
        result="ok"
    else
        result="FAILED (exit $rc)${artifact:+: $artifact}"
        failed=1
        grep -m1 -E 'ERROR: |invariant failed|runtime error' "$log" | sed 's/^/    /' || true
        cp "$log" "$crashes/$t.log"
    fi
    printf '%-14s runs %-9s cov %-6s %s\n' "$t" "${runs:-?}" "${cov:-?}" "$result"
    if [ "$merge" -eq 1 ] && [ "$rc" -eq 0 ]; then
        "$root/build-fuzz/fuzz/fuzz_$t" -merge=1 "$root/tests/fuzz/corpus/$t" "$work/$t" \
            >/dev/null 2>&1
    fi
}

failed=0
pids=()
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    run_target "$t" &
    pids+=($!)
done
for pid in "${pids[@]}"; do
    wait "$pid" || true
done
for t in "${targets[@]}"; do
    report_target "$t"
done
exit "$failed"
