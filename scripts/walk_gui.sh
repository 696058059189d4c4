#!/usr/bin/env bash
# A long random walk through the windows (offscreen) under AddressSanitizer and
# UndefinedBehaviorSanitizer:
#   scripts/walk_gui.sh SEED STEPS
# builds what it needs in build/walk-san and runs the walk of SEED for STEPS steps. A failure
# prints the seed, what went wrong and the shortest run of steps found that still fails, kept in
# a file that TARVEX_WALK_GUI_REPLAY=FILE ui_walk_gui_test replayFile runs again.
# TARVEX_WALK_IGNORE (comma-separated parts of failure texts) passes over known failures.
set -euo pipefail
cd "$(dirname "$0")/.."
seed="${1:?usage: scripts/walk_gui.sh SEED STEPS}"
steps="${2:?usage: scripts/walk_gui.sh SEED STEPS}"
build=build/walk-san
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON \
  -DTARVEX_BENCH=OFF -DTARVEX_GUI=ON >/dev/null
cmake --build "$build" --target ui_walk_gui_test
QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=86400000 \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/ui/lsan.supp:print_suppressions=0" \
  TARVEX_WALK_SEED="$seed" TARVEX_WALK_STEPS="$steps" \
  "$build/tests/ui/ui_walk_gui_test" changingSeed
