#!/usr/bin/env bash
# Builds the Debian package from an already built tree and tries what it holds
# from an unpacked root, the way it lands on a user's system.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ] || [ ! -f "$1/CPackConfig.cmake" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built tree)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
out="$build/package"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tirvel-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# An old package left in the output folder must not be the one checked.
rm -f "$out"/tirvel_*.deb
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$out"/tirvel_*.deb)
[ -f "${debs[0]}" ] || fail "cpack wrote no tirvel_*.deb into $out"
[ ${#debs[@]} -eq 1 ] || fail "more than one package in $out: ${debs[*]}"
deb=${debs[0]}
echo "package: $deb"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
[ "$(dpkg-deb -f "$deb" Package)" = tirvel ] || fail "package is not named tirvel"

for bin in tirvelctl kavrel-sim; do
    [ -x "$root/usr/bin/$bin" ] || fail "/usr/bin/$bin missing from the package"
done

# A binary that finds a library only through the build tree would fail here.
for bin in "$root"/usr/bin/*; do
    if ldd "$bin" 2>&1 | grep -q "not found"; then
        ldd "$bin" >&2
        fail "$(basename "$bin") needs a library that is not installed"
    fi
done

text=$("$root/usr/bin/tirvelctl" --version) || fail "tirvelctl --version exited $?"
[ "$text" = "tirvelctl $version" ] || fail "tirvelctl --version printed '$text', expected 'tirvelctl $version'"
echo "ok: $text"

# The line's server, with its unit installed off (no link under /etc).
if [ -e "$root/usr/bin/tirvel-line" ]; then
    text=$("$root/usr/bin/tirvel-line" --version) || fail "tirvel-line --version exited $?"
    [ "$text" = "tirvel-line $version" ] || fail "tirvel-line --version printed '$text'"
    unit="$root/usr/lib/systemd/system/tirvel-line.service"
    [ -f "$unit" ] || fail "tirvel-line is packaged without its systemd unit"
    grep -q '^ExecStart=/usr/bin/tirvel-line$' "$unit" || fail "the unit does not start /usr/bin/tirvel-line"
    [ ! -e "$root/etc/systemd" ] || fail "the package turns a unit on by itself"
    echo "ok: $text, unit installed off"
fi

text=$("$root/usr/bin/kavrel-sim" --help) || fail "kavrel-sim --help exited $?"
grep -q "^Usage: kavrel-sim" <<<"$text" || fail "kavrel-sim --help printed no usage line"
echo "ok: kavrel-sim --help"

for doc in README.md tirvelctl.md line.md; do
    [ -s "$root/usr/share/doc/tirvel/$doc" ] || fail "/usr/share/doc/tirvel/$doc missing"
done

# The pages are built only where scdoc is found.
if [ -d "$build/man" ]; then
    pages=(tirvelctl kavrel-sim)
    [ -e "$root/usr/bin/tirvel" ] && pages+=(tirvel)
    [ -e "$root/usr/bin/tirvel-station" ] && pages+=(tirvel-station)
    [ -e "$root/usr/bin/tirvel-line" ] && pages+=(tirvel-line)
    for page in "${pages[@]}"; do
        man="$root/usr/share/man/man1/$page.1.gz"
        [ -s "$man" ] || fail "/usr/share/man/man1/$page.1.gz missing"
        gzip -t "$man" 2>/dev/null || fail "$page.1.gz is not gzip data"
        zcat "$man" | grep -q '^\.TH' || fail "$page.1.gz holds no manual page"
    done
    # Compressed with -n: no file name nor time in the header (flags and mtime
    # zero), so rebuilding the package gives the same bytes.
    for gz in "$root"/usr/share/man/man1/*.gz; do
        [ "$(od -An -tx1 -j3 -N5 "$gz" | tr -d ' \n')" = 0000000000 ] ||
            fail "${gz#"$root"} carries a name or time stamp in its gzip header"
    done
    echo "ok: manual pages gzipped"
else
    echo "skipped: no manual pages in this build (scdoc not found)"
fi

[ -s "$root/usr/share/doc/tirvel/copyright" ] || fail "/usr/share/doc/tirvel/copyright missing"
[ -s "$root/usr/share/doc/tirvel/changelog.gz" ] || fail "/usr/share/doc/tirvel/changelog.gz missing"
logged=$(zcat "$root/usr/share/doc/tirvel/changelog.gz" | sed -n '1s/^tirvel (\([^)]*\)).*/\1/p')
[ "$logged" = "$version" ] ||
    fail "changelog's first entry is for '$logged', the package is $version: add an entry to cmake/debian/changelog"
gz="$root/usr/share/doc/tirvel/changelog.gz"
[ "$(od -An -tx1 -j3 -N5 "$gz" | tr -d ' \n')" = 0000000000 ] ||
    fail "changelog.gz carries a name or time stamp in its gzip header"
echo "ok: copyright, changelog for $version"

# The desktop entry and icon ship only with the desktop application.
if [ -e "$root/usr/bin/tirvel" ]; then
    desktop="$root/usr/share/applications/tirvel.desktop"
    [ -f "$desktop" ] || fail "tirvel is packaged without its desktop entry"
    compgen -G "$root/usr/share/icons/hicolor/*/apps/tirvel.png" >/dev/null ||
        fail "tirvel is packaged without an icon"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        desktop-file-validate "$desktop" || fail "desktop entry is not valid"
        echo "ok: desktop entry valid"
    else
        echo "skipped: desktop-file-validate not installed (package desktop-file-utils); entry not validated"
    fi
else
    echo "note: no desktop application in this build; package holds the console tools only"
fi
if [ -e "$root/usr/bin/tirvel-station" ]; then
    desktop="$root/usr/share/applications/tirvel-station.desktop"
    [ -f "$desktop" ] || fail "tirvel-station is packaged without its desktop entry"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        desktop-file-validate "$desktop" || fail "the station's desktop entry is not valid"
        echo "ok: station desktop entry valid"
    fi
fi

# Lintian's errors are what Debian would refuse the package for; its warnings
# are judgement calls and only shown.
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || lintian_rc=$?
    # Its grumble about being run as root (as CI is) is no finding.
    grep -v '^running with root privileges' "$scratch/lintian.log" | sed 's/^/  lintian: /' || true
    [ "${lintian_rc:-0}" -eq 0 ] || fail "lintian found errors in the package (exit $lintian_rc)"
    echo "ok: lintian, no errors ($(grep -c '^W: ' "$scratch/lintian.log" || true) warnings)"
else
    echo "skipped: lintian not installed (package lintian); package not linted"
fi

depends=$(dpkg-deb -f "$deb" Depends)
[ -n "$depends" ] || fail "package declares no dependencies"
echo "Depends: $depends"
echo "package check passed"
