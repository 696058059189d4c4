// Resonant NRA plots: excitation curves and measured points into the main and report charts.
#pragma once

#include <string>

#include "core/spectro.h"

namespace tarvex {

class Session;

// Draws an excitation curve (abscissa: energy loss in eV) at beam energies E_R + loss, with the
// dose applied and the background added, into ChartPrinc.<series> and ChartNRPSpec.<series>.
void plotExcitation(Session& s, const spectro& curve, const std::string& series);
// With "Convolve" checked and a non-zero curve: the resonance Lorentzian (the FWHM edit used
// as half width, as the program always did), then the beam Gaussian, with their status texts.
void broadenExcitation(Session& s, spectro& curve, double resonanceWidth, double beamSpread);
void PlotNumericExcitation(Session& s);
void PlotAnaliticExcitation(Session& s);
void PlotExp(Session& s);

}  // namespace tarvex
