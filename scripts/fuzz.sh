#!/usr/bin/env bash
# Builds the libFuzzer targets of the file readers with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 180) on a copy of its corpus.
# New inputs that grow coverage are left in build/fuzz/corpus/<target> for review.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-180}"
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVEX_FUZZ=ON -DTARVEX_BENCH=OFF
targets=(param_file data_file profile_file loss_table stopping_file r33_file param_file_session
  data_file_session profile_file_session)
cmake --build build/fuzz --target "${targets[@]/#/fuzz_}"
for target in "${targets[@]}"; do
  corpus="${target%_session}"
  mkdir -p "build/fuzz/corpus/$corpus"
  cp -n fuzz/corpus/"$corpus"/* "build/fuzz/corpus/$corpus/" 2>/dev/null || true
  echo "== $target: $seconds s"
  build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -max_len=65536 \
    -print_final_stats=1 "build/fuzz/corpus/$corpus"
done
