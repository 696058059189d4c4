#include "meis/closed_form.h"

#include <cmath>
#include <span>
#include <utility>

#include "core/cancel.h"
#include "core/collision_table.h"
#include "core/curve_checks.h"
#include "core/numtext.h"
#include "core/physics.h"
#include "meis/depth_sum.h"

namespace tarvex {
namespace {

// The standard deviation in keV of a FWHM in eV.
constexpr double kKeVSigmaPerEVFwhm = 0.0004246645150331238;

int bins(const ClosedFormFrame& f) {
  return static_cast<int>(closedFormBinCount(f.deltaE));
}

// The refusals both models share, in the order the fields are read.
std::string commonRefusal(const ClosedFormFrame& f, const std::map<std::string, element>& elements,
                          bool zeroStraggling) {
  const char sep = f.decimalSeparator;
  std::string r = closedFormBinsRefusal(f.deltaE, sep);
  if (r.empty()) r = ionEnergyRefusal(f.run, sep);
  if (r.empty()) r = geometryRefusal(f.run, elements, sep);
  // A stopping that is not positive puts the deeper layers at or above the surface edge.
  if (r.empty()) r = positiveRefusal("dE/dx: (eV/nm)", f.run.stopping, false, sep);
  if (r.empty()) r = positiveRefusal("dW^2/dx: (eV^2/nm)", f.run.straggling, zeroStraggling, sep);
  if (r.empty()) r = spreadRefusal(f.run, f.convolve, sep);
  return r;
}

template <typename ElementModel>
MeisSpectra wholeComposition(const ClosedFormInput& in, const std::string& refusal,
                             const ModelRun& run, const ElementModel& model) {
  const ModelScope scope(run);
  MeisSpectra out;
  out.refusal = refusal;
  if (out.refusal.empty()) out.refusal = closedFormWorkRefusal(in.frame, in.elements, in.profiles);
  if (!out.refusal.empty()) return out;
  const profile none;
  for (const auto& [name, el] : in.elements) {
    run.stage(ModelStage::curve, name);
    run.pause();
    checkCancel();
    const auto p = in.profiles.find(name);
    MeisElementResult r = model(in.frame, name, el, p == in.profiles.end() ? none : p->second, run);
    const bool refused = !r.refusal.empty();
    if (refused) out.refusal = r.refusal;
    out.elements[name] = std::move(r);
    if (refused) break;
  }
  return out;
}

}  // namespace

std::string gaussianRefusal(const ClosedFormFrame& f,
                            const std::map<std::string, element>& elements) {
  // Zero straggling is sound here: the beam spread keeps every Gaussian finite.
  return commonRefusal(f, elements, true);
}

std::string besselRefusal(const ClosedFormFrame& f,
                          const std::map<std::string, element>& elements) {
  // Both losses set the mean loss per collision: without them the density has no meaning.
  std::string r = commonRefusal(f, elements, false);
  // The spectra's window is known: a spread far beyond it is refused before anything is done.
  if (r.empty() && f.convolve)
    r = spreadReachRefusal(spectro(bins(f), 10.0), f.run.spread, f.decimalSeparator);
  return r;
}

std::string closedFormWorkRefusal(const ClosedFormFrame& f,
                                  const std::map<std::string, element>& elements,
                                  const std::map<std::string, profile>& profiles) {
  double occupied = 0.0;
  for (const auto& [name, el] : elements) {
    const auto it = profiles.find(name);
    if (it == profiles.end()) continue;
    for (int i = 0; i < it->second.count; ++i)
      occupied += it->second.values[static_cast<std::size_t>(i)] != 0.0 ? 1.0 : 0.0;
  }
  const double work = occupied * bins(f);
  if (!(work > kMaxLossEvaluations)) return {};
  const char sep = f.decimalSeparator;
  return "Delta E (keV): " + formatGeneral(f.deltaE, 15, sep) + " on profiles of " +
         formatGeneral(occupied, 15, sep) + " occupied points needs " +
         formatGeneral(work, 3, sep) + " loss densities; the limit is " +
         formatGeneral(kMaxLossEvaluations, 3, sep) +
         " (a larger profile step or a smaller Delta E brings it down)";
}

ElementSetup gaussianSetup(const ClosedFormFrame& f, const element& el) {
  ElementSetup e = prepareElement(el, f.run);
  e.sEf = f.run.straggling * 0.0001 * e.fW;  // keV^2 per 1000 A in this model
  return e;
}

ElementSetup besselSetup(const ClosedFormFrame& f, const element& el) {
  return prepareElement(el, f.run);
}

MeisElementResult gaussianElementSpectrum(const ClosedFormFrame& f, const std::string& name,
                                          const element& el, const profile& prof,
                                          const ModelRun& run) {
  const ModelScope scope(run);
  const MeisRun& beam = f.run;
  MeisElementResult out;
  out.setup = gaussianSetup(f, el);
  const ElementSetup& e = out.setup;
  // The beam spread is part of the loss density here (keV, standard deviation); with
  // "Convolve" off it is a 0.001 eV spike.
  const double sb = f.convolve ? beam.spread * kKeVSigmaPerEVFwhm : 0.001 * kKeVSigmaPerEVFwhm;
  const double m = 0.02 * beam.e0;  // margin above the edge, keV
  const int n = bins(f);
  const double h = prof.step;
  spectro sp(n, 10.0);
  sp.values = depthSum(prof, n, h * e.sigma, [&](int i, double c, int j) {
    const double x = h * i * 0.001;
    const double u = j * 1.0 / 10.0 / 10.0;
    return gaussianLoss(u, sb, e.sEf, e.dedxEf, x, m) * c;
  });
  sp.offset = 1000.0 * e.k * beam.e0 + 1000.0 * m;
  if (f.scc && sp.integral() != 0.0) sp.convolveExponential(1.0 / el.sigma);
  out.refusal = refusalOf([&] {
    requireFiniteCurve(sp, "The Gaussian spectrum of " + name, prof, f.decimalSeparator);
  });
  if (out.refusal.empty()) out.spectrum = std::move(sp);
  return out;
}

MeisElementResult besselElementSpectrum(const ClosedFormFrame& f, const std::string& name,
                                        const element& el, const profile& prof,
                                        const ModelRun& run) {
  const ModelScope scope(run);
  MeisElementResult out;
  out.setup = besselSetup(f, el);
  const ElementSetup& e = out.setup;
  const double beta = e.dedxEf * 2000.0 / e.sEf;  // 1/keV: inverse mean loss per collision
  const double nu = e.dedxEf * beta;              // collisions per 1000 A
  const int n = bins(f);
  const double h = prof.step;
  spectro sp(n, 10.0);
  sp.values = depthSumRows(prof, n, h * e.sigma, [&](int i, double c, std::span<float> row) {
    const double lambda = nu * (h * i * 0.001);
    row[0] = static_cast<float>((std::exp(-lambda) * c) * 10.0 * 10.0);
    besselLossRow(c, lambda, beta, 1.0, row);
  });
  sp.offset = e.k * f.run.e0 * 1000.0;
  out.refusal = refusalOf([&] {
    postProcess(sp, f.run.spread, el.sigma, f.convolve, f.scc, f.decimalSeparator);
    requireFiniteCurve(sp, "The Bessel spectrum of " + name, prof, f.decimalSeparator);
  });
  if (out.refusal.empty()) out.spectrum = std::move(sp);
  return out;
}

MeisSpectra gaussianSpectra(const ClosedFormInput& in, const ModelRun& run) {
  return wholeComposition(in, gaussianRefusal(in.frame, in.elements), run,
                          [](const auto&... a) { return gaussianElementSpectrum(a...); });
}

MeisSpectra besselSpectra(const ClosedFormInput& in, const ModelRun& run) {
  return wholeComposition(in, besselRefusal(in.frame, in.elements), run,
                          [](const auto&... a) { return besselElementSpectrum(a...); });
}

}  // namespace tarvex
