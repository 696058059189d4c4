// The working state of a run: everything besides the controls that the calculations, plots,
// file commands and editors read and write.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/physics.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "core/weights_cache.h"
#include "state/host.h"
#include "state/packed_values.h"

namespace tarvex {

// One measured point: energy (keV) and counts, in single precision.
struct datapoint {
  float x = 0.0f;
  float y = 0.0f;
};

// Indices of paramValues.
namespace param {
enum : int {
  background = 1,
  energyShift = 2,
  ionDose = 3,
  nraResonanceEnergy = 4,
  nraMaxEnergy = 5,
  nraResonanceFwhm = 6,
  nraBeamSpread = 7,
  nraStoppingPower = 8,
  nraStraggling = 9,
  nraThickness = 10,
  nraContamination = 11,
  nraProfileMax = 12,
  nraErfcMax = 13,
  nraErfcSigma = 14,
  nraLineX1 = 15,
  nraLineX2 = 16,
  nraLineC1 = 17,
  nraLineC2 = 18,
  nraStep = 19,
  nraConvolutions = 20,
  nraVectorSize = 21,
  meisIonEnergy = 22,
  meisDeltaE = 23,
  meisEnergySpread = 24,
  meisProjectileMass = 25,
  meisProjectileZ = 26,
  meisThetaIn = 27,
  meisThetaOut = 28,
  meisStoppingPower = 29,
  meisStraggling = 30,
  meisThickness = 31,
  meisContamination = 32,
  meisProfileMax = 33,
  meisProfileStep = 34,
  meisErfcMax = 35,
  meisErfcSigma = 36,
  meisLineX1 = 37,
  meisLineX2 = 38,
  meisLineC1 = 39,
  meisLineC2 = 40,
  meisStep = 41,
  meisConvolutions = 42,
  meisVectorSize = 43,
  meisSimMin = 44,
  meisSimMax = 45,
};
}  // namespace param

// Indices of optionFlags.
namespace flag {
enum : int {
  rememberSettings = 1,
  modeNra = 2,
  modeMeis = 3,
  modelBessel = 4,
  modelNumeric = 5,
  convolveEnabled = 6,
  nraAuto = 7,
  meisAuto = 8,
  meisScc = 9,
  modelGaussian = 10,
  modelExternalCs = 11,
};
}  // namespace flag

// The control that mirrors each slot of paramValues (empty for reserved slots).
extern const std::array<const char*, 60> kParamControls;
// The control that mirrors each slot of optionFlags (empty for reserved slots).
extern const std::array<const char*, 15> kFlagControls;

// Which profile the sample window shows and edits: the NRA profile, or one element's profile.
struct ProfileRef {
  bool nra = true;
  std::string element;
};

struct WorkingState {
  std::string startDirectory;
  ProfileRef currentProfile;
  std::vector<datapoint> measuredPoints;
  // The mode the measured points were loaded in: the one whose chart and report show them.
  bool measuredInNraMode = true;
  std::array<double, 60> paramValues{};
  std::array<double, 50> paramSnapshot{};
  std::array<double, 15> optionFlags{};
  bool nraAutoValid = false;
  bool meisAutoValid = false;
  bool meisExtAutoValid = false;
  profile nraProfile = defaultProfile();
  // The NRA profile as the last resonant calculation found it, for "Undo"; packed, since most
  // of a drawn profile is plateaus and the zeros past the film.
  PackedProfile undoProfile;
  std::vector<spectro> nraLossDistributions;
  std::array<profile, 10> profileBuffers;
  spectro numericExcitation;
  spectro analyticExcitation;
  // The last curve of a layered target (drawn in the numeric series under its own name).
  spectro layeredExcitation;
  // The cross section of a layered target read from an R33 file: energies (keV), values, units.
  std::vector<double> targetXsKeV, targetXsSigma;
  std::string targetXsUnits;
  // The flat zero line the background window's design values give, so that a plot drawn
  // before any "Update Background" has no background rather than a line through one point.
  backgroundLine meisBackgroundLine{0.0, 0.0, 1.0, 0.0};
  backgroundLine nraBackgroundLine{0.0, 0.0, 1.0, 0.0};
  std::map<std::string, element> elementMap;
  std::map<std::string, profile> elementProfiles;
  std::map<std::string, spectro> besselSpectra;
  std::map<std::string, spectro> numericSpectra;
  std::map<std::string, spectro> extCsSpectra;
  std::map<std::string, spectro> gaussianSpectra;
  std::map<std::string, std::vector<spectro>> numericLossDistributions;
  // One table for all elements (every element reads the same cross-section file): shared, never
  // changed in place; a rebuild replaces it.
  std::map<std::string, std::shared_ptr<const std::vector<spectro>>> extCsLossDistributions;
  spectro extCsDistribution;
  // What each collision table was built from (the validity flags above say whether the last
  // build succeeded; a table is used only while its key also matches).
  TableKey nraTableKey;
  // The Poisson weights of the last profile the numeric excitation curve was calculated over.
  CollisionWeightsCache nraWeights;
  std::map<std::string, TableKey> numericTableKeys;
  std::map<std::string, TableKey> extCsTableKeys;
  // The data file last chosen (shown in the report even when it failed to load), the file the
  // measured points on the chart were read from, and the name the curve-file dialog proposes
  // next.
  std::string lastDataFile;
  std::string measuredDataFile;
  std::string exportFileName;
};

}  // namespace tarvex
