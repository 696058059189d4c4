// What the ion-scattering models share: the run parameters, the per-element kinematics and
// cross section, the single-collision energy range, post-processing and the element log.
#pragma once

#include <exception>
#include <map>
#include <new>
#include <stdexcept>
#include <string>

#include "core/cancel.h"

#include "core/collision_table.h"
#include "core/spectro.h"
#include "state/working_state.h"

namespace tarvex {

class Session;

// The run parameters, read from the ion-scattering frame at the start of a run.
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

// Reads E0, the angles, stopping and straggling from TFMEIS, in that order.
MeisRun readBeamAndSample(Session& s);
// The same, then the spread and the projectile.
MeisRun readMeisRun(Session& s);
// Re-reads the projectile mass and Z (each element reads them anew).
void readProjectile(Session& s, MeisRun& run);

// Instrument broadening (when "Convolve" is on) then the exponential single-collision
// correction (when "SCC" is on), each only for a spectrum with a non-zero integral.
// Refuses, naming "Energy Spread (eV):", a spread whose broadening would reach far beyond the
// spectrum's window (checkGaussianReach).
void checkSpreadReach(Session& s, const spectro& spectrum, double spread);
void postProcess(Session& s, spectro& spectrum, double spread, double sigmaScc);

// "Element: ", "ki: ", "DEDXef: ", "Sef: " lines of an element's log block (no trailing line).
void logElement(Session& s, const std::string& name, const ElementSetup& e);

// Adds the editor's element when the composition is empty; returns whether it did.
bool ensureComposition(Session& s);

// Refuses, naming the field or the element, what cannot be scattered back into the detector: an
// angle of incidence or exit of 90 degrees or more, a projectile mass that is not positive, or
// one not lighter than an element of the composition unless it is scattered forward at an angle
// it can reach.
void checkGeometry(Session& s, const MeisRun& run, const std::map<std::string, element>& elements);
// "<caption> <value> must be positive" (with zeroAllowed "... must not be negative") for a value
// out of that range or not a number; empty for an acceptable value.
std::string positiveRefusal(const char* field, double v, bool zeroAllowed, char sep);
// Refuses such a value in those words.
void checkPositive(Session& s, const char* field, double v, bool zeroAllowed);
// Refuses an "Ion energy (keV):" that is not positive: no ion reaches any depth, the cross
// section has no value and the elastic edge lies at or below zero.
void checkIonEnergy(Session& s, const MeisRun& run);
// The first of "Ion energy (keV):", "dE/dx: (eV/nm)" and "dW^2/dx: (eV^2/nm)" that is not
// positive, in the words of checkPositive; empty when all three are. Without all three positive
// no collision range exists.
std::string lossParameterRefusal(const MeisRun& run, char sep);
// With "Convolve" on: refuses an "Energy Spread (eV):" that is negative or not a number.
void checkSpread(Session& s, const MeisRun& run);
// Refuses a "Delta E (keV):" that gives fewer than one bin of 10 eV or more than the largest
// grid; returns the bin count ceil(Delta E * 1000 / 10).
int closedFormBins(Session& s, double deltaE);

}  // namespace tarvex
