#!/usr/bin/env bash
# shellcheck disable=SC2016,SC2317 # scripts for the root are quoted; cleanup runs from a trap
# Installs the Debian package on a freshly bootstrapped Debian 12 and uses it
# there: apt has to resolve the declared Depends from the archive, so a library
# the package forgot to name shows up as a binary that does not start.
# On demand only: it needs root, the network and a few minutes.
#   scripts/check-clean-install.sh BUILD_DIR [DEB]
# With DEB, that package is checked as it is instead of one cpack builds.
# The bootstrapped root is cached as a tarball (TIRVEL_CLEAN_ROOT_CACHE,
# default /var/tmp/tirvel-clean-install), so a rerun skips debootstrap; delete
# the tarball to bootstrap anew. TIRVEL_DEBIAN_MIRROR picks another mirror.
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -f "$1/CPackConfig.cmake" ] || { [ $# -eq 2 ] && [ ! -f "$2" ]; }; then
    echo "usage: $0 BUILD_DIR [DEB] (a configured tree; an existing package)" >&2
    exit 2
fi
if [ "$(id -u)" != 0 ]; then
    echo "$0: debootstrap, mount and chroot need root" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
# Its own folder: package.check, run by ctest meanwhile, empties build/package.
out="$build/package-clean-install"
suite=bookworm
mirror=${TIRVEL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${TIRVEL_CLEAN_ROOT_CACHE:-/var/tmp/tirvel-clean-install}
tarball="$cache/$suite-minbase.tar.gz"

# /var/tmp rather than /tmp: the root holds a few hundred MB, and /tmp may be a
# small tmpfs.
mkdir -p "$cache"
scratch=$(mktemp -d "$cache/run.XXXXXX")
root="$scratch/root"
mounted=()

cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null
    done
    # Never delete through a mount that failed to come off: it would reach
    # into the host's /dev.
    if [ -n "$(awk -v r="$root/" 'index($2, r) == 1' /proc/mounts)" ]; then
        echo "note: $root still has mounts; left in place" >&2
    else
        rm -rf --one-file-system "$scratch"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0
failed=0
results=()
pass() {
    echo "PASS: $*"
    results+=("PASS: $*")
    passed=$((passed + 1))
}
fail() {
    echo "FAIL: $*"
    results+=("FAIL: $*")
    failed=$((failed + 1))
}
summary() {
    echo
    echo "== clean install summary ($suite, $(date -u +%Y-%m-%dT%H:%MZ)) =="
    printf '%s\n' "${results[@]}"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}
# A step whose failure leaves nothing for the later ones to check.
abort() {
    fail "$*"
    summary
}

# Runs a command inside the clean root; its output goes to the log shown on
# failure, so a passing run stays short.
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive /bin/bash -c "$1"
}
log="$scratch/step.log"
step() {
    local name=$1 script=$2
    if in_root "$script" >"$log" 2>&1; then
        pass "$name"
    else
        fail "$name (exit $?)"
        sed 's/^/    /' "$log"
    fi
}

# --- the package ------------------------------------------------------------
if [ $# -eq 2 ]; then
    deb=$(realpath "$2")
else
    echo "== building the package in $build"
    cmake --build "$build" --parallel 2 >"$scratch/build.log" 2>&1 ||
        { tail -n 40 "$scratch/build.log"; abort "build of $build"; }
    rm -f "$out"/tirvel_*.deb
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log"; abort "cpack"; }
    debs=("$out"/tirvel_*.deb)
    if [ ! -f "${debs[0]}" ] || [ ${#debs[@]} -ne 1 ]; then
        abort "cpack wrote exactly one tirvel_*.deb into $out"
    fi
    deb=${debs[0]}
    pass "cpack built $(basename "$deb")"
fi
version=$(dpkg-deb -f "$deb" Version) || abort "$deb is a Debian package"
# Read whole before matching: grep -q leaving early would break dpkg-deb's
# pipe and, under pipefail, read as "no desktop app".
listing=$(dpkg-deb -c "$deb")
has_desktop=false
grep -q ' \./usr/bin/tirvel$' <<<"$listing" && has_desktop=true

# --- the clean root ---------------------------------------------------------
command -v debootstrap >/dev/null 2>&1 || {
    echo "== installing debootstrap"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
} >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; abort "install debootstrap"; }

mkdir -p "$root"
if [ -f "$tarball" ]; then
    echo "== unpacking the cached $suite root ($tarball)"
    tar -xzf "$tarball" -C "$root" --numeric-owner || abort "unpack $tarball"
    pass "clean $suite root (cached)"
else
    echo "== debootstrap --variant=minbase $suite from $mirror (a few minutes)"
    debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
        { tail -n 40 "$scratch/debootstrap.log"; abort "debootstrap $suite"; }
    # Cached before anything touches the root; written aside and renamed so
    # an interrupted run never leaves a half tarball behind for the next one.
    # Something else at the name (a device, a FIFO, a link to one) is never
    # renamed over.
    if [ -e "$tarball" ] || [ -L "$tarball" ]; then
        echo "note: $tarball is not a regular file; the root is not cached"
    else
        tar -czf "$tarball.part" -C "$root" --numeric-owner . && mv "$tarball.part" "$tarball" ||
            echo "note: could not cache the root in $tarball"
    fi
    pass "clean $suite root (debootstrap)"
fi

for dir in proc dev dev/pts; do
    mkdir -p "$root/$dir"
done
mount_in() {
    local target=$1
    shift
    mount "$@" "$root$target" || abort "mount $target in the root"
    mounted+=("$root$target")
}
mount_in /proc -t proc proc
# The simulator's pseudo-terminal is made inside the root: it needs the
# host's ptmx and devpts.
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
cp "$deb" "$root/tmp/"

# --- install ----------------------------------------------------------------
echo "== apt-get install ./$(basename "$deb") in the clean root"
step "apt-get update" "apt-get update -q"
step "apt-get install resolves the declared Depends" \
    "apt-get install -y --no-install-recommends /tmp/$(basename "$deb")"
in_root "dpkg-query -W -f='\${Status}' tirvel" 2>/dev/null | grep -q "install ok installed" ||
    abort "tirvel is installed"
pass "tirvel $version is installed"

# --- what it installed ------------------------------------------------------
step "tirvelctl --version" \
    "test \"\$(tirvelctl --version)\" = 'tirvelctl $version' || { tirvelctl --version; exit 1; }"
step "kavrel-sim --help" "kavrel-sim --help | grep -q '^Usage: kavrel-sim'"
step "kavrel-sim --version" "kavrel-sim --version | grep -qx 'kavrel-sim $version'"
pages="tirvelctl kavrel-sim"
$has_desktop && pages="$pages tirvel"
step "manual pages ($pages)" "for p in $pages; do
    f=/usr/share/man/man1/\$p.1.gz
    test -s \$f || { echo \"\$f missing\"; exit 1; }
    gzip -t \$f && zcat \$f | grep -q '^\\.TH' || { echo \"\$f is not a gzipped manual page\"; exit 1; }
done"
step "bash completion" "test -s /usr/share/bash-completion/completions/tirvelctl &&
    bash -n /usr/share/bash-completion/completions/tirvelctl"
step "copyright and changelog" "test -s /usr/share/doc/tirvel/copyright &&
    gzip -t /usr/share/doc/tirvel/changelog.gz"

# A real session: the simulator on a pty, tirvelctl logging in and reading it.
step "tirvelctl reads kavrel-sim over a pty" '
    kavrel-sim --link /tmp/ttyKAVREL0 --password 1234 --boot-ms 200 \
        --imei 860000000000042 >/tmp/sim.out 2>/tmp/sim.err &
    sim=$!
    trap "kill $sim 2>/dev/null; wait $sim 2>/dev/null" EXIT
    for _ in $(seq 50); do [ -e /tmp/ttyKAVREL0 ] && break; sleep 0.1; done
    [ -e /tmp/ttyKAVREL0 ] || { echo "no link from kavrel-sim"; cat /tmp/sim.err; exit 1; }
    timeout 60 tirvelctl --lang en --json --password 1234 read --device /tmp/ttyKAVREL0 \
        >/tmp/read.json 2>/tmp/read.err || { echo "tirvelctl read exited $?"; cat /tmp/read.err; exit 1; }
    grep -q "\"imei\": *\"860000000000042\"" /tmp/read.json &&
        grep -q "\"number\": *1," /tmp/read.json ||
        { echo "unexpected read output:"; cat /tmp/read.json; exit 1; }'

if $has_desktop; then
    step "tirvel finds all its libraries" \
        "! ldd /usr/bin/tirvel | grep 'not found'"
    # It has no way to quit by itself; still running when timeout stops it is
    # the proof it started.
    step "tirvel starts (offscreen)" \
        'QT_QPA_PLATFORM=offscreen timeout 5 tirvel >/tmp/tirvel.log 2>&1; rc=$?
         [ $rc -eq 124 ] || { echo "tirvel exited $rc before the time-out"; cat /tmp/tirvel.log; exit 1; }'
    step "desktop entry and icon" "test -s /usr/share/applications/tirvel.desktop &&
        ls /usr/share/icons/hicolor/*/apps/tirvel.png >/dev/null"
else
    echo "note: no desktop application in this build; tirvel not checked"
fi

step "apt-get remove --purge leaves no tirvel files" \
    "apt-get remove --purge -y tirvel >/dev/null &&
     ! ls /usr/bin/tirvelctl /usr/bin/kavrel-sim /usr/share/doc/tirvel 2>/dev/null"

summary
