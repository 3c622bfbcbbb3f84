#!/usr/bin/env bash
# Start-up time and peak memory of the desktop app on Qt's offscreen platform:
# from exec to the main window's first paint (tirvel --quit-after-start exits
# right after it), timed with hyperfine when it is installed, else with a loop
# of its own; peak memory is the maximum resident set size /usr/bin/time -v
# reports for one such run. Usage: bench/startup.sh [RUNS] (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
source bench/timing.sh

cmake --preset default >/dev/null
cmake --build --preset default --target tirvel >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
app=(build/bin/tirvel --quit-after-start)

echo "tirvel start-up to the first paint, offscreen, $runs runs ($(nproc) cores)"
if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --warmup 3 --runs "$runs" --style basic "${app[*]}"
else
    "${app[@]}" >/dev/null 2>&1  # warm the file cache
    bench_time_runs "$runs" "" "${app[@]}"
fi

for lang in en zh; do
    rss=$(/usr/bin/time -v "${app[@]}" --lang "$lang" 2>&1 >/dev/null |
          awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
    echo "peak memory (--lang $lang): $((rss / 1024)) MiB (maximum resident set size $rss KiB)"
done
