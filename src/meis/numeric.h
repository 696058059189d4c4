// The numeric ion-scattering model: per-element tables of n-fold 1/E^2 loss distributions,
// mixed with the profile-integrated Poisson weights of n collisions.
#pragma once

#include <string>

#include "meis/setup.h"
#include "state/working_state.h"

namespace tarvex {

class Session;

// What the collision tables are built from, read from TFMEIS in this order: "Ion energy",
// "Delta E", the two angles, "dE/dx", "dW^2/dx", the projectile's mass and Z, "Auto Mode", and
// in manual mode "Step size", "# Convolutions:" and "Vector size:".
struct MeisTableParams {
  MeisRun run;  // the spread is not read
  double deltaE = 0.0;
  bool autoMode = true;
  double step = 0.0;  // eV (manual mode)
  int nc = 0;         // manual mode
  int bins = 0;       // manual mode
};
MeisTableParams readMeisTableParams(Session& s);
// The values the table of element el built from p depends on.
TableKey meisTableKey(const MeisTableParams& p, const element& el);

// The common grid of the tables: chosen from the run-wide range r0 in Auto mode, else the
// manual fields.
using MeisTableGrid = CollisionGrid;
// Computes the grid and checks it for `elements` tables; returns the message that refuses it
// (empty when usable). Numbers in the message use the decimal separator sep.
std::string meisTableGrid(const MeisTableParams& p, const CollisionRange& r0, double elements,
                          MeisTableGrid& grid, char sep = '.');

// Adds the editor's element, then builds the tables of every element from p and publishes them
// with their keys and meisAutoValid together; on refusal shows the message and clears the flag.
void buildMeisTables(Session& s, const MeisTableParams& p);
void CalcMEISAutos(Session& s);
void CalcNumericMEIS(Session& s);

}  // namespace tarvex
