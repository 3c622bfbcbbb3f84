# Sourced by the benches that run tirvelctl against kavrel-sim: builds the two
# programs in $BUILD_DIR (default build/) when needed, names the machine and
# the commit, and gives a scratch folder $work that is removed, and the
# simulator whose pid is in $sim stopped, however the bench ends.
build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target tirvelctl kavrel-sim >/dev/null
tirvelctl=${TIRVELCTL:-$build/bin/tirvelctl}
echo "($(nproc) cores, $(uname -sr), $(git log -1 --format='tirvelctl at %h %cd' --date=short))"

work=$(mktemp -d)
sim=
bench_cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap bench_cleanup EXIT
