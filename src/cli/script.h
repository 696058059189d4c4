// The tarvex-cli script language: one command a line driving a session as a user would, and
// lines that check the numbers a script produced.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "state/host.h"

namespace tarvex {

class Session;

// Writes a filled report page ("RNRA" or "MEIS") of a session as a one-page PDF. tarvex-cli
// built with the desktop program's libraries sets one; without it a script cannot write one.
using ReportPdfWriter =
    std::function<ReportPdf(Session& session, const std::string& page, const std::string& file)>;
void setReportPdfWriter(ReportPdfWriter writer);

// A host that answers dialogs from queued answers and writes messages to a stream.
class ScriptHost : public Host {
 public:
  ScriptHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  void showMessage(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  std::optional<std::string> openFile(const FileDialog& dialog) override;
  std::optional<std::string> saveFile(const FileDialog& dialog) override;
  void statusChanged(const std::string& text) override;
  ReportPdf writeReportPdf(const std::string& page, const std::string& file) override;
  // The session whose report pages the host writes.
  void attach(Session* session) { session_ = session; }

  enum class Answer { Open, Save, Cancel, Yes, No };
  void queue(Answer kind, std::string path = {});

 private:
  std::optional<std::string> fileAnswer(Answer kind);

  std::ostream& out_;
  std::ostream& err_;
  std::deque<std::pair<Answer, std::string>> files_;
  std::deque<bool> questions_;
  Session* session_ = nullptr;
};

// Exit statuses of a script.
namespace exitStatus {
inline constexpr int ok = 0;             // every command succeeded, every expectation held
inline constexpr int failed = 1;         // a command failed or an expectation did not hold
inline constexpr int badScript = 2;      // a line names something unknown: the script stops
inline constexpr int interrupted = 130;  // stopped by interruptScript() (SIGINT)
}  // namespace exitStatus

// A line the interpreter cannot read (an unknown name, a malformed line): the script stops.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs a script line by line on one session, as tarvex-cli does: for drivers that look at the
// session between lines (the random walk of the tests).
class ScriptRunner {
 public:
  ScriptRunner(std::ostream& out, std::ostream& err);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs one line (number: its line number in messages); throws ScriptError for a line that
  // names something unknown or is malformed.
  void line(const std::string& text, int number);
  Session& session();
  // Whether a command failed or an expectation did not hold so far.
  bool failed() const;

 private:
  class Interpreter;
  std::unique_ptr<Interpreter> interpreter_;
};

// Runs a script and returns its exit status. A failed command (an error message, a refused
// input, a failed write, an engine's error status, "Stopped") or an expectation that does not
// hold is reported on err with its line number, and the script runs on; the status is then 1.
int runScript(std::istream& script, std::ostream& out, std::ostream& err);

// Stops the script that runs: the command in progress ends at its next cancel point (what it
// finished stays), no further line runs, and runScript returns 130. Safe in a signal handler:
// two atomic stores.
void interruptScript();

// The script lines, the exit statuses and every action with its caption.
std::string helpText();

}  // namespace tarvex
