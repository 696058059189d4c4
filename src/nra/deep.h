// Resonance profiling through a stack of layers: the beam slows down with the stopping at its
// current energy, its energy distribution widens by Gaussian straggling (with the squeezing or
// stretching that an energy-dependent stopping brings), the thermal motion of the target atoms
// broadens the reaction energy (Doppler), and the yield at each depth is the cross section
// averaged over the beam's energy distribution there, weighted by the reacting nuclide's
// concentration.
//
// Units: energies in eV inside, beam energies of the curve in keV; depths in 1e15 atoms/cm^2
// (areal density) and Å; stopping in eV/Å, straggling variance per path in eV^2/Å.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/model.h"
#include "core/spectro.h"
#include "core/stopping_calc.h"

namespace tarvex {

// The energy loss of the beam in one layer: stopping and straggling against the beam energy,
// tabulated (log-log interpolation between the points), or constant.
struct LayerLoss {
  std::vector<double> energyEv;     // increasing; empty for constant values
  std::vector<double> stopping;     // eV/Å
  std::vector<double> straggling;   // eV^2/Å
  double constantStopping = 0.0;    // eV/Å, when energyEv is empty
  double constantStraggling = 0.0;  // eV^2/Å
  std::string source;               // where the values come from

  double stoppingAt(double eEv) const;
  double stragglingAt(double eEv) const;
  // dS/dE at eEv (per Å), 0 for constant values.
  double stoppingSlopeAt(double eEv) const;
};

// Tabulates a layer's loss from the stopping data: `points` energies spaced evenly in log between
// loKeV and hiKeV (clamped to the data's range). Throws std::invalid_argument as computeStopping.
LayerLoss tabulatedLayerLoss(const StoppingSources& sources, const StoppingRequest& sample,
                             double loKeV, double hiKeV, int points = 160);

struct DeepLayer {
  std::string name;
  double arealDensity = 0.0;  // 1e15 atoms/cm^2
  double atomsPerCm3 = 0.0;   // the layer's atomic density (turns areal density into Å)
  // The atomic fraction of the reacting nuclide in the layer, and optionally its shape inside
  // the layer: relative concentrations at depths (Å from the top of the layer), linear between
  // points and constant beyond the last (empty: constant).
  double reactingFraction = 0.0;
  std::vector<std::pair<double, double>> profile;
  LayerLoss loss;

  double thicknessAngstrom() const { return arealDensity / (atomsPerCm3 * 1e-23); }
  double fractionAt(double depthAngstrom) const;
};

// The reaction's cross section against the beam energy.
struct CrossSection {
  enum class Kind { Lorentzian, BreitWigner, Table };
  Kind kind = Kind::Lorentzian;
  double resonanceKeV = 0.0;
  double widthEv = 0.0;  // full width at half maximum
  double peak = 1.0;     // the Breit-Wigner's peak (mb or mb/sr); the Lorentzian's is 1
  std::vector<double> tableKeV, tableSigma;  // Kind::Table: linear between points, 0 outside
  std::string units = "relative";            // "mb", "mb/sr" or "relative"

  double at(double eEv) const;
  // The energies (eV) where the cross section lives: where the table has values, or the
  // resonance +- 40 widths.
  std::pair<double, double> supportEv() const;
};

// Thermal broadening of the reaction energy: the free-gas Gaussian of variance
// 2 E kT m1 / M2 at beam energy E, with kT from the temperature, or from the Debye model's
// effective temperature when a Debye temperature is given (Lamb's).
struct Doppler {
  double temperatureK = 0.0;  // 0: no Doppler broadening
  double debyeK = 0.0;        // 0: the free gas
  double projectileMassU = 1.007276;
  double targetMassU = 0.0;

  double effectiveTemperature() const;
  // Standard deviation (eV) at beam energy eEv.
  double sigmaAt(double eEv) const;
};

// Lamb's effective temperature of a Debye solid: 3 T (T/theta)^3 * integral over 0..theta/T of
// x^3 (1/(e^x - 1) + 1/2) dx.
double debyeEffectiveTemperature(double temperatureK, double debyeK);

// Near the surface the beam has made few collisions and its energy loss is far from Gaussian: a
// Poisson number of single collisions, each losing between Emin and Emax with a 1/E^2 law
// (the numeric model's table of n-fold distributions, built from the top layer's stopping and
// straggling at the resonance). With these statistics on, the curve at a beam energy that meets
// the resonance within a quarter of the hand-over loss uses that distribution down to the
// hand-over depth (mean collisions mu_h) and the Gaussian beyond; a beam energy that meets it
// beyond half the hand-over loss uses the Gaussian everywhere; between, the two curves are
// blended with a smooth step in the beam energy. Each curve is a whole model at every depth (the
// two share mean and variance at every depth), so a thick layer's plateau is the same in both
// and the blend leaves it alone. mu_h = nc - 6 sqrt(nc), nc the table's collisions (the Poisson
// weight beyond the table is below 1e-8 there), or less where the table's grid ends within 8
// standard deviations of the mixture's mean loss.
struct SurfaceCollisions {
  bool on = false;
  double lossKeV = 30.0;  // the loss the table reaches (sets nc and the hand-over)
};

struct DeepNraInput {
  std::vector<DeepLayer> layers;  // from the surface down
  SurfaceCollisions surface;
  CrossSection crossSection;
  Doppler doppler;
  double beamFwhmEv = 0.0;
  double e0MinKeV = 0.0, e0MaxKeV = 0.0, e0StepEv = 0.0;  // the beam energies of the curve
  // The depth step is chosen so that the mean beam energy changes by at most this fraction of
  // the current width of the beam's energy distribution combined with the resonance (and never
  // more than maxStepEv); halving it changes the curve by less than 1e-4 of its peak.
  double widthFraction = 0.1;
  double maxStepEv = 2000.0;
  // A relative cross section (a Lorentzian): the yield in Å of the reacting nuclide per keV, the
  // curve's area the nuclide's thickness in Å. Absolute units: the yield per incident charge and
  // solid angle (counts per µC and msr) for a cross section in mb/sr, with `chargeState` the ion's
  // charge. Otherwise per incident ion (and per sr), or relative for a relative cross section.
  bool perMicroCoulombMsr = false;
  int chargeState = 1;
};

struct DeepNraResult {
  std::vector<double> energyKeV;  // beam energies
  std::vector<double> yield;
  std::string yieldUnit;
  // Mean beam energy (keV) and its standard deviation (eV) on arriving at the top of each layer
  // and at the bottom of the last, for the highest beam energy of the curve.
  std::vector<double> layerTopEnergyKeV, layerTopSigmaEv;
  int depthSteps = 0;  // depth steps of the highest beam energy
  // The single-collision model near the surface: collisions per Å, the depth (Å) where the
  // Gaussian takes over completely, the table's collisions; zero when not used.
  double collisionsPerAngstrom = 0.0;
  double handOverDepth = 0.0;
  int tableCollisions = 0;
};

// Throws std::invalid_argument naming what is wrong: no layers, a layer without density or
// thickness, a fraction outside 0..1, a temperature below 0, no beam energies, a cross section
// without width or table; and when no beam energy of the curve reaches the cross section in a
// layer holding the nuclide. Cancellable; reports stage `curve` with advance over beam energies.
DeepNraResult deepExcitationCurve(const DeepNraInput& in, const ModelRun& run = {});

}  // namespace tarvex
