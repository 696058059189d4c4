// The numeric resonant NRA model: n-fold convolutions of a binned 1/E^2 single-collision
// distribution, weighted by the profile-integrated Poisson probabilities of n collisions.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/model.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "core/weights_cache.h"
#include "nra/excitation.h"

namespace tarvex {

// Single-collision parameters of a proton-mass projectile at the resonance energy.
struct SingleCollision {
  double emax = 0.0;    // largest transfer to a free electron, eV
  double r = 0.0;       // 0.001 S / Omega^2, per eV
  double emin = 0.0;    // smallest loss, from (Emax - Emin)/ln(Emax/Emin) = straggling/stopping
  double lambda = 0.0;  // mean loss per collision, eV
  double sigma1 = 0.0;  // standard deviation of one collision's loss, eV
};

SingleCollision singleCollision(double resonanceKeV, double stopping, double straggling);

// What the collision tables are built from.
struct NraTableParams {
  double resonance = 0.0;   // keV
  double maxEnergy = 0.0;   // keV, the highest loss the table holds (Auto mode)
  double stopping = 0.0;    // eV/A
  double straggling = 0.0;  // sqrt(keV^2 per 1000 A): the loss variance per 1000 A is its square
  bool autoMode = true;     // the grid from the physics; else the three values below
  double step = 0.0;        // eV
  int nc = 0;               // highest number of collisions
  int bins = 0;
};
// The values a table built from p depends on (the key it is stored under).
TableKey nraTableKey(const NraTableParams& p);

// The grid of a table: chosen from the physics in Auto mode, else the manual values.
using NraTableGrid = CollisionGrid;
// Computes the grid and checks it; on refusal returns the message to show (empty when usable).
// Numbers in the message use the decimal separator sep.
std::string nraTableGrid(const NraTableParams& p, const SingleCollision& c, NraTableGrid& grid,
                         char sep = '.');

// A table of the distributions of 0 .. nc collisions, with what it was built from.
struct NraTableBuild {
  SingleCollision collision;
  NraTableGrid grid;
  // Why no table was built (the grid's refusal); the table is then empty.
  std::string refusal;
  std::vector<spectro> table;
  // Integral and mean of distributions 1 .. nc as built.
  std::vector<DistributionStats> stats;
  TableKey key;
};
// Builds the table p describes. Progress: stage collisionTable, advance(k, nc) after each
// distribution k, and a pause after each from k = 2 on. `listener` (if set) hears each
// distribution's statistics as soon as it is complete, before the advance.
NraTableBuild buildNraTable(
    const NraTableParams& p, const ModelRun& run = {}, char sep = '.',
    const std::function<void(int k, const DistributionStats&)>& listener = {});

// A table and the key it was built from; a cache that a caller owns and passes in.
struct NraTableCache {
  TableKey key;
  std::vector<spectro> table;
  bool valid = false;
};

// What the numeric excitation curve is calculated from.
struct NraNumericInput {
  NraTableParams table;
  ExcitationBroadening broadening;
  profile depth;  // the resonant nuclide's concentration over depth
};

// The caches of the numeric model: the collision table and the Poisson weights of the last
// profile.
struct NraNumericCache {
  NraTableCache tables;
  CollisionWeightsCache weights;
  // A table lent by the caller (a session's, to a fit of that session), used instead of one of
  // the cache's own while its key matches: no copy of a table of hundreds of megabytes. The
  // lender keeps it unchanged while the cache may use it.
  const std::vector<spectro>* lent = nullptr;
  TableKey lentKey;
};

// The numeric curve from a table: the profile's Poisson weights (through `weights`) mixed with
// the table, then broadened. Checks the size of the work; throws std::invalid_argument on
// refusal.
spectro numericExcitationFromTable(const std::vector<spectro>& table, const profile& depth,
                                   double collisionsPerAngstrom,
                                   const ExcitationBroadening& broadening,
                                   CollisionWeightsCache& weights, const ModelRun& run = {});

struct NraNumericResult {
  spectro curve;  // over energy loss above the resonance, eV
  SingleCollision collision;
  NraTableGrid grid;
  bool tableBuilt = false;  // the table was (re)built for this call, with these statistics
  std::vector<DistributionStats> tableStats;
};
// The whole model: the table from the cache when it was built from the same values, else built
// and kept there. Throws std::invalid_argument for inputs without a curve (a smallest loss below
// 0.5 eV, a grid that is refused, a profile too large), naming the value.
NraNumericResult numericExcitationCurve(const NraNumericInput& in, NraNumericCache& cache,
                                        const ModelRun& run = {});

}  // namespace tarvex
