// The ion-scattering frame's fields as the models' inputs: per model one reader, reading the
// fields in the order the user sees them refused (a field that does not convert stops the
// command with its message).
#pragma once

#include <string>

#include "meis/closed_form.h"
#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {

// E0, the angles, stopping and straggling, in that order.
MeisRun readBeamAndSample(Session& s);
// The same, then the spread and the projectile.
MeisRun readMeisRun(Session& s);
// The projectile mass and Z.
void readProjectile(Session& s, MeisRun& run);

// The Gaussian model reads the spread only with "Convolve" on (it is part of its density);
// "Delta E (keV):" comes last.
ClosedFormFrame readClosedFormFrame(Session& s, bool gaussian);

// "Ion energy", "Delta E", the two angles, "dE/dx", "dW^2/dx", the projectile's mass and Z,
// "Auto Mode", and in manual mode "Step size", "# Convolutions:" and "Vector size:".
MeisTableParams readMeisTableParams(Session& s);
// The run with its spread (readMeisRun) and the options.
NumericFrame readNumericFrame(Session& s);

// The two angles, "Nc:", "Delta E (keV):", the projectile mass and "Density", in this order.
ExtTableParams readExtTableParams(Session& s);
// "Ion energy", the angles, the spread and the projectile, with the options (the density is the
// tables' reader's).
ExternalFrame readExternalFrame(Session& s);

// The dose, the spread (for the plot step), "Min (keV)" and "Max (keV)", and the background;
// refuses, naming both fields as typed, a window of more points than a grid holds. A spread
// that is not a number counts as below 50 when asked to (the exports), else it stops the plot.
MeisPlotWindow readMeisPlotWindow(Session& s, bool lenientSpread);

// The whole input of each model: its frame's fields, the composition and the element profiles.
ClosedFormInput readClosedFormInput(Session& s, bool gaussian);
NumericMeisInput readNumericMeisInput(Session& s);
// With the cross section read from the file the "External cross section" window names, and the
// SCC file's correction when "SCC" asks for it (in meis_external.cpp, with the files' reading).
ExternalMeisInput readExternalMeisInput(Session& s);
// The cross section of that file on the grid of the tables p describes; throws what is wrong
// with the file, and leaves a notice on what it left out in *notice.
CrossSectionTable readCrossSectionFile(Session& s, const ExtTableParams& p, std::string* notice);
// The SCC file's correction on a grid of `bins` bins of `step` eV, with the window's shift.
SccCorrection readSccCorrection(Session& s, int bins, double step);

// Throws a refusal of a model as the message the user sees (nothing for an empty one).
void refuse(const std::string& refusal);

}  // namespace tarvex
