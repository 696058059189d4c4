// The controls of the fit window (form TFFit): the layer table with its free boxes and bounds,
// the free boxes of the scalar parameters, and the commands.
#include <deque>
#include <string>
#include <vector>

#include "fit/fit_model.h"
#include "state/controls.h"

namespace tarvex {

const std::vector<ControlSpec>& fitControls();

namespace {

std::vector<ControlSpec> buildFitControls(std::deque<std::string>& pool) {
  using K = ControlKind;
  std::vector<ControlSpec> rows;
  const auto keep = [&](std::string s) {
    pool.push_back(std::move(s));
    return pool.back().c_str();
  };
  // A parameter: its value, its free box and its bounds (empty: none).
  const auto parameter = [&](const std::string& name, const char* label, const char* value,
                             bool free, const char* lower) {
    rows.push_back({keep("TFFit.Edit" + name), K::Edit, label, value});
    rows.push_back({keep("TFFit.CheckFree" + name), K::Check, "Free", "", free});
    rows.push_back({keep("TFFit.EditMin" + name), K::Edit, "Min", lower});
    rows.push_back({keep("TFFit.EditMax" + name), K::Edit, "Max", ""});
  };
  rows.push_back({"TFFit", K::Form, "Fit"});
  rows.push_back({"TFFit.GroupLayers", K::Frame, "Layers"});
  rows.push_back({"TFFit.EditLayers", K::Edit, "Layers:", "1"});
  for (int e = 1; e <= kMaxFitElements; ++e) {
    // The element of each concentration column (the resonant nuclide alone in resonant NRA).
    rows.push_back({keep("TFFit.PanelElement" + std::to_string(e)), K::Panel, "", ""});
  }
  for (int k = 1; k <= kMaxFitLayers; ++k) {
    const std::string l = std::string("L").append(std::to_string(k));
    parameter("Thick" + l, k == 1 ? "Thickness (Å)" : "", k == 1 ? "5" : "0", k == 1, "0");
    for (int e = 1; e <= kMaxFitElements; ++e) {
      parameter("Conc" + std::to_string(e) + l, k == 1 && e == 1 ? "Concentration" : "",
                k == 1 && e == 1 ? "1" : "0", k == 1 && e == 1, "0");
    }
    parameter("Sigma" + l, k == 1 ? "Edge σ (Å)" : "", "0", false, "0");
  }
  rows.push_back({"TFFit.GroupScalars", K::Frame, "Beam and detector"});
  for (const auto& [name, label] :
       {std::pair{"Dose", "Ion dose"}, std::pair{"Shift", "Shift"},
        std::pair{"Background", "Background"}, std::pair{"Spread", "Beam spread (eV)"}}) {
    rows.push_back({keep(std::string("TFFit.CheckFree") + name), K::Check, label, "", false});
    // A beam spread is a width: zero or more unless the user writes another bound.
    rows.push_back({keep(std::string("TFFit.EditMin") + name), K::Edit, "Min",
                    std::string(name) == "Spread" ? "0" : ""});
    rows.push_back({keep(std::string("TFFit.EditMax") + name), K::Edit, "Max", ""});
  }
  rows.push_back({"TFFit.EditMaxIter", K::Edit, "Iterations:", "100"});
  rows.push_back({"TFFit.ButtonFromProfile", K::Button, "From profile", "", false, true, "",
                  "FitFromProfile"});
  rows.push_back({"TFFit.ButtonFit", K::Button, "Fit", "", false, true, "", "Fit"});
  rows.push_back({"TFFit.ButtonUndo", K::Button, "Undo fit", "", false, true, "", "UndoFit"});
  rows.push_back({"TFFit.ButtonStop", K::Button, "Stop", "", false, true, "", "Stop"});
  rows.push_back({"TFFit.StatusFit", K::Panel, "", ""});
  rows.push_back({"TFFit.MemoResult", K::Memo, ""});
  rows.push_back({"TFTarvex3.Fit1", K::MenuItem, "Fit...", "", false, true, "", ""});
  return rows;
}

}  // namespace

const std::vector<ControlSpec>& fitControls() {
  static std::deque<std::string> pool;
  static const std::vector<ControlSpec> rows = buildFitControls(pool);
  return rows;
}

}  // namespace tarvex
