// Causal discrete convolution, the kernel under every n-fold energy-loss distribution and
// every broadening: out[i] = sum_{h=0..i} a[h] * b[i-h] for every i of out.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tarvex {

// Computes the causal convolution of a and b into out (out.size() outputs; out may not alias
// a or b). Bins outside the non-zero support of the operands cost nothing; large products
// switch to an FFT where its rounding stays below 1e-13 of the largest output (otherwise the
// direct sum runs). Outputs outside the operands' reach stay exactly zero. Throws Cancelled
// (out then holds no result) when a stop is requested, at the start and during long sums.
void causalConvolve(std::span<const double> a, std::span<const double> b, std::span<double> out);
// The same times factor: out[i] = factor * (the convolution at i), with the very bits of
// scaling the finished result, in one pass over out.
void causalConvolve(std::span<const double> a, std::span<const double> b, std::span<double> out,
                    double factor);
// The same times factor on n outputs, as a new vector whose values are each written once (no
// zero-filled vector is written over): the rows of a collision table and the broadened curves.
std::vector<double> causalConvolution(std::span<const double> a, std::span<const double> b,
                                      std::size_t n, double factor = 1.0);

// The same, forced to the sparse direct sum or to the FFT where the FFT is accurate enough
// (for tests and benchmarks).
void causalConvolveDirect(std::span<const double> a, std::span<const double> b,
                          std::span<double> out);
void causalConvolveFft(std::span<const double> a, std::span<const double> b, std::span<double> out);

}  // namespace tarvex
