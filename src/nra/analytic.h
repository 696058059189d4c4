// The analytic ("Bessel") resonant NRA excitation curve: a compound Poisson loss with
// exponentially distributed single losses, weighted by the depth profile.
#pragma once

#include "core/model.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "nra/excitation.h"

namespace tarvex {

// The unbroadened curve: n = ceil(emaxKeV*1000/10) bins of 10 eV, single-precision values.
// s in eV/A (keV per 1000 A), omega such that omega^2 is the loss variance per 1000 A in keV^2.
spectro analyticExcitationCurve(const profile& p, double emaxKeV, double s, double omega);

// Bins of the curve for a highest loss of emaxKeV: ceil(emaxKeV * 1000 / 10).
double analyticBins(double emaxKeV);

// What the analytic excitation curve is calculated from.
struct NraAnalyticInput {
  double maxEnergy = 0.0;   // keV, the highest loss of the curve
  double stopping = 0.0;    // eV/A
  double straggling = 0.0;  // sqrt(keV^2 per 1000 A)
  ExcitationBroadening broadening;
  profile depth;  // the resonant nuclide's concentration over depth
};

// Refuses (std::invalid_argument, numbers with sep) what has no loss distribution or no grid,
// and broadening widths without a meaning, in that order.
void checkAnalyticInput(const NraAnalyticInput& in, char sep = '.');
// Refuses a profile whose occupied points need more loss densities than allowed.
void checkAnalyticWork(const NraAnalyticInput& in, char sep = '.');

// The whole model: checks, the curve, its broadening. Stages curve, lorentzian, gaussian.
spectro analyticExcitation(const NraAnalyticInput& in, const ModelRun& run = {}, char sep = '.');

}  // namespace tarvex
