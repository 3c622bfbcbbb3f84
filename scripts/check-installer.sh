#!/usr/bin/env bash
# Builds the Windows installer from an already built tree and runs it the way
# an administrator deploys it unattended: a silent install under Wine into a
# folder of its own, then a silent uninstall. Both are checked from outside:
# the programs byte for byte, every Start-menu entry, the uninstall entry in
# the registry, and that all of it is gone again afterwards.
#   scripts/check-installer.sh [BUILD_DIR [INSTALLER.exe]]
# BUILD_DIR defaults to build-windows. An INSTALLER given is checked instead
# of one built from the tree (an older release, say); the programs it must
# hold are still those of BUILD_DIR.
#
# It runs in a Wine prefix of its own, made for the run and removed after it,
# so the prefix the other Windows suites use never sees an installation.
# Where makensis or Wine is missing, it says so on one line and exits 0.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/packages.sh
source "$scripts/packages.sh"

skip() {
    echo "installer check skipped: $*"
    exit 0
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

build=$(cd "${1:-$scripts/../build-windows}" && pwd)
installer=${2:+$(realpath "$2")}
[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured Windows build"
command -v wine >/dev/null 2>&1 || skip "Wine is not installed"
if [ -z "$installer" ]; then
    tirvel_ensure_packages "${TIRVEL_INSTALLER_PACKAGES[@]}" >/dev/null ||
        skip "makensis could not be installed (${TIRVEL_INSTALLER_PACKAGES[*]})"
fi

# The generator list is fixed when the tree is configured: a tree configured
# before makensis was installed learns of it now.
cpack_setting() {
    sed -n "s/^set($1 \"\(.*\)\")\$/\1/p" "$build/CPackConfig.cmake"
}
if [ -z "$installer" ] && [[ ";$(cpack_setting CPACK_GENERATOR);" != *";NSIS;"* ]]; then
    cmake "$build" >/dev/null
    [[ ";$(cpack_setting CPACK_GENERATOR);" == *";NSIS;"* ]] ||
        fail "the tree at $build makes no installer (is the desktop app built?)"
fi

scratch=$(mktemp -d "$build/installer-check.XXXXXX")
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
# A silent installer needs no display; without one, a dialog it should not
# have shown fails at once instead of waiting for a click.
unset DISPLAY WAYLAND_DISPLAY

# strip stamps the current time into a PE header unless told a fixed one: the
# same time for cpack's strip and ours makes the programs comparable byte for
# byte.
export SOURCE_DATE_EPOCH=1700000000
if [ -z "$installer" ]; then
    cpack -G NSIS --config "$build/CPackConfig.cmake" -B "$scratch/package" \
        >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log" >&2; fail "cpack did not build the installer"; }
    installer=$(find "$scratch/package" -maxdepth 1 -name 'tirvel-*.exe' | head -n 1)
    [ -n "$installer" ] || fail "cpack wrote no tirvel-*.exe"
fi
echo "installer: $(basename "$installer")"

# Wine's first start would offer to download Mono and Gecko; nothing here needs them.
WINEDLLOVERRIDES="mscoree,mshtml=" timeout 300 wineboot -i >/dev/null 2>&1 ||
    skip "Wine cannot start here (wineboot -i failed)"
drive_c="$WINEPREFIX/drive_c"

# Waits for every process of the prefix, not only the one started: an
# uninstaller hands its work to a copy of itself in the temp folder and returns.
run_in_prefix() {
    timeout 120 wine "$@" >/dev/null 2>&1 || fail "wine $* exited $?"
    timeout 120 wineserver -w || fail "wine $* still ran after two minutes"
}

# What the installer must put in place: tirvelctl and each program of the
# Start menu, whose list comes in "program;label" pairs.
IFS=';' read -r -a menu <<<"$(cpack_setting CPACK_PACKAGE_EXECUTABLES)"
if [ ${#menu[@]} -lt 2 ] || [ $((${#menu[@]} % 2)) -ne 0 ]; then
    fail "CPACK_PACKAGE_EXECUTABLES is not a list of program;label pairs: ${menu[*]}"
fi
menu_programs=()
menu_labels=()
for ((i = 0; i < ${#menu[@]}; i += 2)); do
    menu_programs+=("${menu[i]}")
    menu_labels+=("${menu[i + 1]}")
done
programs=(tirvelctl "${menu_programs[@]}")

# The programs as the package lays them out: stripped, the way cpack does.
strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
mkdir "$scratch/expected"
for program in "${programs[@]}"; do
    [ -f "$build/bin/$program.exe" ] || fail "$build/bin/$program.exe was not built"
    "$strip" -o "$scratch/expected/$program.exe" "$build/bin/$program.exe"
done

# NSIS takes /D= only unquoted and last on the command line; cmd passes the
# line on as written, where wine itself would quote the path for its space.
install_win='C:\Tirvel check\Tirvel'
install_dir="$drive_c/Tirvel check/Tirvel"
mkdir "$drive_c/setup"
cp "$installer" "$drive_c/setup/"
setup_win="C:\\setup\\$(basename "$installer")"
registry_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(cpack_setting CPACK_PACKAGE_INSTALL_REGISTRY_KEY)"

# A Start-menu entry lands in the menu of all users when the installer runs as
# an administrator (as under Wine), in the user's own otherwise.
start_menu_entry() {
    find "$drive_c/ProgramData" "$drive_c/users" -path "*/Start Menu/Programs/*" \
        -name "$1.lnk" -print -quit
}

started=$SECONDS
run_in_prefix cmd /c "$setup_win /S /D=$install_win"

for program in "${programs[@]}"; do
    installed="$install_dir/bin/$program.exe"
    [ -f "$installed" ] || fail "bin\\$program.exe is not installed in $install_win"
    cmp -s "$scratch/expected/$program.exe" "$installed" ||
        fail "bin\\$program.exe installed differs from the one built"
done
echo "ok: ${programs[*]} installed as built"

# Each entry must lead to its program where it was installed.
expect_start_menu_entry() {
    local link
    link=$(start_menu_entry "$1")
    [ -n "$link" ] || fail "no Start-menu entry \"$1\""
    grep -aqF "$2" "$link" || fail "the Start-menu entry \"$1\" does not lead to $2"
}
for ((i = 0; i < ${#menu_labels[@]}; i++)); do
    expect_start_menu_entry "${menu_labels[i]}" "$install_win\\bin\\${menu_programs[i]}.exe"
done
expect_start_menu_entry Uninstall "$install_win\\Uninstall.exe"
echo "ok: Start-menu entries:$(printf ' "%s"' "${menu_labels[@]}" Uninstall)"

uninstall=$(wine reg query "$registry_key" /v UninstallString 2>/dev/null | tr -d '\r') ||
    fail "no uninstall entry $registry_key"
grep -qF "\"$install_win\\Uninstall.exe\"" <<<"$uninstall" ||
    fail "the uninstall entry does not name $install_win\\Uninstall.exe: $uninstall"
echo "ok: uninstall entry in the registry"

run_in_prefix "$install_win\\Uninstall.exe" /S

[ ! -e "$install_dir" ] || fail "the uninstaller left $install_win behind: $(find "$install_dir")"
for label in "${menu_labels[@]}" Uninstall; do
    link=$(start_menu_entry "$label")
    [ -z "$link" ] || fail "the uninstaller left the Start-menu entry $link"
done
if wine reg query "$registry_key" >/dev/null 2>&1; then
    fail "the uninstaller left the registry entry $registry_key"
fi
echo "ok: uninstalled without a trace (install and uninstall took $((SECONDS - started)) s)"
