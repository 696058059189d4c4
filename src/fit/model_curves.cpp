#include "fit/model_curves.h"

#include "nra/excitation.h"

#include <stdexcept>
#include <utility>

namespace tarvex {

FitCurve excitationFitCurve(const spectro& curve, double resonanceKeV) {
  FitCurve c;
  c.x.resize(curve.values.size());
  c.y.resize(curve.values.size());
  for (int i = 0; i < curve.size(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    c.x[k] = excitationEnergy(curve, i, resonanceKeV);
    c.y[k] = curve.values[k];
  }
  return c;
}

FitCurve meisFitCurve(const MeisSpectra& spectra, MeisPlotWindow window,
                      const std::map<std::string, element>& elements, bool convolve,
                      double spread) {
  if (!spectra.refusal.empty()) throw std::invalid_argument(spectra.refusal);
  std::map<std::string, spectro> curves;
  for (const auto& [name, r] : spectra.elements) {
    if (!r.refusal.empty()) throw std::invalid_argument(r.refusal);
    curves[name] = r.spectrum;
  }
  window.dose = 1.0;
  window.background = {0.0, 0.0, 1.0, 0.0};
  window.step = meisPlotStep(convolve, spread);
  MeisTotal total = meisTotal(window, elements, curves);
  return {std::move(total.e), std::move(total.y)};
}

std::map<std::string, profile> profilesByElement(std::vector<profile> profiles,
                                                 const std::map<std::string, element>& elements) {
  std::map<std::string, profile> out;
  std::size_t e = 0;
  for (const auto& [name, el] : elements) {
    if (e < profiles.size()) out[name] = std::move(profiles[e++]);
  }
  return out;
}

}  // namespace tarvex
