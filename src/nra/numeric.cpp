#include "nra/numeric.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/collision_table.h"
#include "core/numtext.h"
#include "nra/plots.h"
#include "state/engine_command.h"
#include "state/session.h"

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

namespace {

std::string general(const Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

void logEntry(Session& s, int k, const DistributionStats& d, double lambda, double step,
              bool first) {
  const std::string pad = first ? "" : " ";
  const double m1 = d.mean / (k * lambda / step);
  s.logAppend("Auto #" + std::to_string(k) + ": \nIntegral:\t" + pad);
  s.logAppend(formatGeneral(d.integral, 3, s.decimalSeparator()) + "\n");
  s.logAppend("M1:\t" + pad);
  s.logAppend(formatGeneral(m1, 3, s.decimalSeparator()) + "\n\n");
}

}  // namespace

NraTableParams readNraTableParams(Session& s) {
  NraTableParams p;
  p.resonance = s.number("TFNRP.EditEnrg");
  p.maxEnergy = s.number("TFNRP.EditMaxE");
  p.stopping = s.number("TFNRP.Editdedx");
  p.straggling = s.number("TFNRP.EditS");
  p.autoMode = s.controls().checked("TFNRP.CheckAuto");
  if (!p.autoMode) {
    p.step = s.number("TFNRP.EditStep");
    p.nc = s.integer("TFNRP.EditNc");
    p.bins = s.integer("TFNRP.EditVecsize");
  }
  return p;
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

void buildNraTables(Session& s, const NraTableParams& p) {
  WorkingState& st = s.state();
  const SingleCollision c = singleCollision(p.resonance, p.stopping, p.straggling);
  // Non-finite values have no place in a field; the check below refuses such a table anyway.
  if (std::isfinite(c.emax)) s.controls().setText("TFNRP.EditEmax", general(s, c.emax, 5));
  if (std::isfinite(c.emin)) s.controls().setText("TFNRP.EditEmin", general(s, c.emin, 4));
  s.eventPoint();

  NraTableGrid g;
  const std::string refusal = nraTableGrid(p, c, g, s.decimalSeparator());
  if (!refusal.empty()) {
    s.host().showMessage(refusal);
    st.nraAutoValid = false;
    return;
  }
  if (p.autoMode) {
    s.controls().setText("TFNRP.EditStep", general(s, g.step, 5));
    s.controls().setText("TFNRP.EditNc", formatGeneral(g.nc));
    s.controls().setText("TFNRP.EditVecsize", formatGeneral(g.bins));
  }
  s.eventPoint();

  const int n = static_cast<int>(g.bins);
  const int count = static_cast<int>(g.nc);
  const double step = g.step;
  spectro zeroLoss(n, step);
  zeroLoss.setValue(0, static_cast<float>(1.0 / step));
  spectro single(n, step);
  single.makeSingleCollision(n, step, c.emin, c.emax);
  std::vector<spectro> table =
      buildCollisionTable(std::move(zeroLoss), std::move(single), count,
                          [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
                            logEntry(s, k, d, c.lambda, step, k == 1);
                            if (k == 1) return;
                            s.setPanel(0, std::to_string(k) + " of " + std::to_string(count));
                            s.eventPoint();
                          });
  s.setPanel(0, std::to_string(count) + " of " + std::to_string(count) + " OK!");
  s.setPanel(0, std::to_string(count) + " done!");
  st.nraLossDistributions = std::move(table);
  st.nraAutoValid = true;
  st.nraTableKey = nraTableKey(p);
}

void CalcNRPAutos(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the collision tables",
                   [&] { buildNraTables(s, readNraTableParams(s)); });
}

namespace {

// The inputs of the curve, read in the order the command has always read them.
struct NraNumericParams {
  double resonance = 0.0;
  double stopping = 0.0;
  double straggling = 0.0;
  double resonanceWidth = 0.0;
  double beamSpread = 0.0;
  NraTableParams table;
};

NraNumericParams readNraNumericParams(Session& s) {
  NraNumericParams p;
  p.resonance = s.number("TFNRP.EditEnrg");
  p.stopping = s.number("TFNRP.Editdedx");
  p.straggling = s.number("TFNRP.EditS");
  p.resonanceWidth = s.number("TFNRP.EditLor");
  p.beamSpread = s.number("TFNRP.EditGauss");
  p.table = readNraTableParams(s);
  return p;
}

// Two independent 64-bit digests of the bit patterns of v, each over four interleaved lanes
// (multiply-xorshift steps, a splitmix64 finish), so that one pass runs at memory speed.
std::array<std::uint64_t, 2> digestOf(std::span<const double> v) {
  constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ULL, k2 = 0xC2B2AE3D27D4EB4FULL;
  std::array<std::uint64_t, 4> h1{1, 2, 3, 4}, h2{5, 6, 7, 8};
  const auto step = [](std::uint64_t h, std::uint64_t x, std::uint64_t k) {
    h = (h ^ x) * k;
    return h ^ (h >> 29);
  };
  const std::size_t n = v.size();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (std::size_t j = 0; j < 4; ++j) {
      const auto x = std::bit_cast<std::uint64_t>(v[i + j]);
      h1[j] = step(h1[j], x, k1);
      h2[j] = step(h2[j], x, k2);
    }
  }
  for (std::size_t j = 0; i < n; ++i, ++j) {
    const auto x = std::bit_cast<std::uint64_t>(v[i]);
    h1[j] = step(h1[j], x, k1);
    h2[j] = step(h2[j], x, k2);
  }
  const auto finish = [n](const std::array<std::uint64_t, 4>& h) {
    std::uint64_t r = n;
    for (const std::uint64_t x : h) {
      r = (r ^ x) + 0x9E3779B97F4A7C15ULL;
      r = (r ^ (r >> 30)) * 0xBF58476D1CE4E5B9ULL;
      r = (r ^ (r >> 27)) * 0x94D049BB133111EBULL;
      r ^= r >> 31;
    }
    return r;
  };
  return {finish(h1), finish(h2)};
}

// The Poisson weights of the last curve with what they were computed from: the profile (its
// points, by count, step and digest), the collision rate and the highest order. A re-run over
// an unchanged profile, millions of points for a thick film, reads them back instead of
// weighting every depth again; any change of a point, the step, the rate or the table's size
// computes them anew. Kept for the process (they depend on nothing else), stored only once
// complete, so a stop during the weighting keeps nothing.
struct WeightsKey {
  std::size_t points = 0;
  std::uint64_t step = 0;  // bit patterns: a value that is not a number matches itself only
  std::uint64_t rate = 0;
  int nmax = 0;
  std::array<std::uint64_t, 2> digest{};
  bool operator==(const WeightsKey&) const = default;
};

std::vector<double> collisionWeightsOnce(const profile& prof, int nmax, double a) {
  static std::mutex mutex;
  static std::optional<std::pair<WeightsKey, std::vector<double>>> kept;
  const std::size_t points =
      std::min(prof.values.size(), static_cast<std::size_t>(std::max(prof.count, 0)));
  WeightsKey key;
  key.points = points;
  key.step = std::bit_cast<std::uint64_t>(prof.step);
  key.rate = std::bit_cast<std::uint64_t>(a);
  key.nmax = nmax;
  key.digest = digestOf(std::span<const double>(prof.values).first(points));
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (kept && kept->first == key) return kept->second;
  }
  std::vector<double> weights = prof.collisionWeights(nmax, a, 1.0);
  const std::lock_guard<std::mutex> lock(mutex);
  kept.emplace(key, weights);
  return weights;
}

void numericExcitation(Session& s) {
  WorkingState& st = s.state();
  const NraNumericParams p = readNraNumericParams(s);
  checkExcitationWidths(s, p.resonanceWidth, p.beamSpread);
  st.undoProfile = PackedProfile(st.nraProfile);
  s.SetStatus("Calculating the numeric excitation curve...");
  const SingleCollision c = singleCollision(p.resonance, p.stopping, p.straggling);
  if (std::isfinite(c.emin)) s.controls().setText("TFNRP.EditEmin", general(s, c.emin, 15));
  if (std::isfinite(c.emax)) s.controls().setText("TFNRP.EditEmax", general(s, c.emax, 15));
  const double a = p.stopping / c.lambda;  // collisions per Angstrom
  if (!(c.emin > 0.5)) {
    s.SetStatus("Numeric ERROR! Emin < 0.5 eV!");
    return;
  }
  // The change test keeps deciding as it always did; besides, a table built from other values
  // than those read now (the change consumed by another run, a failed read, a parameter save)
  // is rebuilt.
  const bool changed = s.parametersChanged();
  const bool built = changed || st.nraTableKey != nraTableKey(p.table);
  if (built) {
    s.SetStatus("Calculating numeric convolutions...");
    buildNraTables(s, p.table);
  }
  const int nc = s.integer("TFNRP.EditNc");
  // A build that has just failed would fail again with the same message.
  if (!(built && !st.nraAutoValid) &&
      static_cast<long long>(st.nraLossDistributions.size()) != static_cast<long long>(nc) + 1) {
    s.SetStatus("Calculating numeric convolutions...");
    buildNraTables(s, readNraTableParams(s));
  }
  s.parametersChanged();  // the values just used become the baseline of the next test
  s.SetStatus("Calculating numeric excitation curve...");
  if (!st.nraAutoValid || st.nraLossDistributions.size() < 2) {
    s.SetStatus("Numeric ERROR!");
    return;
  }

  const std::vector<spectro>& table = st.nraLossDistributions;
  const profile& prof = st.nraProfile;
  checkPoissonWork(prof.count, static_cast<double>(table.size()));
  const std::vector<double> weights =
      collisionWeightsOnce(prof, static_cast<int>(table.size()) - 1, a);
  spectro curve = mixCollisionTable(table, weights, prof.step, MixOrder::weightTimesFactor);
  s.eventPoint();
  broadenExcitation(s, curve, p.resonanceWidth, p.beamSpread);
  requireFiniteCurve(s, curve, "The numeric excitation curve", prof);
  st.numericExcitation = std::move(curve);
  PlotNumericExcitation(s);
  s.SetStatus("Done!");
}

}  // namespace

void CalcNumericExcitation(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the numeric excitation curve",
                   [&] { numericExcitation(s); });
}

}  // namespace tarvex
