// One call of the numeric resonant NRA model with its collision table cached: the C++ side of
// the Python module's call overhead (bench/python_call.py times the same case from Python).
#include <benchmark/benchmark.h>

#include "nra/numeric.h"

namespace {

// The case of bench/python_call.py: a 10 Å layer of concentration 1 on the 0.005 Å grid, Max
// Energy 10 keV, every other value at its start-up default.
tarvex::NraNumericInput defaultCase() {
  tarvex::NraNumericInput in;
  in.table.resonance = 151.0;
  in.table.maxEnergy = 10.0;
  in.table.stopping = 548.56;
  in.table.straggling = 6.62;
  in.broadening.resonanceWidth = 100.0;
  in.broadening.beamSpread = 100.0;
  in.depth = tarvex::profile(10.0, 0.005);
  for (double& v : in.depth.values)
    v = 1.0;
  return in;
}

void BM_NumericModelCallCached(benchmark::State& state) {
  const tarvex::NraNumericInput in = defaultCase();
  tarvex::NraNumericCache cache;
  tarvex::numericExcitationCurve(in, cache);
  for (auto _ : state)
    benchmark::DoNotOptimize(tarvex::numericExcitationCurve(in, cache));
}

}  // namespace

BENCHMARK(BM_NumericModelCallCached)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
