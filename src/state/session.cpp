#include "state/session.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "core/numtext.h"

namespace tarvex {

const std::array<const char*, 60> kParamControls = {
    "",
    "TFOptions.EditBack",
    "TFOptions.EditShift",
    "TFOptions.EditMult",
    "TFNRP.EditEnrg",
    "TFNRP.EditMaxE",
    "TFNRP.EditLor",
    "TFNRP.EditGauss",
    "TFNRP.Editdedx",
    "TFNRP.EditS",
    "TFNRP.EditMaxDepth",
    "TFNRP.EditCont",
    "TFNRP.EditCmax",
    "TFNRP.Editqtd",
    "TFNRP.EditSigma",
    "TFNRP.Editx1",
    "TFNRP.Editx2",
    "TFNRP.Editc1",
    "TFNRP.Editc2",
    "TFNRP.EditStep",
    "TFNRP.EditNc",
    "TFNRP.EditVecsize",
    "TFMEIS.EditEnrg",
    "TFMEIS.EditDeltaE",
    "TFMEIS.EditGauss",
    "TFMEIS.EditPmass",
    "TFMEIS.EditZp",
    "TFMEIS.EditTIn",
    "TFMEIS.EditTOut",
    "TFMEIS.Editdedx",
    "TFMEIS.EditS",
    "TFMEIS.EditMaxDepth",
    "TFMEIS.EditCont",
    "TFMEIS.EditCmax",
    "TFMEIS.EditProfstep",
    "TFMEIS.Editqtd",
    "TFMEIS.EditSigma",
    "TFMEIS.Editx1",
    "TFMEIS.Editx2",
    "TFMEIS.Editc1",
    "TFMEIS.Editc2",
    "TFMEIS.EditStep",
    "TFMEIS.EditNc",
    "TFMEIS.EditVecsize",
    "TFMEIS.EditSimMin",
    "TFMEIS.EditSimMax",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
};

const std::array<const char*, 15> kFlagControls = {
    "",
    "TFOptions.CheckRememberSettings",
    "TFOptions.RadioNRP",
    "TFOptions.RadioMEIS",
    "TFOptions.RadioAnalitic",
    "TFOptions.RadioNumeric",
    "TFOptions.CheckConv",
    "TFNRP.CheckAuto",
    "TFMEIS.CheckAuto",
    "TFMEIS.CheckSCCorr",
    "TFOptions.RadioGauss",
    "TFOptions.RadioExternal",
    "",
    "",
    "",
};

Session::Session(Host& host) : host_(host) {
  std::error_code ec;
  state_.startDirectory = std::filesystem::current_path(ec).string();
  registerOwnCommands();
  gatherParameters();
  ShowSelectedMode();
}

// ---- Actions and input ------------------------------------------------------------------------

void Session::registerAction(const std::string& name, Command command) {
  // The commands that replace the resonant NRA profile from a file or a buffer are edits too.
  // Their profile comes whole, so the one before is kept whole while they run.
  const bool loadsProfile = name == "LoadProfile" || name.rfind("LoadBuffer", 0) == 0;
  if (loadsProfile) {
    const std::string what = name == "LoadProfile" ? "Load file" : "Load buffer " + name.substr(10);
    command = [this, what, load = std::move(command)] {
      const profile before = state_.nraProfile;
      load();
      history_.record(what, ProfileChange::between({true, {}}, before, state_.nraProfile));
    };
  }
  if (!actions_.emplace(name, std::move(command)).second) {
    throw std::logic_error("the action " + name + " is registered twice");
  }
}

std::vector<std::string> Session::actionNames() const {
  std::vector<std::string> names;
  for (const auto& [name, command] : actions_)
    names.push_back(name);
  return names;
}

bool Session::actionEnabled(const std::string& name) const {
  return hasAction(name) && (!busy_ || name == "Stop");
}

void Session::invoke(const std::string& name) {
  auto it = actions_.find(name);
  if (it == actions_.end()) throw UnknownAction("no action named " + name);
  it->second();
}

// A call of the front end's host: commands that arrive during it come from the user.
struct Session::HostCall {
  explicit HostCall(Session& s) : s_(s) { ++s_.hostCalls_; }
  ~HostCall() { --s_.hostCalls_; }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;
  Session& s_;
};

void Session::Gate::showMessage(const std::string& text) {
  if (s_.busy_) s_.failed_ = true;  // every message box of a command reports a failure
  HostCall call(s_);
  s_.host_.showMessage(text);
}

// A dialog of a running command that waits for the user: the front end learns that the command
// does no work meanwhile.
struct Session::WaitingForUser {
  explicit WaitingForUser(Session& s) : s_(s), busy_(s.busy_) {
    if (busy_) s_.host_.waitingForUser(true);
  }
  ~WaitingForUser() {
    if (busy_) s_.host_.waitingForUser(false);
  }
  WaitingForUser(const WaitingForUser&) = delete;
  WaitingForUser& operator=(const WaitingForUser&) = delete;
  Session& s_;
  bool busy_;
};

bool Session::Gate::askYesNo(const std::string& text) {
  HostCall call(s_);
  WaitingForUser waiting(s_);
  return s_.host_.askYesNo(text);
}

std::optional<std::string> Session::Gate::openFile(const FileDialog& dialog) {
  HostCall call(s_);
  WaitingForUser waiting(s_);
  return s_.host_.openFile(dialog);
}

std::optional<std::string> Session::Gate::saveFile(const FileDialog& dialog) {
  HostCall call(s_);
  WaitingForUser waiting(s_);
  return s_.host_.saveFile(dialog);
}

void Session::Gate::processEvents() {
  HostCall call(s_);
  s_.host_.processEvents();
}

void Session::Gate::serveEvents() {
  HostCall call(s_);
  s_.host_.serveEvents();
}

void Session::Gate::statusChanged(const std::string& text) {
  HostCall call(s_);
  s_.host_.statusChanged(text);
}

void Session::Gate::busyChanged(bool busy) {
  HostCall call(s_);
  s_.host_.busyChanged(busy);
}

void Session::Gate::paintWindowIntoReport(const std::string& form, const std::string& picture) {
  HostCall call(s_);
  s_.host_.paintWindowIntoReport(form, picture);
}

void Session::Gate::showReportPreview(const std::string& page) {
  HostCall call(s_);
  s_.host_.showReportPreview(page);
}

void Session::Gate::showReportWindow() {
  HostCall call(s_);
  s_.host_.showReportWindow();
}

ReportPdf Session::Gate::writeReportPdf(const std::string& page, const std::string& file) {
  HostCall call(s_);
  return s_.host_.writeReportPdf(page, file);
}

bool Session::command(const Command& body, bool guardNested) {
  if (busy_) {
    if (hostCalls_ > 0) return false;  // the user acted while a command runs: refused
    if (!guardNested) {
      body();
      return true;
    }
    try {
      body();
    } catch (const Cancelled&) {
      throw;  // a stop ends the whole command, not only this part of it
    } catch (const std::exception& e) {
      gate_.showMessage(e.what());
    }
    return true;
  }
  // A top-level command: busy until it ends, whatever way it ends.
  struct Busy {
    explicit Busy(Session& s) : s_(s) {
      s_.busy_ = true;
      s_.failed_ = false;
      s_.token_.reset();
    }
    ~Busy() { s_.busy_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
    Session& s_;
  };
  {
    Busy busy(*this);
    gate_.busyChanged(true);
    try {
      CancelScope scope(token_);
      EventPumpScope pump([](void* self) { static_cast<Session*>(self)->pumpEvents(); }, this);
      // Any command but the mouse's own ends a stroke under way: the stroke is one edit.
      if (!drawing_) history_.endStroke(state_);
      body();
    } catch (const Cancelled&) {
      failed_ = true;
      showStatusText("Stopped");
    } catch (const std::exception& e) {
      gate_.showMessage(e.what());
    } catch (...) {
      gate_.showMessage("The command ended with an unexpected error");
    }
    // The edits of an element that left the composition cannot come back.
    history_.forgetElementsNotIn(state_.elementMap);
  }
  gate_.busyChanged(false);
  return true;
}

bool Session::run(const std::string& name) {
  if (!hasAction(name)) throw UnknownAction("no action named " + name);
  if (name == "Stop") {
    requestStop();  // never a command of its own: it must reach the running one
    return true;
  }
  return command([&] { invoke(name); }, true);
}

bool Session::guarded(const Command& body) {
  bool ok = true;
  const bool ran = command(
      [&] {
        try {
          body();
        } catch (...) {
          ok = false;
          throw;
        }
      },
      true);
  return ran && ok;
}

bool Session::drawingCommand(const Command& body) {
  struct Drawing {
    explicit Drawing(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~Drawing() { flag_ = was_; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
    bool& flag_;
    bool was_;
  };
  Drawing drawing(drawing_);
  return guarded(body);
}

bool Session::effectivelyEnabled(const std::string& key) const {
  if (!controls_.enabled(key)) return false;
  const std::size_t dot = key.find('.');
  return dot == std::string::npos || !controls_.has(key.substr(0, dot)) ||
         controls_.enabled(key.substr(0, dot));
}

bool Session::click(const std::string& key) {
  const Control& c = controls_.get(key);
  if (!effectivelyEnabled(key)) return false;
  if (c.action == "Stop") {
    requestStop();
    return true;
  }
  return command(
      [&] {
        if (c.kind == ControlKind::Check) {
          controls_.setChecked(key, !c.checked);
        } else if (c.kind == ControlKind::Radio) {
          controls_.setChecked(key, true);
        }
        if (!c.action.empty()) {
          invoke(c.action);
        } else {
          controls_.runHandler(key);
        }
      },
      true);
}

bool Session::setCheckedAsClick(const std::string& key, bool on) {
  const Control& c = controls_.get(key);
  return command(
      [&] {
        if (c.kind == ControlKind::Radio && on) {
          click(key);  // a click on a radio button always runs its handler
        } else if (c.checked != on) {
          if (c.kind == ControlKind::Check) {
            click(key);
          } else {
            controls_.setChecked(key, on);
          }
        }
      },
      true);
}

bool Session::applyChecked(const std::string& key, bool on) {
  const Control& c = controls_.get(key);
  return command(
      [&] {
        if (c.checked == on) return;
        controls_.setChecked(key, on);
        if (!c.action.empty()) {
          invoke(c.action);
        } else {
          controls_.runHandler(key);
        }
      },
      false);
}

bool Session::select(const std::string& key, int index) {
  return command(
      [&] {
        controls_.setItemIndex(key, index);
        controls_.runHandler(key);
      },
      true);
}

void Session::processEventsNow() {
  gate_.processEvents();
  lastEvents_ = std::chrono::steady_clock::now();
}

void Session::pumpEvents() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastEvents_ < kPumpInterval) return;
  lastEvents_ = now;
  gate_.serveEvents();
}

void Session::eventPoint() {
  processEventsNow();
  checkCancel();
}

// ---- Number text ------------------------------------------------------------------------------

namespace {

// A caption as a name: without the colon and blanks that end a label.
std::string bare(std::string caption) {
  while (!caption.empty() && (caption.back() == ':' || caption.back() == ' '))
    caption.pop_back();
  return caption;
}

// The field of a control key as the user finds it: its window, its caption, and where one
// caption stands for several fields, the group, row or layer that tells them apart.
std::string fieldName(const ControlStore& c, const std::string& key) {
  const std::size_t dot = key.find('.');
  const std::string form = key.substr(0, dot);
  const std::string name = key.substr(dot + 1);
  std::string window = c.has(form) ? c.get(form).caption : form;
  if (form == "TFNRP") window = "Options, Resonant NRA";
  if (form == "TFMEIS") window = "Options, Ion Scattering";
  std::string caption = bare(c.get(key).caption);
  std::string where;
  // The profile tools repeat "Max:" and "Sigma": their group names them.
  static const std::pair<const char*, const char*> groups[] = {
      {"EditCmax", "Profile"}, {"Editqtd", "Add erfc"}, {"EditSigma", "Add erfc"},
      {"Editx1", "Draw line"}, {"Editx2", "Draw line"}, {"Editc1", "Draw line"},
      {"Editc2", "Draw line"}};
  if (form == "TFNRP" || form == "TFMEIS") {
    for (const auto& [control, group] : groups) {
      if (name == control) where = " in \"" + std::string(group) + "\"";
    }
  }
  if (form == "TFHG") {
    // Rows of elements under the first row's headings.
    const std::size_t digits = name.find_first_of("0123456789");
    if (name == "Editthickness") {
      caption = "Thickness";
    } else if (digits != std::string::npos) {
      const std::string column = name.substr(0, digits);
      if (c.has("TFHG." + column + "1")) caption = bare(c.get("TFHG." + column + "1").caption);
      where = ", row " + name.substr(digits);
    }
  }
  if (form == "TFLayers") {
    // Five slots of elements in each of six layers: "EditQtd2L3" is slot 2 of layer 3.
    const std::size_t layer = name.rfind('L');
    if (layer != std::string::npos && layer + 1 < name.size() && layer > 0 &&
        std::isdigit(static_cast<unsigned char>(name[layer + 1])) != 0) {
      const std::size_t digits = name.find_first_of("0123456789");
      std::string first = name;
      if (digits < layer) first = name.substr(0, digits) + "1" + name.substr(layer);
      if (caption.empty() && c.has("TFLayers." + first)) {
        caption = bare(c.get("TFLayers." + first).caption);
      }
      where = ", layer " + name.substr(layer + 1);
      if (digits < layer) where += ", slot " + name.substr(digits, layer - digits);
    }
  }
  return window + ": \"" + caption + "\"" + where;
}

// The field named after the conversion's own text, and a hint when the text uses the other
// common decimal separator.
ConversionError inField(const ConversionError& e, const ControlStore& c, const std::string& key,
                        char sep, bool decimal) {
  std::string message = std::string(e.what()) + " (" + fieldName(c, key);
  const std::string& text = c.text(key);
  const char other = sep == '.' ? ',' : '.';
  if (decimal && text.find(other) != std::string::npos && text.find(sep) == std::string::npos) {
    message += std::string("; the decimal separator is '") + sep + "'";
  }
  return ConversionError(message + ")");
}

}  // namespace

double Session::number(const std::string& key) const {
  try {
    return parseFloat(controls_.text(key), decimalSeparator_);
  } catch (const ConversionError& e) {
    throw inField(e, controls_, key, decimalSeparator_, true);
  }
}

int Session::integer(const std::string& key) const {
  try {
    return parseInt(controls_.text(key));
  } catch (const ConversionError& e) {
    throw inField(e, controls_, key, decimalSeparator_, false);
  }
}

void Session::setNumber(const std::string& key, double value) {
  controls_.setText(key, formatGeneral(value, 15, decimalSeparator_));
}

// ---- Status and log ---------------------------------------------------------------------------

void Session::showStatusText(const std::string& text) {
  controls_.setText("TFrameNRPSample.StatusDraw", text);
  controls_.setText("TFTarvex3.StatusBar1.3", text);
  gate_.statusChanged(text);
}

void Session::SetStatus(const std::string& text) {
  showStatusText(text);
  // The engines end a failed run with a status that says so ("Numeric ERROR!").
  if (busy_) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower.find("error") != std::string::npos) failed_ = true;
  }
  processEventsNow();
  checkCancel();
}

void Session::logAppend(const std::string& text) {
  controls_.appendText("TFLog.EditLog", text);
}

void Session::setPanel(int panel, const std::string& text) {
  controls_.setText("TFTarvex3.StatusBar1." + std::to_string(panel), text);
}

// ---- Working state ----------------------------------------------------------------------------

bool Session::parametersChanged() {
  // The parameters the collision tables are built from, in the order they are compared.
  static constexpr int kSlots[] = {
      param::nraResonanceEnergy, param::nraMaxEnergy,      param::nraStoppingPower,
      param::nraStraggling,      param::nraStep,           param::nraConvolutions,
      param::nraVectorSize,      param::meisIonEnergy,     param::meisDeltaE,
      param::meisProjectileMass, param::meisProjectileZ,   param::meisThetaIn,
      param::meisThetaOut,       param::meisStoppingPower, param::meisStraggling,
      param::meisStep,           param::meisConvolutions,  param::meisVectorSize};
  // All of them are read before the baseline moves: a field that does not convert ends the
  // test with the baseline as it was, so the next test still sees every change since the
  // tables were built.
  std::array<double, std::size(kSlots)> read{};
  for (std::size_t i = 0; i < std::size(kSlots); ++i)
    read[i] = number(kParamControls[kSlots[i]]);
  std::copy_n(state_.paramValues.begin(), 50, state_.paramSnapshot.begin());
  for (std::size_t i = 0; i < std::size(kSlots); ++i)
    state_.paramValues[kSlots[i]] = read[i];
  for (int slot : kSlots) {
    if (state_.paramValues[slot] != state_.paramSnapshot[slot]) return true;
  }
  return false;
}

void Session::gatherParameters() {
  for (std::size_t i = 0; i < kFlagControls.size(); ++i) {
    if (*kFlagControls[i]) state_.optionFlags[i] = controls_.checked(kFlagControls[i]) ? 1.0 : 0.0;
  }
  for (std::size_t i = 0; i < kParamControls.size(); ++i) {
    if (*kParamControls[i]) state_.paramValues[i] = number(kParamControls[i]);
  }
}

profile& Session::currentProfile() {
  if (state_.currentProfile.nra) return state_.nraProfile;
  return state_.elementProfiles[state_.currentProfile.element];
}

void Session::registerOwnCommands() {
  const auto action = [this](const char* name, void (Session::*fn)()) {
    registerAction(name, [this, fn] { (this->*fn)(); });
  };
  action("Updateplot", &Session::Updateplot);
  action("updatebkgrnd", &Session::updatebkgrnd);
  action("CalcSimulation", &Session::CalcSimulation);
  action("ShowSelectedMode", &Session::ShowSelectedMode);
  action("ShowNumeric", &Session::ShowNumeric);
  action("Plotprofile", &Session::Plotprofile);
  action("Adderfc", &Session::Adderfc);
  action("Substracterfc", &Session::Substracterfc);
  action("Tryadderfc", &Session::Tryadderfc);
  action("Trysubtract", &Session::Trysubtract);
  action("Drawline", &Session::Drawline);
  action("Smooth", &Session::Smooth);
  action("Undo", &Session::Undo);
  action("AddElement", &Session::AddElement);
  action("RefreshComposition", &Session::RefreshComposition);
  action("DeleteElement", &Session::DeleteElement);
  registerAction("Stop", [this] { requestStop(); });
  action("UndoEdit", &Session::UndoEdit);
  action("RedoEdit", &Session::RedoEdit);

  ControlStore& c = controls_;
  c.onClick("TFOptions.Button2", [this] { controls_.setVisible("TFOptions", false); });
  c.onClick("TFOptions.ButtonHide", [this] { hideShow(); });
  c.onClick("TFOptions.Button3", [this] { controls_.setVisible("TFBackground", true); });
  for (const char* k : {"TFOptions.RadioNRP", "TFOptions.RadioMEIS", "TFOptions.RadioAnalitic",
                        "TFOptions.RadioGauss"}) {
    c.onClick(k, [this] { ShowSelectedMode(); });
  }
  c.onClick("TFNRP.CheckAuto", [this] { autoModeClick("TFNRP"); });
  c.onClick("TFMEIS.CheckAuto", [this] { autoModeClick("TFMEIS"); });
  c.onClick("TFMEIS.ButtonAdd", [this] { AddElement(); });
  c.onClick("TFMEIS.ButtonDel", [this] { DeleteElement(); });
  c.onClick("TFMEIS.Button1", [this] { RefreshComposition(); });
  c.onClick("TFMEIS.ListElements", [this] { ShowElement(); });
  c.onClick("TFrameMEISSample.ComboEl_list", [this] { selectElement(); });
  // Sample window menu: each model's calculation from the profile at hand.
  const auto sampleCalc = [this](const char* nraAction, const char* meisAction) {
    return [this, nraAction, meisAction] {
      updatebkgrnd();
      const char* name = nraMode() ? nraAction : meisAction;
      if (*name) invoke(name);
    };
  };
  c.onClick("TFSample.Analitic1", sampleCalc("CalcAnaliticExcitation", "CalcAnaliticMEIS"));
  c.onClick("TFSample.Gauss1", sampleCalc("", "CalcGaussianMEIS"));
  c.onClick("TFSample.ExternalCS1", sampleCalc("", "CalcNumericMEISExt"));
}

}  // namespace tarvex
