#!/usr/bin/env bash
# Installs what is missing, builds Tarvex (Release, only what it starts) and runs it:
# - with no argument and a display: the desktop program `tarvex`;
# - with no display: tarvex-cli on the analytic excitation curve example (and says how to see
#   the windows);
# - with a script as argument: tarvex-cli on that script.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF \
  -DTARVEX_BENCH=OFF >/dev/null
jobs=$(nproc 2>/dev/null || echo 2)
if [ "$#" -eq 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  cmake --build build/run -j "$jobs" --target tarvex
  exec build/run/tarvex
fi
cmake --build build/run -j "$jobs" --target tarvex-cli
if [ "$#" -eq 0 ]; then
  echo "No display: running the headless example with tarvex-cli instead of the windows." >&2
  echo "To see the windows without a desktop: xvfb-run -a build/run/tarvex" >&2
  set -- examples/bessel-10A.tvx
fi
exec build/run/tarvex-cli "$@"
