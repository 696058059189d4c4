// Ion-scattering plots (the total of all elements against detected energy) and the
// normalization of the element profiles.
#pragma once

#include <map>
#include <string>

#include "core/spectro.h"

namespace tarvex {

class Session;

// Draws the dose-scaled total of one model's spectra over the plotted window, with the
// background, into ChartPrinc.<series> and (when reportSeries is not empty) ChartMEISSpec.<...>.
void plotMeisTotal(Session& s, std::map<std::string, spectro>& spectra, const std::string& series,
                   const std::string& reportSeries);
void PlotNumericMEIS(Session& s);
void PlotAnaliticMEIS(Session& s);
void PlotGaussianMEIS(Session& s);
void PlotNumericMEISExt(Session& s);
void NormalizeMEISProfiles(Session& s);

}  // namespace tarvex
