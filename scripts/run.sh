#!/usr/bin/env bash
# Installs what is missing, builds Tarvex (Release) and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)"
exec build/release/tarvex-cli "$@"
