// A model's progress as a command shows it: stages become status texts, pauses the session's
// event points (where the windows are served and "Stop" is heard).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/model.h"
#include "state/session.h"

namespace tarvex {

class CommandProgress : public Progress {
 public:
  explicit CommandProgress(Session& s) : s_(s) {}
  // What the command shows when a stage begins, and after each unit of work.
  std::function<void(ModelStage, const std::string&)> onStage;
  std::function<void(int, int)> onAdvance;

  void stage(ModelStage stage, const std::string& subject) override {
    if (onStage) onStage(stage, subject);
  }
  void advance(int done, int total) override {
    if (onAdvance) onAdvance(done, total);
  }
  void pause() override { s_.eventPoint(); }

  ModelRun run() { return ModelRun{this, nullptr}; }

 private:
  Session& s_;
};

}  // namespace tarvex
