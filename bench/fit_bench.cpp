// Speed of the least-squares fits (filled in with the fit benchmarks).
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
