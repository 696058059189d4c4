#include "nra/analytic.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/cancel.h"
#include "core/collision_table.h"
#include "core/curve_checks.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/parallel.h"

namespace tarvex {

spectro analyticExcitationCurve(const profile& p, double emaxKeV, double s, double omega) {
  constexpr double kStep = 10.0;  // eV; the numeric model's step edit does not apply here
  const double bins = analyticBins(emaxKeV);
  if (!(bins >= 1.0) || bins > kMaxGridPoints) {
    throw std::invalid_argument("Max Energy (keV): " + formatGeneral(emaxKeV) +
                                " gives no usable energy grid");
  }
  const int n = static_cast<int>(bins);
  spectro base(n, kStep);
  base.clear();
  const double g = 2.0 * s / (omega * omega);  // 1/epsilon, per keV
  const double h = s * g;                      // collisions per 1000 A
  const double dx = p.step;
  // Depth points are independent: each worker sums its slice, the slices are added in order.
  std::vector<std::vector<double>> partial(static_cast<std::size_t>(workerCount(p.count)),
                                           std::vector<double>(static_cast<std::size_t>(n), 0.0));
  parallelFor(p.count, [&](int worker, int begin, int end) {
    std::vector<double>& accumulator = partial[static_cast<std::size_t>(worker)];
    std::vector<float> row(static_cast<std::size_t>(n));
    for (int k = begin; k < end; ++k) {
      const double c = p.values[k];
      // A point without the nuclide adds exactly nothing (its distribution is all zeros).
      if (c == 0.0) continue;
      checkCancel();
      const double x = k * dx * 0.001;
      const double mu = h * x;
      row[0] = static_cast<float>(std::exp(-mu) * c * dx * (kStep * kStep));
      accumulator[0] += static_cast<double>(row[0]);
      // Outside its support the distribution is float zeros, which add nothing: only the
      // support is computed and added, so a long grid costs no more than its occupied part.
      const BesselSupport support = besselLossSupport(c, mu, g, dx, row.size());
      // A long grid looks for a stop every few milliseconds.
      for (std::size_t first = support.lo; first < support.hi; first += 0x10000) {
        if (first > support.lo) checkCancel();
        const std::size_t last = std::min(support.hi, first + 0x10000);
        besselLossRow(c, mu, g, dx, std::span<float>(row).first(last), first);
        for (std::size_t i = first; i < last; ++i)
          accumulator[i] += static_cast<double>(row[i]);
      }
    }
  });
  std::vector<double> accumulator(static_cast<std::size_t>(n), 0.0);
  for (const std::vector<double>& part : partial) {
    for (int i = 0; i < n; ++i)
      accumulator[i] += part[i];
  }
  spectro curve = base;
  for (int i = 0; i < n; ++i)
    curve.setValue(i, static_cast<float>(accumulator[i]));
  return curve;
}

double analyticBins(double emaxKeV) {
  return std::ceil(emaxKeV * 1000.0 / 10.0);
}

void checkAnalyticInput(const NraAnalyticInput& in, char sep) {
  const auto text = [sep](double v) { return formatGeneral(v, 15, sep); };
  const double bins = analyticBins(in.maxEnergy);
  if (!(bins >= 1.0)) {
    throw std::invalid_argument("Max Energy (keV): " + text(in.maxEnergy) +
                                " leaves no energy grid: it must be positive");
  }
  if (bins > kMaxGridPoints || !curveFitsInMemory(bins)) {
    throw std::invalid_argument(
        "Max Energy (keV): " + text(in.maxEnergy) + " needs " + formatGeneral(bins, 3, sep) +
        " bins of 10 eV, " + formatGeneral(curveMemoryValues(bins), 3, sep) +
        " values in memory; the limit is " + formatGeneral(kMaxTableValues, 3, sep) + " values");
  }
  if (!(in.stopping > 0.0) || !std::isfinite(in.stopping)) {
    throw std::invalid_argument("Stopping Power: " + text(in.stopping) + " must be positive");
  }
  if (!(in.straggling != 0.0) || !std::isfinite(in.straggling)) {
    throw std::invalid_argument("Straggling: " + text(in.straggling) +
                                " leaves the loss per collision undefined: it must not be 0");
  }
  checkExcitationWidths(in.broadening, sep);
  checkBroadenedSize(in.broadening, static_cast<int>(bins), 10.0, sep);
}

void checkAnalyticWork(const NraAnalyticInput& in, char sep) {
  double occupied = 0.0;
  for (int k = 0; k < in.depth.count; ++k)
    occupied += in.depth.values[k] != 0.0 ? 1.0 : 0.0;
  const double work = analyticBins(in.maxEnergy) * occupied;
  if (work > kMaxLossEvaluations) {
    throw std::invalid_argument(
        "Max Energy (keV): " + formatGeneral(in.maxEnergy, 15, sep) + " on a profile of " +
        formatGeneral(occupied, 15, sep) + " occupied points needs " + formatGeneral(work, 3, sep) +
        " loss densities; the limit is " + formatGeneral(kMaxLossEvaluations, 3, sep) +
        " (a larger profile step or a smaller Max Energy brings it down)");
  }
}

spectro analyticExcitation(const NraAnalyticInput& in, const ModelRun& run, char sep) {
  const ModelScope scope(run);
  checkAnalyticInput(in, sep);
  checkAnalyticWork(in, sep);
  run.stage(ModelStage::curve);
  spectro curve = analyticExcitationCurve(in.depth, in.maxEnergy, in.stopping, in.straggling);
  broadenExcitationCurve(curve, in.broadening, run, sep);
  requireFiniteCurve(curve, "The analytic excitation curve", in.depth, sep);
  return curve;
}

}  // namespace tarvex
