// The plotted total of an ion-scattering model: the dose-scaled sum of the element spectra over
// the window of detected energies, with the background line.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/physics.h"
#include "core/spectro.h"

namespace tarvex {

// The plot spacing (eV): 10 with convolve and a spread of at least 50 eV, else 1 (sharp spectra
// get a finer spacing).
double meisPlotStep(bool convolve, double spread);

// What a plot of the total is drawn from.
struct MeisPlotWindow {
  double dose = 1.0;   // "Ion dose:"
  double step = 10.0;  // eV, meisPlotStep
  int min = 0;         // keV: the window's lower end
  int max = 0;         // keV: the window ends one step below it
  backgroundLine background;
};
// Whether the window has at most kMaxGridPoints points on either side of zero.
bool meisWindowFits(const MeisPlotWindow& w);

struct MeisTotal {
  double step = 10.0;     // eV
  long long first = 0;    // index of the first point (the window's lower end)
  std::vector<double> y;  // dose-scaled total plus background, points first, first+1, ...
  std::vector<double> e;  // their energies, keV
};
// The total of the spectra of the composition's elements (an element without a spectrum adds
// nothing; spectra of other names are not drawn) at the energies first*step .. (n-1)*step of
// the window, scaled by the dose, plus the background. A window that does not fit has no
// points.
MeisTotal meisTotal(const MeisPlotWindow& w, const std::map<std::string, element>& elements,
                    const std::map<std::string, spectro>& spectra);

}  // namespace tarvex
