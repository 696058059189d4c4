// What both resonant NRA models share: the broadening of an excitation curve by the resonance
// and the beam, and its energy axis.
#pragma once

#include <string>

#include "core/model.h"
#include "core/spectro.h"

namespace tarvex {

struct ExcitationBroadening {
  bool convolve = true;         // broaden at all
  double resonanceWidth = 0.0;  // eV, used as the Lorentzian's half width
  double beamSpread = 0.0;      // eV FWHM of the beam's Gaussian
};

// Refuses (std::invalid_argument) a resonance width or beam spread that is negative or not a
// number, naming its field ("Resonance FWHM (eV):", "Gaussian spread (eV):"). Numbers use sep.
void checkExcitationWidths(const ExcitationBroadening& b, char sep = '.');
// Refuses widths that would grow a curve of `bins` bins of `step` eV beyond the largest grid or
// reach far beyond its window.
void checkBroadenedSize(const ExcitationBroadening& b, int bins, double step, char sep = '.');

// With convolve on and a non-zero curve: checks the widths, then broadens by the resonance's
// Lorentzian and the beam's Gaussian (stages lorentzian and gaussian). Works on a copy: the
// curve is replaced only once both broadenings are complete.
void broadenExcitationCurve(spectro& curve, const ExcitationBroadening& b, const ModelRun& run = {},
                            char sep = '.');

// The beam energy (keV) of bin i of an excitation curve: the resonance plus the bin's loss.
inline double excitationEnergy(const spectro& curve, int i, double resonanceKeV) {
  return resonanceKeV + (i * curve.step - curve.offset) * 0.001;
}

}  // namespace tarvex
