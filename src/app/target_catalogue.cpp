// The controls of the target window (form TFTarget): a resonant-NRA sample as a stack of
// layers with stopping from the tables, the reaction's cross section, the Doppler broadening
// and the straggling model.
#include <deque>
#include <string>
#include <vector>

#include "app/target_command.h"
#include "state/controls.h"

namespace tarvex {

const std::vector<ControlSpec>& targetControls();

namespace {

std::vector<ControlSpec> buildTargetControls(std::deque<std::string>& pool) {
  using K = ControlKind;
  std::vector<ControlSpec> rows;
  const auto keep = [&](std::string s) {
    pool.push_back(std::move(s));
    return pool.back().c_str();
  };
  const auto edit = [&](const std::string& key, const char* label, const char* text) {
    rows.push_back({keep("TFTarget." + key), K::Edit, label, text});
  };
  const auto radio = [&](const char* key, const char* caption, const char* group, bool on) {
    rows.push_back({key, K::Radio, caption, "", on, true, group, ""});
  };
  rows.push_back({"TFTarget", K::Form, "Target"});
  rows.push_back({"TFTarget.CheckLayered", K::Check, "Layered target (resonant NRA)", "", false});
  rows.push_back({"TFTarget.GroupLayers", K::Frame, "Layers, from the surface down"});
  edit("EditLayers", "Layers:", "1");
  for (int k = 1; k <= kMaxTargetLayers; ++k) {
    const std::string n = std::to_string(k);
    const bool first = k == 1;
    edit("EditThick" + n, first ? "Thickness (nm or with a unit):" : "", first ? "100" : "");
    edit("EditFormula" + n, first ? "Composition:" : "", first ? "Al" : "");
    edit("EditDensity" + n, first ? "Density (g/cm3 or at/cm3):" : "", first ? "2.70" : "");
    edit("EditFraction" + n, first ? "Fraction (or \"profile\"):" : "", first ? "1" : "");
    edit("EditS" + n, first ? "Stopping (eV/Å, empty: tables):" : "", "");
    edit("EditW" + n, first ? "Straggling (eV²/Å, empty: model):" : "", "");
    rows.push_back({keep("TFTarget.PanelLayer" + n), K::Panel, "", ""});
  }
  rows.push_back({"TFTarget.GroupBeam", K::Frame, "Beam and straggling"});
  radio("TFTarget.RadioProtons", "Protons", "TargetIon", true);
  radio("TFTarget.RadioHelium", "Helium ions", "TargetIon", false);
  radio("TFTarget.RadioBohr", "Bohr straggling", "TargetStraggling", true);
  radio("TFTarget.RadioChu", "Chu (Yang et al.)", "TargetStraggling", false);
  rows.push_back(
      {"TFTarget.CheckSurface", K::Check, "Single collisions near the surface", "", true});
  edit("EditSurfaceLoss", "Single-collision table reach (keV):", "30");
  edit("EditStep", "Beam energy step (eV):", "50");
  edit("EditBelow", "Curve starts below the resonance by (keV):", "2");
  rows.push_back({"TFTarget.GroupReaction", K::Frame, "Reaction"});
  radio("TFTarget.RadioLorentzian", "Lorentzian (resonance width of the NRA frame)", "TargetXs",
        true);
  radio("TFTarget.RadioBreitWigner", "Breit-Wigner", "TargetXs", false);
  radio("TFTarget.RadioR33", "R33 cross-section file", "TargetXs", false);
  edit("EditPeak", "Peak cross section (mb/sr):", "100");
  edit("EditR33File", "R33 file:", "");
  rows.push_back(
      {"TFTarget.ButtonLoadR33", K::Button, "Load R33...", "", false, true, "", "LoadR33"});
  edit("EditNuclideMass", "Reacting nuclide mass (u):", "27");
  edit("EditTemperature", "Temperature (K; 0: no Doppler):", "0");
  edit("EditDebye", "Debye temperature (K; 0: free gas):", "0");
  rows.push_back({"TFTarget.CheckAbsolute", K::Check,
                  "Yield per µC and msr (dose field: µC times msr)", "", false});
  rows.push_back(
      {"TFTarget.ButtonCalculate", K::Button, "Calculate", "", false, true, "", "CalcSimulation"});
  rows.push_back({"TFTarget.MemoResult", K::Memo, ""});
  rows.push_back({"TFTarvex3.Target1", K::MenuItem, "Target...", "", false, true, "", ""});
  return rows;
}

}  // namespace

const std::vector<ControlSpec>& targetControls() {
  static std::deque<std::string> pool;
  static const std::vector<ControlSpec> rows = buildTargetControls(pool);
  return rows;
}

}  // namespace tarvex
