#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice: in a Release build
# (with the Python module's pytest suite), and in a Debug build under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

echo "== Formatting (clang-format) =="
mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'python/*.cpp' 'python/*.h' 2>/dev/null || true)
if [ "${#sources[@]}" -gt 0 ]; then
  clang-format --dry-run --Werror "${sources[@]}"
fi

echo "== Release build =="
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure

echo "== Debug build with AddressSanitizer and UndefinedBehaviorSanitizer =="
# The Python module is left out here: an extension built with the sanitizers would need their
# runtime preloaded into python3. Its tests (pytest, through ctest) run in the Release build.
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON \
  -DTARVEX_BENCH=OFF -DTARVEX_PYTHON=OFF
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize -j "$jobs" --output-on-failure
