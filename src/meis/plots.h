// Ion-scattering plots (the total of all elements against detected energy) and the
// normalization of the element profiles.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/spectro.h"

namespace tarvex {

class Session;

// The plot spacing (eV): 10 with "Convolve" and a spread of at least 50 eV, else 1. A spread
// that is not a number counts as below 50 when asked to (the exports), else it stops the plot.
double meisPlotStep(Session& s, bool lenientSpread);

struct MeisTotal {
  double step = 10.0;     // eV
  long long first = 0;    // index of the first point (the window's lower end)
  std::vector<double> y;  // dose-scaled total plus background, points first, first+1, ...
  std::vector<double> e;  // their energies, keV
};
// The points of a model's total over the window "Min (keV)" .. "Max (keV)", as plotted.
MeisTotal meisTotal(Session& s, std::map<std::string, spectro>& spectra, bool lenientSpread);

// Draws the dose-scaled total of one model's spectra over the plotted window, with the
// background, into ChartPrinc.<series> (kept as the ion-scattering curve of the main chart) and
// ChartMEISSpec.<reportSeries>.
void plotMeisTotal(Session& s, std::map<std::string, spectro>& spectra, const std::string& series,
                   const std::string& reportSeries);
void PlotNumericMEIS(Session& s);
void PlotAnaliticMEIS(Session& s);
void PlotGaussianMEIS(Session& s);
void PlotNumericMEISExt(Session& s);
void NormalizeMEISProfiles(Session& s);

}  // namespace tarvex
