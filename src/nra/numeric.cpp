#include "nra/numeric.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/collision_table.h"
#include "core/curve_checks.h"
#include "core/numtext.h"

namespace tarvex {

SingleCollision singleCollision(double resonanceKeV, double stopping, double straggling) {
  SingleCollision c;
  c.r = 0.001 * stopping / (straggling * straggling);
  // Emin = Emax exp((Emin - Emax) r), by 20 fixed-point steps (the rate enters as r / 1).
  const CollisionRange range =
      solveCollisionRange(maxElectronTransfer(resonanceKeV, 1.0), c.r, 1.0, 20);
  c.emax = range.emax;
  c.emin = range.emin;
  c.lambda = range.mean;
  c.sigma1 = singleLossDeviation(range);
  return c;
}

TableKey nraTableKey(const NraTableParams& p) {
  TableKey k;
  k.values = {p.resonance, p.maxEnergy, p.stopping, p.straggling, p.autoMode ? 1.0 : 0.0};
  if (!p.autoMode) {
    k.values.insert(k.values.end(),
                    {p.step, static_cast<double>(p.nc), static_cast<double>(p.bins)});
  }
  return k;
}

std::string nraTableGrid(const NraTableParams& p, const SingleCollision& c, NraTableGrid& g,
                         char sep) {
  const CollisionRange range{c.emax, c.emin, c.lambda};
  if (p.autoMode) {
    g = autoCollisionGrid(range, p.maxEnergy, std::numeric_limits<double>::infinity());
    // Values that could not be written as a step and whole numbers are refused before any
    // field changes.
    if (!autoGridWritable(g) || !std::isfinite(c.emax)) return "Error! Check parameters!";
  } else {
    g = {p.step, static_cast<double>(p.nc), static_cast<double>(p.bins)};
  }
  const std::string sizeFields =
      p.autoMode ? "Max Energy (keV): " + formatGeneral(p.maxEnergy, 15, sep) + " needs "
                 : "# Convolutions: " + formatGeneral(g.nc, 15, sep) +
                       " and Vector size: " + formatGeneral(g.bins, 15, sep) + " give ";
  std::string refusal = collisionGridRefusal(g, c.emax, 1.0, sizeFields, sep);
  if (refusal.empty()) refusal = collisionBinRefusal(g.step, c.emin, c.emax, sep);
  return refusal;
}

NraTableBuild buildNraTable(const NraTableParams& p, const ModelRun& run, char sep,
                            const std::function<void(int k, const DistributionStats&)>& listener) {
  const ModelScope scope(run);
  NraTableBuild b;
  b.collision = singleCollision(p.resonance, p.stopping, p.straggling);
  b.refusal = nraTableGrid(p, b.collision, b.grid, sep);
  if (!b.refusal.empty()) return b;
  run.pause();
  const int n = static_cast<int>(b.grid.bins);
  const int count = static_cast<int>(b.grid.nc);
  const double step = b.grid.step;
  spectro zeroLoss(n, step);
  zeroLoss.setValue(0, static_cast<float>(1.0 / step));
  spectro single(n, step);
  single.makeSingleCollision(n, step, b.collision.emin, b.collision.emax);
  run.stage(ModelStage::collisionTable);
  b.table =
      buildCollisionTable(std::move(zeroLoss), std::move(single), count,
                          [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
                            b.stats.push_back(d);
                            if (listener) listener(k, d);
                            run.advance(k, count);
                            if (k > 1) run.pause();
                          });
  b.key = nraTableKey(p);
  return b;
}

spectro numericExcitationFromTable(const std::vector<spectro>& table, const profile& depth,
                                   double collisionsPerAngstrom,
                                   const ExcitationBroadening& broadening,
                                   CollisionWeightsCache& weights, const ModelRun& run) {
  const ModelScope scope(run);
  checkPoissonWork(depth.count, static_cast<double>(table.size()));
  run.stage(ModelStage::weights);
  const std::vector<double>& w =
      weights.weights(depth, static_cast<int>(table.size()) - 1, collisionsPerAngstrom);
  run.stage(ModelStage::curve);
  spectro curve = mixCollisionTable(table, w, depth.step, MixOrder::weightTimesFactor);
  run.pause();
  broadenExcitationCurve(curve, broadening, run);
  return curve;
}

NraNumericResult numericExcitationCurve(const NraNumericInput& in, NraNumericCache& cache,
                                        const ModelRun& run) {
  const ModelScope scope(run);
  checkExcitationWidths(in.broadening);
  NraNumericResult r;
  r.collision = singleCollision(in.table.resonance, in.table.stopping, in.table.straggling);
  if (!(r.collision.emin > 0.5)) {
    throw std::invalid_argument("The smallest loss per collision, Emin " +
                                formatGeneral(r.collision.emin, 4) +
                                " eV, lies below 0.5 eV: check the stopping and straggling");
  }
  const TableKey key = nraTableKey(in.table);
  const bool lent = cache.lent != nullptr && cache.lentKey == key && cache.lent->size() >= 2;
  if (!lent && (!cache.tables.valid || cache.tables.key != key || cache.tables.table.size() < 2)) {
    NraTableBuild b = buildNraTable(in.table, run);
    if (!b.refusal.empty()) throw std::invalid_argument(b.refusal);
    r.tableBuilt = true;
    r.tableStats = std::move(b.stats);
    cache.tables.valid = false;
    cache.tables.table = std::move(b.table);
    cache.tables.key = std::move(b.key);
    cache.tables.valid = true;
  }
  const std::vector<spectro>& table = lent ? *cache.lent : cache.tables.table;
  r.grid = {table[1].step, static_cast<double>(table.size() - 1),
            static_cast<double>(table[1].size())};
  const double a = in.table.stopping / r.collision.lambda;  // collisions per Angstrom
  r.curve = numericExcitationFromTable(table, in.depth, a, in.broadening, cache.weights, run);
  requireFiniteCurve(r.curve, "The numeric excitation curve", in.depth);
  return r;
}

}  // namespace tarvex
