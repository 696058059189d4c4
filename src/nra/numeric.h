// The numeric resonant NRA model: n-fold convolutions of a binned 1/E^2 single-collision
// distribution, weighted by the profile-integrated Poisson probabilities of n collisions.
#pragma once

#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/spectro.h"
#include "state/working_state.h"

namespace tarvex {

class Session;

// Single-collision parameters of a proton-mass projectile at the resonance energy.
struct SingleCollision {
  double emax = 0.0;    // largest transfer to a free electron, eV
  double r = 0.0;       // 0.001 S / Omega^2, per eV
  double emin = 0.0;    // smallest loss, from (Emax - Emin)/ln(Emax/Emin) = straggling/stopping
  double lambda = 0.0;  // mean loss per collision, eV
  double sigma1 = 0.0;  // standard deviation of one collision's loss, eV
};

SingleCollision singleCollision(double resonanceKeV, double stopping, double straggling);

// What the collision tables are built from, read from TFNRP in this order: "Resonance energy",
// "Max Energy", "Stopping Power:", "Straggling:", "Auto Mode", and in manual mode "Step size",
// "# Convolutions:" and "Vector size:".
struct NraTableParams {
  double resonance = 0.0;  // keV
  double maxEnergy = 0.0;  // keV
  double stopping = 0.0;   // eV/A
  double straggling = 0.0;
  bool autoMode = true;
  double step = 0.0;  // eV (manual mode)
  int nc = 0;         // manual mode
  int bins = 0;       // manual mode
};
NraTableParams readNraTableParams(Session& s);
// The values a table built from p depends on (the key it is stored under).
TableKey nraTableKey(const NraTableParams& p);

// The grid of a table: chosen from the physics in Auto mode, else the manual fields.
using NraTableGrid = CollisionGrid;
// Computes the grid and checks it; on refusal returns the message to show (empty when usable).
// Numbers in the message use the decimal separator sep.
std::string nraTableGrid(const NraTableParams& p, const SingleCollision& c, NraTableGrid& grid,
                         char sep = '.');

// Builds nraLossDistributions from p (choosing step, count and size in Auto mode), with its
// log; publishes the table, its flag and its key together, or on refusal shows the message and
// clears the flag, leaving the table as it was.
void buildNraTables(Session& s, const NraTableParams& p);
void CalcNRPAutos(Session& session);
void CalcNumericExcitation(Session& session);

}  // namespace tarvex
