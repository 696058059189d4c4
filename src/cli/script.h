// The tarvex-cli script language: one command a line driving a session as a user would.
#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "state/host.h"

namespace tarvex {

// A host that answers dialogs from queued answers and writes messages to a stream.
class ScriptHost : public Host {
 public:
  ScriptHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  void showMessage(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  std::optional<std::string> openFile(const FileDialog& dialog) override;
  std::optional<std::string> saveFile(const FileDialog& dialog) override;
  void statusChanged(const std::string& text) override;

  enum class Answer { Open, Save, Cancel, Yes, No };
  void queue(Answer kind, std::string path = {});

 private:
  std::optional<std::string> fileAnswer(Answer kind);

  std::ostream& out_;
  std::ostream& err_;
  std::deque<std::pair<Answer, std::string>> files_;
  std::deque<bool> questions_;
};

// Runs a script; returns the exit status (0, or 2 when a line names something unknown).
int runScript(std::istream& script, std::ostream& out, std::ostream& err);

}  // namespace tarvex
