// The curves the layered fit compares with measured counts, from the models' results: the
// fitted quantity at dose 1 without background, over the energies the program draws.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "fit/fit.h"
#include "meis/plots.h"
#include "meis/setup.h"

namespace tarvex {

// An excitation curve over beam energy: the resonance plus each bin's loss.
FitCurve excitationFitCurve(const spectro& curve, double resonanceKeV);

// The total of ion-scattering spectra over the plotted window at dose 1 without background (the
// window's step follows the spread as the plot's does). A refusal of the spectra is thrown as
// std::invalid_argument.
FitCurve meisFitCurve(const MeisSpectra& spectra, MeisPlotWindow window,
                      const std::map<std::string, element>& elements, bool convolve, double spread);

// The fit's profiles (one per element, in the composition's order) by element name.
std::map<std::string, profile> profilesByElement(std::vector<profile> profiles,
                                                 const std::map<std::string, element>& elements);

}  // namespace tarvex
