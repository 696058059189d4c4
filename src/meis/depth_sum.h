// The depth sum of the closed-form ion-scattering models: each profile point contributes a
// loss distribution stored in single precision, scaled by profile step times cross section.
#pragma once

#include <span>
#include <vector>

#include "core/cancel.h"
#include "core/parallel.h"
#include "core/profile.h"

namespace tarvex {

// Returns r[j] = sum_i factor * float(density(i, c_i, j)) over the points with c_i != 0 (a
// point without the element adds exactly nothing). density(i, c, j) is the value of bin j of
// the distribution of point i. The depths are cut into slices fixed by the profile alone; each
// slice sums its points in depth order and the slices are added in order, so the result has
// the same bits whatever the number of threads. A stop is looked for at every point (a whole
// distribution of work each).
template <typename Density>
std::vector<double> depthSum(const profile& p, int bins, double factor, const Density& density) {
  const std::size_t n = static_cast<std::size_t>(bins);
  std::vector<std::vector<double>> partial(static_cast<std::size_t>(sliceCount(p.count)),
                                           std::vector<double>(n, 0.0));
  parallelFor(p.count, [&](int slice, int begin, int end) {
    std::vector<double>& acc = partial[static_cast<std::size_t>(slice)];
    for (int i = begin; i < end; ++i) {
      const double c = p.values[i];
      if (c == 0.0) continue;
      checkCancel();
      for (int j = 0; j < bins; ++j) {
        acc[j] += factor * static_cast<double>(static_cast<float>(density(i, c, j)));
      }
    }
  });
  std::vector<double> r(n, 0.0);
  for (const std::vector<double>& part : partial) {
    for (std::size_t j = 0; j < n; ++j)
      r[j] += part[j];
  }
  return r;
}

// The same sum where the distribution of a point is computed as a whole row: row(i, c, values)
// fills values[j], j = 0 .. bins - 1, with the single-precision value of bin j.
template <typename Row>
std::vector<double> depthSumRows(const profile& p, int bins, double factor, const Row& row) {
  const std::size_t n = static_cast<std::size_t>(bins);
  std::vector<std::vector<double>> partial(static_cast<std::size_t>(sliceCount(p.count)),
                                           std::vector<double>(n, 0.0));
  parallelFor(p.count, [&](int slice, int begin, int end) {
    std::vector<double>& acc = partial[static_cast<std::size_t>(slice)];
    std::vector<float> values(n);
    for (int i = begin; i < end; ++i) {
      const double c = p.values[i];
      if (c == 0.0) continue;
      checkCancel();
      row(i, c, std::span<float>(values));
      for (std::size_t j = 0; j < n; ++j)
        acc[j] += factor * static_cast<double>(values[j]);
    }
  });
  std::vector<double> r(n, 0.0);
  for (const std::vector<double>& part : partial) {
    for (std::size_t j = 0; j < n; ++j)
      r[j] += part[j];
  }
  return r;
}

}  // namespace tarvex
