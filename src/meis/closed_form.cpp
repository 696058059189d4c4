// The closed-form ion-scattering models: Gaussian (mean loss and straggling only) and Bessel
// (compound Poisson with exponentially distributed single losses).
#include <cmath>
#include <span>
#include <stdexcept>

#include "core/cancel.h"
#include "core/collision_table.h"
#include "core/numtext.h"
#include "core/physics.h"
#include "meis/closed_form.h"
#include "meis/depth_sum.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {
namespace {

spectro zeroGrid(int bins) {
  spectro z(bins, 10.0);
  return z;
}

// The inputs of a closed-form run, read in the order the models have always read them.
struct ClosedFormParams {
  MeisRun run;
  double deltaE = 0.0;  // keV
  int bins = 0;         // of 10 eV
};

ClosedFormParams readClosedFormParams(Session& s, bool gaussian) {
  ClosedFormParams p;
  p.run = readBeamAndSample(s);
  // The Gaussian model reads the spread only with "Convolve" on (it is part of its density).
  if (!gaussian || s.controls().checked("TFOptions.CheckConv")) {
    p.run.spread = s.number("TFMEIS.EditGauss");
  }
  readProjectile(s, p.run);
  p.deltaE = s.number("TFMEIS.EditDeltaE");
  p.bins = closedFormBins(s, p.deltaE);
  return p;
}

// Every occupied depth point costs one density per bin, for every element.
void checkClosedFormWork(Session& s, const ClosedFormParams& p) {
  const WorkingState& st = s.state();
  double occupied = 0.0;
  for (const auto& [name, el] : st.elementMap) {
    const auto it = st.elementProfiles.find(name);
    if (it == st.elementProfiles.end()) continue;
    for (int i = 0; i < it->second.count; ++i)
      occupied += it->second.values[static_cast<std::size_t>(i)] != 0.0 ? 1.0 : 0.0;
  }
  const double work = occupied * p.bins;
  if (work > kMaxLossEvaluations) {
    const char sep = s.decimalSeparator();
    throw std::invalid_argument(
        "Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) + " on profiles of " +
        formatGeneral(occupied, 15, sep) + " occupied points needs " + formatGeneral(work, 3, sep) +
        " loss densities; the limit is " + formatGeneral(kMaxLossEvaluations, 3, sep) +
        " (a larger profile step or a smaller Delta E brings it down)");
  }
}

void gaussianMeis(Session& s) {
  WorkingState& st = s.state();
  ensureComposition(s);
  const ClosedFormParams p = readClosedFormParams(s, true);
  const MeisRun& run = p.run;
  // Checked in the order the fields are read; nothing has changed yet.
  checkIonEnergy(s, run);
  checkGeometry(s, run, st.elementMap);
  // A stopping that is not positive puts the deeper layers at or above the surface edge.
  checkPositive(s, "dE/dx: (eV/nm)", run.stopping, false);
  // Zero straggling is sound here: the beam spread keeps every Gaussian finite.
  checkPositive(s, "dW^2/dx: (eV^2/nm)", run.straggling, true);
  checkSpread(s, run);
  // The beam spread is part of the loss density here (keV, standard deviation); with
  // "Convolve" off it is a 0.001 eV spike.
  const double sb = s.controls().checked("TFOptions.CheckConv") ? run.spread * 0.0004246645150331238
                                                                : 0.001 * 0.0004246645150331238;
  s.Updateplot();
  checkClosedFormWork(s, p);
  s.SetStatus("Gaussian calculation...");
  s.eventPoint();
  for (const auto& [name, el] : st.elementMap) {
    s.eventPoint();
    checkCancel();
    ElementSetup e = prepareElement(el, run);
    e.sEf = run.straggling * 0.0001 * e.fW;  // keV^2 per 1000 A in this model
    const double m = 0.02 * run.e0;          // margin above the edge, keV
    const int bins = p.bins;
    s.logAppend("Gaussian Calculation: \n");
    logElement(s, name, e);
    s.logAppend("\n\n");
    const profile& prof = st.elementProfiles[name];
    const double h = prof.step;
    spectro sp = zeroGrid(bins);
    sp.values = depthSum(prof, bins, h * e.sigma, [&](int i, double c, int j) {
      const double x = h * i * 0.001;
      const double u = j * 1.0 / 10.0 / 10.0;
      return gaussianLoss(u, sb, e.sEf, e.dedxEf, x, m) * c;
    });
    sp.offset = 1000.0 * e.k * run.e0 + 1000.0 * m;
    if (s.controls().checked("TFMEIS.CheckSCCorr") && sp.integral() != 0.0) {
      sp.convolveExponential(1.0 / el.sigma);
    }
    requireFiniteCurve(s, sp, "The Gaussian spectrum of " + name, prof);
    st.gaussianSpectra[name] = std::move(sp);
    s.eventPoint();
    PlotGaussianMEIS(s);
  }
  s.SetStatus("Gaussian calculation ready");
}

void besselMeis(Session& s) {
  WorkingState& st = s.state();
  ensureComposition(s);
  const ClosedFormParams p = readClosedFormParams(s, false);
  const MeisRun& run = p.run;
  checkIonEnergy(s, run);
  checkGeometry(s, run, st.elementMap);
  // Both set the mean loss per collision: without them the density has no meaning.
  checkPositive(s, "dE/dx: (eV/nm)", run.stopping, false);
  checkPositive(s, "dW^2/dx: (eV^2/nm)", run.straggling, false);
  checkSpread(s, run);
  // The spectra's window is known: a spread far beyond it is refused before anything is done.
  if (s.controls().checked("TFOptions.CheckConv"))
    checkSpreadReach(s, zeroGrid(p.bins), run.spread);
  s.Updateplot();
  checkClosedFormWork(s, p);
  s.SetStatus("Bessel calculation...");
  s.eventPoint();
  for (const auto& [name, el] : st.elementMap) {
    s.eventPoint();
    checkCancel();
    const ElementSetup e = prepareElement(el, run);
    const double beta = e.dedxEf * 2000.0 / e.sEf;  // 1/keV: inverse mean loss per collision
    const double nu = e.dedxEf * beta;              // collisions per 1000 A
    s.logAppend("Bessel Calculation: \n");
    logElement(s, name, e);
    s.logAppend("\n\n");
    const int bins = p.bins;
    const profile& prof = st.elementProfiles[name];
    const double h = prof.step;
    spectro sp = zeroGrid(bins);
    sp.values = depthSumRows(prof, bins, h * e.sigma, [&](int i, double c, std::span<float> row) {
      const double lambda = nu * (h * i * 0.001);
      row[0] = static_cast<float>((std::exp(-lambda) * c) * 10.0 * 10.0);
      besselLossRow(c, lambda, beta, 1.0, row);
    });
    sp.offset = e.k * run.e0 * 1000.0;
    postProcess(s, sp, run.spread, el.sigma);
    requireFiniteCurve(s, sp, "The Bessel spectrum of " + name, prof);
    st.besselSpectra[name] = std::move(sp);
    s.eventPoint();
    PlotAnaliticMEIS(s);
  }
  s.SetStatus("Bessel calculation ready!");
}

}  // namespace

void CalcGaussianMEIS(Session& s) {
  runEngineCommand(s, "Gaussian calculation ERROR!", "the Gaussian spectra",
                   [&] { gaussianMeis(s); });
}

void CalcAnaliticMEIS(Session& s) {
  runEngineCommand(s, "Bessel calculation ERROR!", "the Bessel spectra", [&] { besselMeis(s); });
}

}  // namespace tarvex
