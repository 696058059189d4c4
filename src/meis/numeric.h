// The numeric ion-scattering model: per-element tables of n-fold 1/E^2 loss distributions,
// mixed with the profile-integrated Poisson weights of n collisions.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/model.h"
#include "core/profile.h"
#include "meis/setup.h"

namespace tarvex {

// What the collision tables are built from: the ion energy, Delta E, the angles, the losses,
// the projectile, and the grid (chosen in Auto mode, else step, count and bins as given).
struct MeisTableParams {
  MeisRun run;          // the spread is not used
  double deltaE = 0.0;  // keV
  bool autoMode = true;
  double step = 0.0;  // eV (manual mode)
  int nc = 0;         // manual mode
  int bins = 0;       // manual mode
};
// The values the table of element el built from p depends on.
TableKey meisTableKey(const MeisTableParams& p, const element& el);

// The common grid of the tables: chosen from the run-wide range r0 in Auto mode, else the
// manual values.
using MeisTableGrid = CollisionGrid;
// Computes the grid and checks it for `elements` tables; returns the message that refuses it
// (empty when usable). Numbers in the message use the decimal separator sep.
std::string meisTableGrid(const MeisTableParams& p, const CollisionRange& r0, double elements,
                          MeisTableGrid& grid, char sep = '.');

// One element's table: its setup and its range of single losses (what its log shows).
struct MeisElementTablePlan {
  ElementSetup setup;
  CollisionRange range;
};
// The tables of a composition before they are built: the run-wide range of single losses (its
// Emin and Emax are shown), the grid (shown in Auto mode) and each element's plan, or the
// refusal of the grid or of an element's range (then the elements after it have no plan).
struct MeisTablePlan {
  CollisionRange range;
  MeisTableGrid grid;
  std::map<std::string, MeisElementTablePlan> elements;
  std::string refusal;
};
// The geometry is not checked here (geometryRefusal comes first).
MeisTablePlan planMeisTables(const MeisTableParams& p,
                             const std::map<std::string, element>& elements, char sep = '.');

// What the log shows of distribution k (1 .. nc) of a table: its integral and "M1", its mean
// relative to the mean of k single losses (for the first distribution of an external table, its
// mean itself).
struct TableEntry {
  int k = 0;
  double integral = 0.0;
  double m1 = 0.0;
};
// Hears each distribution as it is completed.
using TableListener = std::function<void(const TableEntry&)>;

struct MeisElementTable {
  std::vector<spectro> table;       // nc + 1 distributions
  std::vector<TableEntry> entries;  // k = 1 .. nc
};
// Builds the table of an element of the plan (without a refusal). After every distribution
// beyond the first the run advances (k of nc) and pauses; a stop (run.cancel) throws Cancelled
// and leaves nothing.
MeisElementTable buildMeisElementTable(const MeisTablePlan& plan, const std::string& name,
                                       const ModelRun& run = {},
                                       const TableListener& listener = {});

// The tables a caller keeps between runs, per element with the key each was built from.
struct MeisTableCache {
  std::map<std::string, std::vector<spectro>> tables;
  std::map<std::string, TableKey> keys;
};
// Whether the cache holds the table of element el for p.
bool meisTableCurrent(const MeisTableCache& cache, const MeisTableParams& p,
                      const std::string& name, const element& el);

// The per-element values of a spectrum: its setup, its range of single losses and its rate of
// collisions Mef per Angstrom of depth (in and out).
struct NumericElementSetup {
  ElementSetup setup;
  CollisionRange range;
  double mef = 0.0;
};
NumericElementSetup numericElementSetup(const MeisRun& run, const element& el);

struct NumericFrame {
  MeisRun run;  // with the spread
  bool convolve = false;
  bool scc = false;
  char decimalSeparator = '.';
};
// One element's spectrum from its table: the Poisson mixture over its profile, broadened and
// corrected; refused when the weighting is too large or the curve leaves the range of numbers.
MeisElementResult numericElementSpectrum(const NumericFrame& f, const std::string& name,
                                         const element& el, const profile& p,
                                         const std::vector<spectro>& table,
                                         const ModelRun& run = {});

struct NumericMeisInput {
  MeisTableParams tables;
  double spread = 0.0;  // eV FWHM
  bool convolve = false;
  bool scc = false;
  char decimalSeparator = '.';
  std::map<std::string, element> elements;
  std::map<std::string, profile> profiles;
};
struct NumericMeisResult {
  MeisTablePlan plan;  // Emin, Emax, step, # convolutions and vector size as shown
  // The tables built by this run (the others came from the cache), with their log entries.
  std::map<std::string, std::vector<TableEntry>> built;
  MeisSpectra spectra;  // an element whose Emin is below 0.1 eV has a refusal and no spectrum
};
// The spectra of every element in name order. Tables missing from the cache or built from other
// values are built (stage ModelStage::collisionTable per element) and put in the cache together
// once all are done: a stop or a refusal leaves the cache as it was.
NumericMeisResult numericMeisSpectra(const NumericMeisInput& in, MeisTableCache& cache,
                                     const ModelRun& run = {});

}  // namespace tarvex
