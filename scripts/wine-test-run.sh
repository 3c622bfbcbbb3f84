#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest: wine-test-run.sh WINE PROGRAM [ARGS...]
# Wine now and then fails to start a program at all: it exits at once having
# printed nothing. A test program always prints something (GoogleTest its
# banner), so a run that failed without a byte of output never ran; it is
# started once more. A run that printed anything keeps its verdict.
set -uo pipefail
wine=$1
shift
out=$(mktemp "${TMPDIR:-/tmp}/tirvel-wine-run.XXXXXX")
trap 'rm -f "$out"' EXIT
status=0
for attempt in 1 2; do
    "$wine" "$@" >"$out" 2>&1
    status=$?
    if [ "$status" -eq 0 ] || [ -s "$out" ]; then
        break
    fi
    [ "$attempt" -eq 1 ] && echo "wine-test-run: Wine started nothing (exit $status); starting it again" >&2
done
cat "$out"
exit "$status"
