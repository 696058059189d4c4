// The closed-form ion-scattering models: Gaussian (mean loss and straggling only) and Bessel
// (compound Poisson with exponentially distributed single losses).
#include <cmath>
#include <stdexcept>

#include "core/numtext.h"
#include "core/physics.h"
#include "meis/closed_form.h"
#include "meis/depth_sum.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {
namespace {

int lossBins(Session& s) {
  // Re-read for every element: ceil(Delta E * 1000 / 10) bins of 10 eV.
  const double deltaE = s.number("TFMEIS.EditDeltaE");
  const double bins = std::ceil(deltaE * 1000.0 / 10.0);
  if (!(bins >= 0.0) || bins > 5.0e7) {
    throw std::invalid_argument("Delta E of " + formatGeneral(deltaE) +
                                " keV gives no usable energy grid");
  }
  return static_cast<int>(bins);
}

spectro zeroGrid(int bins) {
  spectro z(bins, 10.0);
  return z;
}

}  // namespace

void CalcGaussianMEIS(Session& s) {
  WorkingState& st = s.state();
  ensureComposition(s);
  MeisRun run = readBeamAndSample(s);
  // The beam spread is part of the loss density here (keV, standard deviation); with
  // "Convolve" off it is a 0.001 eV spike.
  const double sb = s.controls().checked("TFOptions.CheckConv")
                        ? s.number("TFMEIS.EditGauss") * 0.0004246645150331238
                        : 0.001 * 0.0004246645150331238;
  s.Updateplot();
  s.SetStatus("Gaussian calculation...");
  s.host().processEvents();
  for (const auto& [name, el] : st.elementMap) {
    s.host().processEvents();
    readProjectile(s, run);
    ElementSetup e = prepareElement(el, run);
    e.sEf = run.straggling * 0.0001 * e.fW;  // keV^2 per 1000 A in this model
    const double m = 0.02 * run.e0;          // margin above the edge, keV
    const int bins = lossBins(s);
    s.logAppend("Gaussian Calculation: \n");
    logElement(s, name, e);
    s.logAppend("\n\n");
    st.gaussianSpectra[name] = zeroGrid(bins);
    const profile& p = st.elementProfiles[name];
    const double h = p.step;
    const std::vector<double> sum = depthSum(p, bins, h * e.sigma, [&](int i, double c, int j) {
      const double x = h * i * 0.001;
      const double u = j * 1.0 / 10.0 / 10.0;
      return gaussianLoss(u, sb, e.sEf, e.dedxEf, x, m) * c;
    });
    spectro& sp = st.gaussianSpectra[name];
    sp.values = sum;
    sp.offset = 1000.0 * e.k * run.e0 + 1000.0 * m;
    if (s.controls().checked("TFMEIS.CheckSCCorr") && sp.integral() != 0.0) {
      sp.convolveExponential(1.0 / el.sigma);
    }
    s.host().processEvents();
    PlotGaussianMEIS(s);
  }
  s.SetStatus("Gaussian calculation ready");
}

void CalcAnaliticMEIS(Session& s) {
  WorkingState& st = s.state();
  ensureComposition(s);
  MeisRun run = readBeamAndSample(s);
  run.spread = s.number("TFMEIS.EditGauss");
  s.Updateplot();
  s.SetStatus("Bessel calculation...");
  s.host().processEvents();
  for (const auto& [name, el] : st.elementMap) {
    s.host().processEvents();
    readProjectile(s, run);
    const ElementSetup e = prepareElement(el, run);
    const double beta = e.dedxEf * 2000.0 / e.sEf;  // 1/keV: inverse mean loss per collision
    const double nu = e.dedxEf * beta;              // collisions per 1000 A
    s.logAppend("Bessel Calculation: \n");
    logElement(s, name, e);
    s.logAppend("\n\n");
    const int bins = lossBins(s);
    st.besselSpectra[name] = zeroGrid(bins);
    const profile& p = st.elementProfiles[name];
    const double h = p.step;
    const std::vector<double> sum = depthSum(p, bins, h * e.sigma, [&](int i, double c, int j) {
      const double lambda = nu * (h * i * 0.001);
      if (j == 0) return static_cast<long double>((std::exp(-lambda) * c) * 10.0 * 10.0);
      return besselLossDensity(c, lambda, beta, j * 10.0 * 0.001);
    });
    spectro& sp = st.besselSpectra[name];
    sp.values = sum;
    sp.offset = e.k * run.e0 * 1000.0;
    postProcess(s, sp, run.spread, el.sigma);
    s.host().processEvents();
    PlotAnaliticMEIS(s);
  }
  s.SetStatus("Bessel calculation ready!");
}

}  // namespace tarvex
