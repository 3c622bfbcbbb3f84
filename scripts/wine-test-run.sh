#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest: wine-test-run.sh WINE PROGRAM [ARGS...]
# Wine now and then fails to start a program at all: it exits at once having
# printed nothing, or only its own complaint ("wine client error:0: recvmsg:
# Connection reset by peer", the wineserver gone under it). A test program
# always prints GoogleTest's banner before its first case, so a run that
# failed without one never ran a test; it is started once more. A run that
# reached its tests keeps its verdict.
set -uo pipefail
wine=$1
shift
out=$(mktemp "${TMPDIR:-/tmp}/tirvel-wine-run.XXXXXX")
trap 'rm -f "$out"' EXIT
status=0
for attempt in 1 2; do
    "$wine" "$@" >"$out" 2>&1
    status=$?
    if [ "$status" -eq 0 ] || grep -q '^\[==========\]' "$out"; then
        break
    fi
    [ "$attempt" -eq 1 ] && echo "wine-test-run: the program ran no test (exit $status); starting it again" >&2
done
cat "$out"
exit "$status"
