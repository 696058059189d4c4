#!/usr/bin/env bash
# Installs what is missing, builds Tarvex (Release) and runs it: tarvex-cli on the given script,
# or on the analytic excitation curve example when none is given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)"
if [ "$#" -eq 0 ]; then set -- examples/bessel-10A.tvx; fi
exec build/release/tarvex-cli "$@"
