// The external cross-section model: the single-collision distribution and the collision rate
// come from a dsigma/dE table of the sample material and its molecular density.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/profile.h"
#include "meis/numeric.h"
#include "meis/setup.h"

namespace tarvex {

// What the tables are built from: the two angles, the collision count, Delta E (the grid of
// 1 eV bins), the projectile mass (for the logged kinematic factor) and the molecular density
// (molecules/cm^3, for the collision rate and the derived display).
struct ExtTableParams {
  double thetaIn = 0.0;
  double thetaOut = 0.0;
  int nc = 0;
  double deltaE = 0.0;  // keV
  double m1 = 0.0;
  double density = 0.0;
};
// The bins of 1 eV of the tables' grid: trunc(Delta E * 1000).
double extTableBinCount(double deltaE);
// Refuses a count below 1, a grid of fewer than 2 bins or a table beyond the size limit.
std::string extGridRefusal(const ExtTableParams& p, char sep = '.');

// The cross section as read: dsigma/dE (cm^2/eV) in bins of 1 eV on the tables' grid.
struct CrossSectionTable {
  spectro values;
  std::string source;    // the file it was read from, as refusals name it
  std::string identity;  // what identifies the file and its content (part of the tables' key)
};
// Refuses a cross section without any loss above 0 eV: there is no collision to count.
std::string extCrossSectionRefusal(const CrossSectionTable& cs);
// The tables' key: the grid (Delta E), the collision count and the cross section's identity.
TableKey extTableKey(const ExtTableParams& p, const std::string& identity);

// The one table every element uses (they read the same cross section), the statistics of its
// distributions, or the refusal of a cross section without any loss above 0 eV.
struct ExtTable {
  std::shared_ptr<const std::vector<spectro>> table;
  std::vector<TableEntry> entries;  // k = 1 .. nc
  std::string refusal;
};
// After every distribution beyond the first the run advances (k of nc) and pauses; a stop
// throws Cancelled and leaves nothing.
ExtTable buildExtTable(const ExtTableParams& p, const CrossSectionTable& cs,
                       const ModelRun& run = {}, const TableListener& listener = {});

// The tables a caller keeps between runs: the shared table per element with its key, and the
// cross section it was built from (the collision rate is its integral above 0 eV).
struct ExtTableCache {
  std::map<std::string, std::shared_ptr<const std::vector<spectro>>> tables;
  std::map<std::string, TableKey> keys;
  spectro crossSection;
};
bool extTableCurrent(const ExtTableCache& cache, const TableKey& key, const std::string& name);

// The single-collision correction read from a file: the table on the grid of the spectrum (as
// read, normalised by the model) and the shift (eV) added to the spectrum's offset.
struct SccCorrection {
  spectro table;
  double shift = 0.0;
};
// Gives the correction for a spectrum of `bins` bins of `step` eV; throws to stop the run.
using SccSource = std::function<SccCorrection(int bins, double step)>;

struct ExternalFrame {
  MeisRun run;  // ion energy, angles, spread and projectile (the losses come from the table)
  double density = 0.0;   // molecules/cm^3
  bool convolve = false;  // instrument broadening
  bool scc = false;       // single-collision correction
  bool sccBasic = true;   // its closed form (else the SCC file)
  char decimalSeparator = '.';
};
// The values an element's log shows before its spectrum: the setup, m0 and m1 (integral and
// mean of the single-collision distribution) and the collision rate m per Angstrom of depth.
struct ExtElementSetup {
  ElementSetup setup;
  double m0 = 0.0;
  double m1 = 0.0;
  double m = 0.0;
};
ExtElementSetup extElementSetup(const ExternalFrame& f, const element& el,
                                const std::vector<spectro>& table, const spectro& crossSection);
// One element's spectrum: the Poisson mixture over its profile, then the single-collision
// correction (from scc when the file is asked for: refused without one, or with a table whose
// values sum to 0), then the broadening.
MeisElementResult externalElementSpectrum(const ExternalFrame& f, const std::string& name,
                                          const element& el, const profile& p,
                                          const std::vector<spectro>& table,
                                          const spectro& crossSection, const SccSource& scc = {},
                                          const ModelRun& run = {});

struct ExternalMeisInput {
  ExternalFrame frame;
  ExtTableParams tables;
  CrossSectionTable crossSection;
  SccCorrection scc;  // with the SCC file: on the tables' grid
  std::map<std::string, element> elements;
  std::map<std::string, profile> profiles;
};
struct ExternalMeisResult {
  std::vector<TableEntry> built;  // the entries of a table built by this run
  MeisSpectra spectra;
};
// The spectra of every element in name order, building the one table when the cache holds none
// for these values (stage ModelStage::collisionTable); the cache changes only after a whole
// build.
ExternalMeisResult externalMeisSpectra(const ExternalMeisInput& in, ExtTableCache& cache,
                                       const ModelRun& run = {});

}  // namespace tarvex
