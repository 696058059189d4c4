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

double collisionTableValues(double nc, double bins, double copies) {
  return (nc + 1.0) * bins * copies;
}

bool collisionTableFits(double nc, double bins, double copies) {
  return collisionTableValues(nc, bins, copies) <= kMaxTableValues;
}

std::string collisionTableSizeText(double nc, double bins, double copies) {
  std::string text = "a collision table of " +
                     formatGeneral(collisionTableValues(nc, bins, copies), 3) + " values (" +
                     formatGeneral(nc + 1.0) + " distributions of " + formatGeneral(bins) + " bins";
  if (copies != 1.0) text += ", for " + formatGeneral(copies) + " elements";
  return text + ")";
}

std::string collisionTableLimitText() {
  return "the limit is " + formatGeneral(kMaxTableValues, 3) + " values";
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
