// Resonant NRA plots: excitation curves and measured points into the main and report charts.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "core/cancel.h"
#include "core/spectro.h"

namespace tarvex {

class Session;

// Draws an excitation curve (abscissa: energy loss in eV) at beam energies E_R + loss, with the
// dose applied and the background added, into ChartPrinc.<series> and ChartNRPSpec.<series>.
void plotExcitation(Session& s, const spectro& curve, const std::string& series);
// With "Convolve" checked and a non-zero curve: the resonance Lorentzian (the FWHM edit used
// as half width, as the program always did), then the beam Gaussian, with their status texts.
// Works on a copy: the curve is replaced only once both broadenings are complete.
void broadenExcitation(Session& s, spectro& curve, double resonanceWidth, double beamSpread);
// With "Convolve" checked: refuses a resonance width or beam spread that is negative or not a
// number, naming its field ("Resonance FWHM (eV):", "Gaussian spread (eV):").
void checkExcitationWidths(Session& s, double resonanceWidth, double beamSpread);
// With "Convolve" checked: refuses widths that would grow a curve of `bins` bins of `step` eV
// beyond the largest grid.
void checkBroadenedSize(Session& s, int bins, double step, double resonanceWidth,
                        double beamSpread);

void PlotNumericExcitation(Session& s);
void PlotAnaliticExcitation(Session& s);
void PlotExp(Session& s);

}  // namespace tarvex
