#include "core/collision_table.h"

#include <algorithm>
#include <cmath>

#include "core/cancel.h"
#include "core/limits.h"
#include "core/numtext.h"

namespace tarvex {

double maxElectronTransfer(double e0, double m1) {
  return 4.0 / m1 * e0 * 0.54461699;
}

CollisionRange solveCollisionRange(double emax, double d, double s, int iterations) {
  CollisionRange r;
  r.emax = emax;
  r.emin = r.emax * std::exp(-r.emax * d / s);
  for (int i = 0; i < iterations; ++i)
    r.emin = r.emax * std::exp((r.emin - r.emax) * d / s);
  r.mean = std::log(r.emax / r.emin) * r.emin * r.emax / (r.emax - r.emin);
  return r;
}

double singleLossDeviation(const CollisionRange& r) {
  return std::sqrt(r.emin * r.emax - r.mean * r.mean);
}

CollisionGrid autoCollisionGrid(const CollisionRange& r, double lossKeV, double maxStep) {
  CollisionGrid g;
  g.step = 0.7 * r.emin;
  if (g.step > maxStep) g.step = maxStep;
  g.nc = std::trunc(std::ceil((30.0 * singleLossDeviation(r) + 1000.0 * lossKeV) / r.mean));
  g.bins = std::trunc(std::ceil(1000.0 * lossKeV / g.step));
  return g;
}

bool autoGridWritable(const CollisionGrid& g) {
  return std::isfinite(g.step) && g.step > 0.0 && std::isfinite(g.nc) && g.nc >= 1.0 &&
         std::isfinite(g.bins) && g.bins >= 1.0;
}

std::string collisionGridRefusal(const CollisionGrid& g, double emax, double copies,
                                 const std::string& sizeFields, char sep) {
  const auto text = [sep](double v, int digits = 15) { return formatGeneral(v, digits, sep); };
  if (!(g.bins * g.step >= emax)) return "Error! Check parameters!";
  if (!(std::isfinite(g.step) && g.step > 0.0)) {
    return "Step size (eV): " + text(g.step) + " must be a positive number of eV";
  }
  if (g.nc < 1.0) return "# Convolutions: " + text(g.nc) + " must be at least 1";
  // The single-collision distribution reaches the bin after emax.
  const double needed = std::floor(emax / g.step) + 2.0;
  if (g.bins < needed) {
    return "Vector size: " + text(g.bins) + " bins of " + text(g.step, 5) +
           " eV cannot hold the single-collision distribution up to Emax (" + text(emax, 5) +
           " eV); it needs " + text(needed);
  }
  if (!collisionTableFits(g.nc, g.bins, copies)) {
    return sizeFields + collisionTableSizeText(g.nc, g.bins, copies, sep) + "; " +
           collisionTableLimitText(sep);
  }
  return {};
}

std::string collisionBinRefusal(double step, double emin, double emax, char sep) {
  if (!(std::ceil(emin / step) > std::floor(emax / step))) return {};
  return "Step size (eV): " + formatGeneral(step, 15, sep) + " leaves no bin between Emin (" +
         formatGeneral(emin, 4, sep) + " eV) and Emax (" + formatGeneral(emax, 5, sep) + " eV)";
}

double collisionTableValues(double nc, double bins, double copies) {
  return (nc + 1.0) * bins * copies;
}

bool collisionTableFits(double nc, double bins, double copies) {
  return collisionTableValues(nc, bins, copies) <= kMaxTableValues;
}

std::string collisionTableSizeText(double nc, double bins, double copies, char sep) {
  std::string text = "a collision table of " +
                     formatGeneral(collisionTableValues(nc, bins, copies), 3, sep) + " values (" +
                     formatGeneral(nc + 1.0, 15, sep) + " distributions of " +
                     formatGeneral(bins, 15, sep) + " bins";
  if (copies != 1.0) text += ", for " + formatGeneral(copies, 15, sep) + " elements";
  return text + ")";
}

std::string collisionTableLimitText(char sep) {
  return "the limit is " + formatGeneral(kMaxTableValues, 3, sep) + " values";
}

double curveMemoryValues(double bins) {
  return bins * 20.0;
}

bool curveFitsInMemory(double bins) {
  return curveMemoryValues(bins) <= kMaxTableValues;
}

void checkPoissonWork(double points, double orders) {
  const double terms = points * orders;
  if (terms > kMaxPoissonTerms) {
    throw std::invalid_argument("A profile of " + formatGeneral(points) + " points weighted over " +
                                formatGeneral(orders) + " collision orders needs " +
                                formatGeneral(terms, 3) + " Poisson terms; the limit is " +
                                formatGeneral(kMaxPoissonTerms, 3) +
                                " (a larger profile step or fewer convolutions bring it down)");
  }
}

std::vector<spectro> buildCollisionTable(spectro zeroLoss, spectro single, int nc,
                                         const CollisionTableProgress& progress) {
  if (nc < 1) throw std::invalid_argument("a collision table needs at least one collision");
  if (!collisionTableFits(nc, single.size())) {
    throw std::invalid_argument(collisionTableSizeText(nc, single.size()) +
                                " is too large: " + collisionTableLimitText());
  }
  std::vector<spectro> table;
  table.reserve(static_cast<std::size_t>(nc) + 1);
  table.push_back(std::move(zeroLoss));
  table.push_back(std::move(single));
  if (progress) progress(1, table);
  for (int k = 2; k <= nc; ++k) {
    checkCancel();
    table.push_back(convolve(table[1], table[static_cast<std::size_t>(k) - 1]));
    if (progress) progress(k, table);
  }
  return table;
}

spectro mixCollisionTable(const std::vector<spectro>& table, const std::vector<double>& weights,
                          double factor, MixOrder order) {
  if (table.size() < 2 || weights.size() < table.size()) {
    throw std::invalid_argument("mixCollisionTable: a weight for every distribution is needed");
  }
  spectro mix(table[1].size(), table[1].step);
  std::size_t len = mix.values.size();
  for (const spectro& d : table)
    len = std::min(len, d.values.size());
  mix.values.resize(len);
  double* out = mix.values.data();
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (weights[k] == 0.0) continue;  // adds exactly nothing
    checkCancel();
    const double* d = table[k].values.data();
    if (order == MixOrder::weightTimesFactor) {
      const double w = weights[k] * factor;
      for (std::size_t i = 0; i < len; ++i)
        out[i] += w * d[i];
    } else {
      const double w = weights[k];
      for (std::size_t i = 0; i < len; ++i)
        out[i] += (d[i] * w) * factor;
    }
  }
  return mix;
}

}  // namespace tarvex
