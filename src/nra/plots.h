// Resonant NRA plots: excitation curves and measured points into the main and report charts.
#pragma once

#include <string>

#include "core/spectro.h"

namespace tarvex {

class Session;

// Draws an excitation curve (abscissa: energy loss in eV) at beam energies E_R + loss, with the
// dose applied and the background added, into ChartPrinc.<series> and ChartNRPSpec.<series>.
void plotExcitation(Session& s, const spectro& curve, const std::string& series);
void PlotNumericExcitation(Session& s);
void PlotAnaliticExcitation(Session& s);
void PlotExp(Session& s);

}  // namespace tarvex
