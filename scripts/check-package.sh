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

text=$("$root/usr/bin/kavrel-sim" --help) || fail "kavrel-sim --help exited $?"
grep -q "^Usage: kavrel-sim" <<<"$text" || fail "kavrel-sim --help printed no usage line"
echo "ok: kavrel-sim --help"

for doc in README.md tirvelctl.md; do
    [ -s "$root/usr/share/doc/tirvel/$doc" ] || fail "/usr/share/doc/tirvel/$doc missing"
done

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

depends=$(dpkg-deb -f "$deb" Depends)
[ -n "$depends" ] || fail "package declares no dependencies"
echo "Depends: $depends"
echo "package check passed"
