// Session: the control store, working state, chart store, status and log of one run, and the
// commands of the working state. Front ends drive it through click(), setCheckedAsClick(),
// select() and run(); every command reports failures through the host.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "state/charts.h"
#include "state/controls.h"
#include "state/host.h"
#include "state/working_state.h"

namespace tarvex {

// A script or front end named an action that does not exist.
class UnknownAction : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Session {
 public:
  using Command = std::function<void()>;

  // The state the program has after start-up with no parameter file.
  explicit Session(Host& host);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Host& host() { return host_; }
  ControlStore& controls() { return controls_; }
  const ControlStore& controls() const { return controls_; }
  ChartStore& charts() { return charts_; }
  WorkingState& state() { return state_; }
  const WorkingState& state() const { return state_; }

  // ---- Actions and user input (each catches its failure and shows it as a message) ----------
  void registerAction(const std::string& name, Command command);
  bool hasAction(const std::string& name) const { return actions_.count(name) != 0; }
  std::vector<std::string> actionNames() const;
  // Runs an action by name; throws UnknownAction for a name that is not registered.
  void run(const std::string& name);
  // Presses a button or menu item, or clicks a check box or radio button. A disabled control
  // (or one in a disabled frame or window) cannot be clicked: returns false.
  bool click(const std::string& key);
  bool effectivelyEnabled(const std::string& key) const;
  // Sets a check box or radio button as a click would; runs its handler when a click would.
  void setCheckedAsClick(const std::string& key, bool on);
  // Sets a check box or radio button as a change of state by the user would (its handler runs
  // when the state changes); a radio button unchecks its group, an unchecked one selects
  // nothing else. Used when parameters are applied from a file.
  void applyChecked(const std::string& key, bool on);
  // Selects an item of a list, combo box or radio group and runs its change handler.
  void select(const std::string& key, int index);
  // Runs a command, turning an exception into the message a user sees. Returns false then.
  bool guarded(const Command& command);
  // Runs an action inside a command (failures propagate to the command's caller).
  void invoke(const std::string& name);

  // ---- Number text ----------------------------------------------------------------------------
  char decimalSeparator() const { return decimalSeparator_; }
  void setDecimalSeparator(char sep) { decimalSeparator_ = sep; }
  double number(const std::string& key) const;
  int integer(const std::string& key) const;
  void setNumber(const std::string& key, double value);

  // ---- Status and log -------------------------------------------------------------------------
  void SetStatus(const std::string& text);
  void logAppend(const std::string& text);
  void setPanel(int panel, const std::string& text);
  const std::string& logText() const { return controls_.text("TFLog.EditLog"); }

  // ---- Working state --------------------------------------------------------------------------
  bool parametersChanged();
  // Refreshes paramValues and optionFlags from their controls.
  void gatherParameters();
  profile& currentProfile();
  bool nraMode() const { return !controls_.checked("TFOptions.RadioMEIS"); }
  // The parameter frame of the current mode: "TFNRP" or "TFMEIS".
  std::string frame() const { return nraMode() ? "TFNRP" : "TFMEIS"; }
  int optionsClientHeight() const { return optionsClientHeight_; }

  // ---- Commands -------------------------------------------------------------------------------
  void AddElement();
  void RefreshComposition();
  void DeleteElement();
  void ShowElement();
  void selectElement();
  void Updateplot();
  void updatebkgrnd();
  void CalcSimulation();
  void ShowSelectedMode();
  void ShowNumeric();
  void autoModeClick(const std::string& frame);
  void hideShow();
  void Plotprofile();
  void Adderfc();
  void Substracterfc();
  void Tryadderfc();
  void Trysubtract();
  void Drawline();
  void Smooth();
  void Undo();

 private:
  void registerOwnCommands();
  void composition(bool markChanged);
  void erfcTool(bool add, bool keep);

  Host& host_;
  ControlStore controls_;
  ChartStore charts_;
  WorkingState state_;
  std::map<std::string, Command> actions_;
  char decimalSeparator_ = '.';
  int optionsClientHeight_ = 416;
};

// The actions of every engine, registered into a session (engines register themselves here).
void registerNraActions(Session& session);
void registerMeisActions(Session& session);
void registerIoActions(Session& session);

}  // namespace tarvex
