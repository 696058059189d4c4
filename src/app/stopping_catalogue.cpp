// The controls of the stopping window (form TFStopping): the sample and the ion, the values for
// the current mode's energy-loss fields with their units, the commands, the result text; and the
// entries that open it (main menu, a button beside each mode's stopping field).
#include <vector>

#include "state/controls.h"

namespace tarvex {

const std::vector<ControlSpec>& stoppingControls();

namespace {

std::vector<ControlSpec> buildStoppingControls() {
  using K = ControlKind;
  std::vector<ControlSpec> rows;
  const auto edit = [&](const char* key, const char* label, const char* text,
                        bool readOnly = false) {
    rows.push_back({key, K::Edit, label, text, false, true, "", "", readOnly});
  };
  const auto button = [&](const char* key, const char* caption, const char* action,
                          bool enabled = true) {
    rows.push_back({key, K::Button, caption, "", false, enabled, "", action});
  };
  rows.push_back({"TFStopping", K::Form, "Stopping"});
  rows.push_back({"TFStopping.GroupSample", K::Frame, "Sample and ion"});
  // The items are the ions' symbols; the panel beside the box names the ion.
  rows.push_back({"TFStopping.ComboIon", K::Combo, "Ion:", "H|He"});
  rows.push_back({"TFStopping.PanelIon", K::Panel, "", "protons"});
  edit("TFStopping.EditFormula", "Formula:", "HfO2");
  edit("TFStopping.EditDensity", "Density:", "9.68");
  rows.push_back({"TFStopping.PanelDensityUnit", K::Panel, "", "g/cm³ or atoms/cm³"});
  edit("TFStopping.EditEnergy", "Energy (keV):", "100");
  rows.push_back(
      {"TFStopping.ComboStraggling", K::Combo, "Straggling model:", "Bohr|Chu (Yang et al.)"});
  rows.push_back({"TFStopping.GroupFields", K::Frame, "For the fields of the mode"});
  // Which mode's fields the two values are for, and at which energies.
  rows.push_back({"TFStopping.PanelMode", K::Panel, "", ""});
  edit("TFStopping.EditStopping", "Stopping:", "", true);
  rows.push_back({"TFStopping.PanelStoppingUnit", K::Panel, "", ""});
  edit("TFStopping.EditStraggling", "Straggling:", "", true);
  rows.push_back({"TFStopping.PanelStragglingUnit", K::Panel, "", ""});
  button("TFStopping.ButtonCalculate", "Calculate", "CalcStopping");
  button("TFStopping.ButtonApply", "Apply", "ApplyStopping");
  button("TFStopping.ButtonUndo", "Undo apply", "UndoStopping", false);
  button("TFStopping.ButtonLoadTable", "Load table...", "LoadStoppingTable");
  // What the last command did or refused.
  rows.push_back({"TFStopping.StatusStopping", K::Panel, "", ""});
  // Each element's stopping and its source, the compound's, the straggling, the fields' values.
  rows.push_back({"TFStopping.MemoResult", K::Memo, ""});
  rows.push_back(
      {"TFTarvex3.Stopping1", K::MenuItem, "Stopping...", "", false, true, "", "ShowStopping"});
  button("TFNRP.ButtonStopping", "...", "ShowStopping");
  button("TFMEIS.ButtonStopping", "...", "ShowStopping");
  return rows;
}

}  // namespace

const std::vector<ControlSpec>& stoppingControls() {
  static const std::vector<ControlSpec> rows = buildStoppingControls();
  return rows;
}

}  // namespace tarvex
