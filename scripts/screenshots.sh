#!/usr/bin/env bash
# Takes the screenshots of the windows shown in the README (docs/screenshots/*.png), under a
# virtual X display so that it works on a machine without a desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/screenshots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BENCH=OFF -DTARVEX_GUI=ON \
  >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tarvex_screenshots
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1600x1200x24" "$build/tests/ui/tarvex_screenshots" docs/screenshots
# The report pages: written as PDF files by the program, shown as pictures of the page.
for page in report-nra report-meis; do
  pdftoppm -png -r 80 -singlefile "docs/screenshots/$page.pdf" "docs/screenshots/$page"
  rm -f "docs/screenshots/$page.pdf"
done
# The first start under a window manager on a 1366x768 screen, with fresh settings: the windows
# side by side (openbox and xwd: scripts/setup.sh installs them).
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tarvex
xvfb-run -a -s "-screen 0 1366x768x24" bash scripts/first_start.sh "$build/tarvex" \
  docs/screenshots/first-start.png
