// A model's progress as a command shows it: a completed step of a table in the first status
// panel, and a pause as the command's event point (pending events, then a stop if asked for).
// Stages are not shown: each command writes its own status texts where it always has.
#pragma once

#include <string>

#include "core/model.h"
#include "state/session.h"

namespace tarvex {

class CommandProgress : public Progress {
 public:
  explicit CommandProgress(Session& s) : s_(s) {}
  void advance(int done, int /*total*/) override { s_.setPanel(0, std::to_string(done)); }
  void pause() override { s_.eventPoint(); }
  // The run of a model inside this command (the command's cancel token is the active one).
  ModelRun run() { return ModelRun{this, nullptr}; }

 private:
  Session& s_;
};

}  // namespace tarvex
