// The external cross-section model: the single-collision distribution and the collision rate
// come from a dsigma/dE table of the sample material and its molecular density.
#pragma once

#include <string>

namespace tarvex {

class Session;

// What the tables are built from, read in this order: the two angles, "Nc:", "Delta E (keV):",
// the projectile mass (for the logged kinematic factor) and "Density" (for the derived display).
struct ExtTableParams {
  double thetaIn = 0.0;
  double thetaOut = 0.0;
  int nc = 0;
  double deltaE = 0.0;
  double m1 = 0.0;
  double density = 0.0;
};
ExtTableParams readExtTableParams(Session& s);
// Adds the editor's element, reads the cross-section file and builds the one table every
// element uses; publishes tables, keys, the raw table and meisExtAutoValid together. A file
// that cannot be read, holds no collision or a value that is not finite ends it with an error.
void buildExtTables(Session& s, const ExtTableParams& p);
void CalcMEISAutosExt(Session& s);
void CalcNumericMEISExt(Session& s);
// "Load SCC": convolves the editor element's external-CS spectrum with the SCC file once more.
void LoadSCC(Session& s);
// The "..." buttons of the external cross-section window.
void chooseLossFile(Session& s, const std::string& editKey);

}  // namespace tarvex
