#!/usr/bin/env bash
# A long random walk through the session under AddressSanitizer and UndefinedBehaviorSanitizer:
#   scripts/walk.sh SEED STEPS
#   scripts/walk.sh --gui SEED STEPS   (the walk through the windows: scripts/walk_gui.sh)
# builds what it needs in build/walk-san and runs the walk of SEED for STEPS steps. A failure
# prints the seed, what went wrong and a shortened script that replays it with tarvex-cli.
# TARVEX_WALK_IGNORE (comma-separated parts of failure texts) passes over known failures.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--gui" ]; then
  shift
  exec scripts/walk_gui.sh "$@"
fi
seed="${1:?usage: scripts/walk.sh SEED STEPS}"
steps="${2:?usage: scripts/walk.sh SEED STEPS}"
build=build/walk-san
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON \
  -DTARVEX_BENCH=OFF -DTARVEX_GUI=ON >/dev/null
cmake --build "$build" --target state_tests tarvex-cli
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  TARVEX_WALK_SEED="$seed" TARVEX_WALK_STEPS="$steps" \
  "$build/tests/state_tests" --gtest_filter=Walk.ChangingSeed
