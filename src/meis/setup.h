// What the ion-scattering models share: the run parameters, the per-element kinematics and
// cross section, the single-collision energy range, the post-processing of a spectrum and the
// refusals of values that give no spectrum.
#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "core/collision_table.h"
#include "core/model.h"
#include "core/spectro.h"

namespace tarvex {

// The run parameters of the ion-scattering frame.
struct MeisRun {
  double e0 = 0.0;          // beam energy, keV
  double spread = 0.0;      // energy spread, eV FWHM
  double m1 = 0.0;          // projectile mass
  double z1 = 0.0;          // projectile Z
  double thetaIn = 0.0;     // degrees from the surface normal
  double thetaOut = 0.0;    // degrees from the surface normal
  double stopping = 0.0;    // eV/nm, as entered
  double straggling = 0.0;  // eV^2/nm, as entered
};

struct ElementSetup {
  double theta = 0.0;   // scattering angle, degrees
  double a = 0.0;       // M1/M2
  double k = 0.0;       // kinematic factor
  double fS = 0.0;      // stopping path factor
  double fW = 0.0;      // straggling path factor
  double dedxEf = 0.0;  // effective stopping, eV/A
  double sEf = 0.0;     // effective straggling, eV^2/A
  double sigma = 0.0;   // cross section
};

ElementSetup prepareElement(const element& el, const MeisRun& run);
// ((A cos(theta) + sqrt(1 - A^2 sin^2(theta))) / (A + 1))^2, A = m1/m2, theta in degrees.
double kinematicFactor(double m1, double m2, double theta);

// e0 in keV, stopping d in eV/A, straggling s in eV^2/A; 200 fixed-point steps for emin.
CollisionRange collisionEnergyRange(double e0, double m1, double d, double s);

// One element's spectrum as a model gives it: the setup it was computed with (what the log
// shows) and the spectrum, or the refusal that stopped it (then the spectrum is empty).
struct MeisElementResult {
  ElementSetup setup;
  spectro spectrum;
  std::string refusal;
};

// The spectra of a whole composition, by element name. A refusal of the run's values leaves
// no element; a refusal of one element's spectrum ends the run there (the elements before it
// are kept, as a command keeps the elements it published).
struct MeisSpectra {
  std::map<std::string, MeisElementResult> elements;
  std::string refusal;
};

// The message of a refusal thrown by body (std::invalid_argument), or empty.
template <typename Body>
std::string refusalOf(Body&& body) {
  try {
    body();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return {};
}

// Instrument broadening (when convolve) then the exponential single-collision correction
// (when scc), each only for a spectrum with a non-zero integral. Throws std::invalid_argument,
// naming "Energy Spread (eV):", for a spread whose broadening would reach far beyond the
// spectrum's window.
void postProcess(spectro& spectrum, double spread, double sigmaScc, bool convolve, bool scc,
                 char sep);
// That refusal of a spread for a spectrum's window (empty when acceptable).
std::string spreadReachRefusal(const spectro& spectrum, double spread, char sep);

// What cannot be scattered back into the detector, naming the field or the element: an angle of
// incidence or exit of 90 degrees or more, a projectile mass that is not positive, or one not
// lighter than an element of the composition unless it is scattered forward at an angle it can
// reach. Empty when the geometry is sound.
std::string geometryRefusal(const MeisRun& run, const std::map<std::string, element>& elements,
                            char sep);
// "<caption> <value> must be positive" (with zeroAllowed "... must not be negative") for a value
// out of that range or not a number; empty for an acceptable value.
std::string positiveRefusal(const char* field, double v, bool zeroAllowed, char sep);
// An "Ion energy (keV):" that is not positive: no ion reaches any depth, the cross section has
// no value and the elastic edge lies at or below zero.
std::string ionEnergyRefusal(const MeisRun& run, char sep);
// The first of "Ion energy (keV):", "dE/dx: (eV/nm)" and "dW^2/dx: (eV^2/nm)" that is not
// positive, in the words of positiveRefusal; empty when all three are. Without all three
// positive no collision range exists.
std::string lossParameterRefusal(const MeisRun& run, char sep);
// With convolve: an "Energy Spread (eV):" that is negative or not a number.
std::string spreadRefusal(const MeisRun& run, bool convolve, char sep);
// The bins of 10 eV of the closed-form grid of Delta E (keV): ceil(Delta E * 1000 / 10).
double closedFormBinCount(double deltaE);
// A "Delta E (keV):" that gives fewer than one bin of 10 eV or more than the largest grid.
std::string closedFormBinsRefusal(double deltaE, char sep);

}  // namespace tarvex
