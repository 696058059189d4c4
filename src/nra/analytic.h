// The analytic ("Bessel") resonant NRA excitation curve: a compound Poisson loss with
// exponentially distributed single losses, weighted by the depth profile.
#pragma once

#include "core/profile.h"
#include "core/spectro.h"

namespace tarvex {

class Session;

// The unbroadened curve: n = ceil(emaxKeV*1000/10) bins of 10 eV, single-precision values.
// s in eV/A (keV per 1000 A), omega such that omega^2 is the loss variance per 1000 A in keV^2.
spectro analyticExcitationCurve(const profile& p, double emaxKeV, double s, double omega);

// Bins of the curve for a highest loss of emaxKeV: ceil(emaxKeV * 1000 / 10).
double analyticBins(double emaxKeV);

void CalcAnaliticExcitation(Session& session);

}  // namespace tarvex
