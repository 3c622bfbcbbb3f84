# Sourced by ./run and ./test: installs the Debian packages the build needs
# when any is missing (as root, or through sudo). libpq-dev: the line's shared
# records server; postgresql: the server programs the tests start their own
# servers with (the cluster the package may set up is not used); ccache: every
# build after the first compiles only what changed, also in a fresh clone.
# libmicrohttpd-dev, libsodium-dev and libjs-chart.js: tirvel-line (its HTTP
# server, the hashes of its secrets, and the dashboard's charts, built in).

TIRVEL_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev
                       libcli11-dev nlohmann-json3-dev libsqlite3-dev libpq-dev postgresql
                       qt6-base-dev qt6-translations-l10n libgl-dev fonts-wqy-microhei
                       lrzsz dpkg-dev scdoc desktop-file-utils ccache libjs-chart.js
                       libmicrohttpd-dev libsodium-dev)
# The fuzz stage of ./test: libFuzzer comes with clang's runtime.
TIRVEL_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# The windows stage of ./test: the MinGW-w64 cross compiler and Wine to run
# what it builds; an X server without a screen for the desktop app's windows;
# tclsh, make and patch make SQLite's amalgamation from Debian's sources;
# unixODBC and the PostgreSQL ODBC driver, which Wine's odbc32.dll hands the
# Windows programs' records on to.
TIRVEL_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
                         tcl make patch unixodbc odbc-postgresql)
# makensis, for the check of the Windows installer at the end of that stage
# (only that check is skipped without it).
TIRVEL_INSTALLER_PACKAGES=(nsis)
# Only for screenshots of the desktop app without a display.
TIRVEL_SCREENSHOT_PACKAGES=(xvfb xauth)
# The dashboard's browser tests and its screenshots; openssl and curl make
# and check the certificate of tirvel-line's TLS case. ./test installs them
# (a run without them would skip those cases, with the reason).
TIRVEL_BROWSER_PACKAGES=(chromium chromium-driver openssl curl)

tirvel_missing_packages() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]}"
}

tirvel_ensure_packages() {
    local missing
    missing=$(tirvel_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "Missing packages: $missing (no apt-get here; install them by hand)" >&2
        return 1
    fi
    local sudo=""
    if [ "$(id -u)" != 0 ]; then
        if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
            echo "Missing packages: $missing; run as root or install sudo" >&2
            return 1
        fi
    fi
    echo "Installing: $missing"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}
