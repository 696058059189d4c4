// The direct reference of the default numeric excitation curve (1241 bins, 258 collisions, a
// 2000-point profile of concentration 1): O(N^2) convolutions, one power-and-factorial weight
// per collision number, O(n^2) kernel broadenings. Shared by bench_nra and the whole-process
// direct program.
#pragma once

#include <cmath>
#include <vector>

#include "bench_support.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "nra/numeric.h"

namespace bench {

inline std::vector<tarvex::spectro> directTable() {
  const tarvex::SingleCollision c = tarvex::singleCollision(151, 548.56, 6.62);
  const double step = 0.7 * c.emin;
  const int nc = static_cast<int>(std::ceil((30 * c.sigma1 + 5000) / c.lambda));
  const int n = static_cast<int>(std::ceil(5000 / step));
  std::vector<tarvex::spectro> t(nc + 1, tarvex::spectro(n, step));
  t[0].setValue(0, static_cast<float>(1.0 / step));
  t[1].makeSingleCollision(n, step, c.emin, c.emax);
  for (int k = 2; k <= nc; ++k)
    t[k] = directConvolve(t[1], t[k - 1]);
  return t;
}

inline tarvex::spectro directCurve(const std::vector<tarvex::spectro>& t,
                                   const tarvex::profile& p) {
  const tarvex::SingleCollision c = tarvex::singleCollision(151, 548.56, 6.62);
  const double a = 548.56 / c.lambda;
  tarvex::spectro curve(t[1].size(), t[1].step);
  for (std::size_t k = 0; k < t.size(); ++k) {
    const double w = p.collisionWeight(static_cast<int>(k), a, 1.0) * p.step;
    for (int i = 0; i < curve.size(); ++i)
      curve.values[i] += w * t[k].values[i];
  }
  directBroaden(curve, 100.0, false);
  directBroaden(curve, 100.0, true);
  return curve;
}

}  // namespace bench
