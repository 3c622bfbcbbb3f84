#!/usr/bin/env bash
# Screenshots of tirvel-line's dashboard for the docs, made without a display:
# three stations' state written as stations write it (one of them offline), a
# day of records behind them, on a PostgreSQL server of the run's own, shown
# in headless Chromium in English and in Chinese. Writes
# docs/screenshots/line-en.png and line-zh.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tirvel_ensure_packages "${TIRVEL_BUILD_PACKAGES[@]}" "${TIRVEL_BROWSER_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default --target line_screenshots

mkdir -p docs/screenshots
build/tests/line_screenshots docs/screenshots
