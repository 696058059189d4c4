// Session: the control store, working state, chart store, status and log of one run, and the
// commands of the working state. Front ends drive it through click(), setCheckedAsClick(),
// applyChecked(), select() and run(); every command reports failures through the host.
//
// One command at a time: while a command runs the session is busy, and a command that arrives
// through the host meanwhile (a click processed at an event point, a menu chosen while a message
// box is open) is refused with no effect; only "Stop" gets through, which makes the running
// command end at its next cancel point with the status "Stopped".
//
// A command failed when it ended with an error (shown as a message), was stopped, showed a
// message box, or set a status text that reports an error ("Numeric ERROR!"); lastCommandFailed()
// tells, and tarvex-cli turns it into its exit status.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/cancel.h"
#include "state/action_catalogue.h"
#include "state/charts.h"
#include "state/controls.h"
#include "state/edit_history.h"
#include "state/host.h"
#include "state/working_state.h"

namespace tarvex {

// A script or front end named an action that does not exist.
class UnknownAction : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the fit commands keep for a session (its fit model, last report and what "Undo fit"
// puts back); defined with those commands.
struct FitSessionState;
// What the stopping calculator keeps for a session (the stopping data of each ion with the
// user's own tables, the applied values "Undo apply" puts back); defined with its commands.
struct StoppingSessionState;

class Session {
 public:
  using Command = std::function<void()>;

  // The state the program has after start-up with no parameter file.
  explicit Session(Host& host);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The front end's host as the commands see it: every call passes through the session, which
  // refuses commands that arrive during it and notes the message boxes a command shows.
  Host& host() { return gate_; }
  ControlStore& controls() { return controls_; }
  const ControlStore& controls() const { return controls_; }
  ChartStore& charts() { return charts_; }
  WorkingState& state() { return state_; }
  const WorkingState& state() const { return state_; }
  // "Undo edit" / "Redo edit": the edits of the profile tools.
  EditHistory& editHistory() { return history_; }
  const EditHistory& editHistory() const { return history_; }
  // The fit's state, created by the fit commands when they are registered.
  std::shared_ptr<FitSessionState>& fitState() { return fitState_; }
  // The stopping calculator's state, created by its commands when they are registered.
  std::shared_ptr<StoppingSessionState>& stoppingState() { return stoppingState_; }

  // ---- Actions and user input (each catches its failure and shows it as a message) ----------
  // Registers a command under a name; a name registered twice throws std::logic_error.
  void registerAction(const std::string& name, Command command);
  bool hasAction(const std::string& name) const { return actions_.count(name) != 0; }
  std::vector<std::string> actionNames() const;
  // The caption and category of an action of the action list (nullptr when it has none).
  const ActionSpec* actionSpec(const std::string& name) const { return findActionSpec(name); }
  // Whether the action can run now: registered, and the session not busy ("Stop" always).
  bool actionEnabled(const std::string& name) const;

  // The entry points of user input. Each is one command: it returns false when the command was
  // refused (a disabled control, or the session busy), true when it ran, even if it failed.
  // Called from inside a running command (not through the host) they are part of that command.
  //
  // Runs an action by name; throws UnknownAction for a name that is not registered.
  bool run(const std::string& name);
  // Presses a button or menu item, or clicks a check box or radio button. A disabled control
  // (or one in a disabled frame or window) cannot be clicked.
  bool click(const std::string& key);
  bool effectivelyEnabled(const std::string& key) const;
  // Sets a check box or radio button as a click would; runs its handler when a click would.
  bool setCheckedAsClick(const std::string& key, bool on);
  // Sets a check box or radio button as a change of state by the user would (its handler runs
  // when the state changes); a radio button unchecks its group, an unchecked one selects
  // nothing else. Used when parameters are applied from a file. Inside a command its failures
  // propagate to the command.
  bool applyChecked(const std::string& key, bool on);
  // Selects an item of a list, combo box or radio group and runs its change handler.
  bool select(const std::string& key, int index);
  // Runs a command, turning an exception into the message a user sees. Returns false when it
  // failed or was refused.
  bool guarded(const Command& body);
  // Runs an action inside a command (failures propagate to the command's caller).
  void invoke(const std::string& name);
  // A mouse event of a profile chart, as guarded() runs a command, except that it continues
  // the stroke of the mouse under way (every other command ends it: a stroke is one edit).
  bool drawingCommand(const Command& body);

  // ---- Busy, stop and failure -----------------------------------------------------------------
  bool busy() const { return busy_; }
  // Asks the running command to stop at its next cancel point (the action "Stop").
  void requestStop() { token_.request(); }
  // The token of the commands; a signal handler may request it (one atomic store).
  CancelToken& cancelToken() { return token_; }
  // Lets the front end process pending events, then stops here if "Stop" was requested.
  void eventPoint();
  // Whether the last command (the running one, while busy) failed; see the top of this file.
  bool lastCommandFailed() const { return failed_; }
  // Marks the running command as failed without ending it (an engine that ends with an error
  // status of its own).
  void markCommandFailed() { failed_ = true; }

  // ---- Number text ----------------------------------------------------------------------------
  char decimalSeparator() const { return decimalSeparator_; }
  void setDecimalSeparator(char sep) { decimalSeparator_ = sep; }
  double number(const std::string& key) const;
  int integer(const std::string& key) const;
  void setNumber(const std::string& key, double value);

  // ---- Status and log -------------------------------------------------------------------------
  // Shows a status text in both places, lets the front end process events, and stops here if
  // "Stop" was requested.
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
  void UndoEdit();
  void RedoEdit();

 private:
  // The front end's host seen through the session (see host()).
  class Gate : public Host {
   public:
    explicit Gate(Session& s) : s_(s) {}
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> openFile(const FileDialog& dialog) override;
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    void processEvents() override;
    void serveEvents() override;
    void statusChanged(const std::string& text) override;
    void busyChanged(bool busy) override;
    void paintWindowIntoReport(const std::string& form, const std::string& picture) override;
    void showReportPreview(const std::string& page) override;
    void showReportWindow() override;
    ReportPdf writeReportPdf(const std::string& page, const std::string& file) override;

   private:
    Session& s_;
  };
  struct HostCall;
  struct WaitingForUser;

  // Runs one command of user input (see the entry points above). A nested call runs body as
  // part of the running command: guarded, its error is shown and swallowed, otherwise it
  // propagates.
  bool command(const Command& body, bool guardNested);
  // Pending events now (an event point of a command), and from the long loops' checks for a
  // stop at most every kPumpInterval (the window front end has its own limit of 15 ms; this
  // one spares the clock-free hosts a call per check).
  void processEventsNow();
  void pumpEvents();
  static constexpr std::chrono::milliseconds kPumpInterval{3};
  void showStatusText(const std::string& text);
  void registerOwnCommands();
  void composition(bool markChanged);
  void erfcTool(bool add, bool keep);
  void editStep(bool undo);

  Host& host_;
  Gate gate_{*this};
  CancelToken token_;
  bool busy_ = false;
  bool failed_ = false;
  int hostCalls_ = 0;
  std::chrono::steady_clock::time_point lastEvents_{};
  ControlStore controls_;
  ChartStore charts_;
  WorkingState state_;
  EditHistory history_;
  std::shared_ptr<FitSessionState> fitState_;
  std::shared_ptr<StoppingSessionState> stoppingState_;
  bool drawing_ = false;
  std::map<std::string, Command> actions_;
  char decimalSeparator_ = '.';
  int optionsClientHeight_ = 416;
};

// The actions of every engine, registered into a session (engines register themselves here).
void registerNraActions(Session& session);
void registerMeisActions(Session& session);
void registerIoActions(Session& session);

}  // namespace tarvex
