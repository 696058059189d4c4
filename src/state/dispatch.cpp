// "Calculate" by mode and model, and the display of the selected mode in the windows.
#include "state/session.h"

#include <algorithm>

namespace tarvex {
namespace {

constexpr const char* kNumericControls[] = {
    "EditNc", "EditStep", "EditVecsize", "EditEmin", "EditEmax", "ButtonCalculate", "CheckAuto"};

}  // namespace

void Session::CalcSimulation() {
  updatebkgrnd();
  const auto on = [this](const char* key) { return controls_.checked(key); };
  const auto engine = [this](const char* name) {
    if (hasAction(name)) {
      invoke(name);
    } else {
      gate_.showMessage(std::string(name) + " is not available in this version");
    }
  };
  // Each test reads the radio buttons anew: a calculation may not change them, but if one did,
  // the rows below would see it.
  if (on("TFOptions.RadioMEIS") && on("TFOptions.RadioAnalitic")) engine("CalcAnaliticMEIS");
  if (on("TFOptions.RadioMEIS") && on("TFOptions.RadioExternal")) engine("CalcNumericMEISExt");
  if (on("TFOptions.RadioMEIS") && on("TFOptions.RadioNumeric")) engine("CalcNumericMEIS");
  if (on("TFOptions.RadioMEIS") && on("TFOptions.RadioGauss")) engine("CalcGaussianMEIS");
  // A layered target replaces the resonant-NRA models of one stopping value.
  const bool layered = controls_.has("TFTarget.CheckLayered") && on("TFTarget.CheckLayered");
  if (on("TFOptions.RadioNRP") && layered) {
    engine("CalcLayeredExcitation");
    return;
  }
  if (on("TFOptions.RadioNRP") && on("TFOptions.RadioAnalitic")) {
    engine("CalcAnaliticExcitation");
  }
  if (on("TFOptions.RadioNRP") && on("TFOptions.RadioNumeric")) engine("CalcNumericExcitation");
  if (on("TFOptions.RadioNRP") && on("TFOptions.RadioGauss")) {
    gate_.showMessage("Gaussian calculation not ready for NRP");
  }
  if (on("TFOptions.RadioNRP") && on("TFOptions.RadioExternal")) {
    gate_.showMessage("External cross section not ready for NRP");
  }
  // A profile without a single point above zero gives a flat zero curve, which looks like a
  // fault of the calculation: say where the sample comes from.
  const auto empty = [](const profile& p) {
    return std::all_of(p.values.begin(), p.values.end(), [](double v) { return v == 0.0; });
  };
  bool nothingDrawn = false;
  if (nraMode()) {
    nothingDrawn =
        (on("TFOptions.RadioAnalitic") || on("TFOptions.RadioNumeric")) && empty(state_.nraProfile);
  } else {
    nothingDrawn =
        std::all_of(state_.elementMap.begin(), state_.elementMap.end(), [&](const auto& e) {
          const auto it = state_.elementProfiles.find(e.first);
          return it == state_.elementProfiles.end() || empty(it->second);
        });
  }
  // A calculation that failed keeps its own status: that is the news.
  if (nothingDrawn && !failed_)
    SetStatus("The profile is empty: draw a layer in the Sample window first");
}

void Session::ShowSelectedMode() {
  ControlStore& c = controls_;
  // The main chart shows the curves and data of the selected mode only.
  charts_.showMode(c.checked("TFOptions.RadioNRP") ? ChartMode::Nra : ChartMode::Meis);
  if (c.checked("TFOptions.RadioNRP")) {
    c.setVisible("TFNRP", true);
    c.setVisible("TFMEIS", false);
    c.setEnabled("TFMEIS", false);
    c.setEnabled("TFNRP", true);
    c.setEnabled("TFrameMEISSample", false);
    c.setEnabled("TFrameNRPSample", true);
    c.setVisible("TFrameNRPSample", true);
    c.setVisible("TFrameMEISSample", false);
    state_.currentProfile = {true, {}};
    Plotprofile();
  } else {
    c.setVisible("TFMEIS", true);
    c.setVisible("TFNRP", false);
    c.setVisible("TFrameMEISSample", true);
    c.setVisible("TFrameNRPSample", false);
    c.setEnabled("TFrameMEISSample", true);
    c.setEnabled("TFrameNRPSample", false);
    c.setEnabled("TFMEIS", true);
    c.setEnabled("TFNRP", false);
    const std::string name = c.text("TFrameMEISSample.ComboEl_list");
    state_.currentProfile = {false, name};
    state_.elementProfiles[name];
    if (!name.empty()) Plotprofile();
  }
  const bool closedForm = c.checked("TFOptions.RadioAnalitic") || c.checked("TFOptions.RadioGauss");
  for (const char* f : {"TFNRP", "TFMEIS"}) {
    for (const char* name : kNumericControls)
      c.setEnabled(std::string(f) + "." + name, !closedForm);
    if (!closedForm) autoModeClick(f);
  }
}

void Session::ShowNumeric() {
  autoModeClick("TFNRP");
  for (const char* name : {"EditEmin", "EditEmax", "ButtonCalculate", "CheckAuto"}) {
    controls_.setEnabled(std::string("TFNRP.") + name, true);
  }
}

void Session::autoModeClick(const std::string& frame) {
  const bool manual = !controls_.checked(frame + ".CheckAuto");
  for (const char* name : {"EditNc", "EditStep", "EditVecsize"}) {
    controls_.setEnabled(frame + "." + name, manual);
  }
}

void Session::hideShow() {
  if (optionsClientHeight_ == 32) {
    optionsClientHeight_ = 419;
    controls_.setCaption("TFOptions.ButtonHide", "Hide");
  } else {
    optionsClientHeight_ = 32;
    controls_.setCaption("TFOptions.ButtonHide", "Show");
  }
}

}  // namespace tarvex
