#!/usr/bin/env bash
# The value pools under load (bench/PoolBench.cpp); prints the figures.
#
#   bench/pools.sh [ROWS [STATIONS [PORTS [SINGLE]]]]   (default 100000 20 8 2000)
#
# On the tests' own PostgreSQL server (tests/support/PostgresServer, fsync
# off, a Unix socket): a pool of ROWS rows imported, SINGLE draws by one
# drawer in turn, then STATIONS x PORTS drawers (threads, a connection each)
# drawing at once until the pool is dry, every row checked to have gone once;
# then the import and the single draws in one station's SQLite file. Both in
# the temporary folder. Needs the postgresql package.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" -j2 --target pool_bench >/dev/null
echo "($(nproc) cores, $(uname -sr), $(git log -1 --format='at %h %cd' --date=short))"
echo "load: $(uptime)"
"$build/bin/pool_bench" "$@"
