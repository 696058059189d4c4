#include "app/fit_controls.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/numtext.h"
#include "state/session.h"

namespace tarvex {
namespace {

std::string layerKey(const char* what, int k) {
  return std::string(what) + "L" + std::to_string(k);
}

std::string concKey(std::size_t e, int k) {
  return "Conc" + std::to_string(e + 1) + "L" + std::to_string(k);
}

double bound(Session& s, const std::string& key, double none) {
  const std::string& text = s.controls().text(key);
  if (text.find_first_not_of(" \t") == std::string::npos) return none;
  return s.number(key);
}

void readParameter(Session& s, const std::string& name, FitParameter& p, bool value) {
  if (value) p.value = s.number("TFFit.Edit" + name);
  p.free = s.controls().checked("TFFit.CheckFree" + name);
  p.lower = bound(s, "TFFit.EditMin" + name, -std::numeric_limits<double>::infinity());
  p.upper = bound(s, "TFFit.EditMax" + name, std::numeric_limits<double>::infinity());
}

void writeBound(Session& s, const std::string& key, double v) {
  if (std::isfinite(v)) {
    s.setNumber(key, v);
  } else {
    s.controls().setText(key, "");
  }
}

void writeParameter(Session& s, const std::string& name, const FitParameter& p, bool value) {
  if (value) s.setNumber("TFFit.Edit" + name, p.value);
  s.controls().setChecked("TFFit.CheckFree" + name, p.free);
  writeBound(s, "TFFit.EditMin" + name, p.lower);
  writeBound(s, "TFFit.EditMax" + name, p.upper);
}

}  // namespace

bool hasFitControls(const Session& s) {
  return s.controls().has("TFFit.EditThickL1") && s.controls().has("TFFit.EditLayers");
}

FitModel fitModelFromControls(Session& s, std::size_t elements) {
  const int layers = s.integer("TFFit.EditLayers");
  if (layers < 1 || layers > kMaxFitLayers) {
    throw std::invalid_argument("Layers: " + std::to_string(layers) + " must lie between 1 and " +
                                std::to_string(kMaxFitLayers));
  }
  if (elements > static_cast<std::size_t>(kMaxFitElements)) {
    throw std::invalid_argument("The fit model holds at most " + std::to_string(kMaxFitElements) +
                                " elements");
  }
  FitModel m;
  for (int k = 1; k <= layers; ++k) {
    FitLayer l;
    readParameter(s, layerKey("Thick", k), l.thickness, true);
    l.concentration.resize(std::max<std::size_t>(elements, 1));
    for (std::size_t e = 0; e < l.concentration.size(); ++e)
      readParameter(s, concKey(e, k), l.concentration[e], true);
    readParameter(s, layerKey("Sigma", k), l.sigma, true);
    m.layers.push_back(l);
  }
  readParameter(s, "Dose", m.dose, false);
  readParameter(s, "Shift", m.shift, false);
  readParameter(s, "Background", m.background, false);
  readParameter(s, "Spread", m.spread, false);
  m.maxIterations = s.integer("TFFit.EditMaxIter");
  if (m.maxIterations < 1) throw std::invalid_argument("Iterations: must be at least 1");
  return m;
}

void fitModelToControls(Session& s, const FitModel& m, const std::vector<std::string>& elements) {
  s.controls().setText("TFFit.EditLayers", std::to_string(m.layers.size()));
  for (std::size_t k = 0; k < m.layers.size() && static_cast<int>(k) < kMaxFitLayers; ++k) {
    const FitLayer& l = m.layers[k];
    const int n = static_cast<int>(k) + 1;
    writeParameter(s, layerKey("Thick", n), l.thickness, true);
    for (std::size_t e = 0; e < l.concentration.size() && e < std::size_t{kMaxFitElements}; ++e)
      writeParameter(s, concKey(e, n), l.concentration[e], true);
    writeParameter(s, layerKey("Sigma", n), l.sigma, true);
  }
  writeParameter(s, "Dose", m.dose, false);
  writeParameter(s, "Shift", m.shift, false);
  writeParameter(s, "Background", m.background, false);
  writeParameter(s, "Spread", m.spread, false);
  s.controls().setText("TFFit.EditMaxIter", std::to_string(m.maxIterations));
  for (int e = 0; e < kMaxFitElements; ++e) {
    const std::string key = "TFFit.PanelElement" + std::to_string(e + 1);
    s.controls().setText(key, static_cast<std::size_t>(e) < elements.size() ? elements[e] : "");
  }
}

}  // namespace tarvex
