// What every model shares: the element of a composition, the key a cached table is stored
// under, and how a model reports its progress and is stopped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/cancel.h"

namespace tarvex {

// One element of the ion-scattering composition.
struct element {
  std::string name;
  double Z = 0.0;
  double mass = 0.0;
  double sigma = 0.0;  // single-collision-correction energy 1/alpha, eV
};

// The parameter values a collision table was built from, in the order its model reads them. A
// table is current only while the values its model is asked for now are exactly these; an empty
// key belongs to no table. Compared as doubles, so a value that is not a number never matches.
struct TableKey {
  std::vector<double> values;
  std::string text;  // what names a file the table was read from, and identifies its content
  bool operator==(const TableKey&) const = default;
};

// The stages of a model's work, as it reports them.
enum class ModelStage {
  collisionTable,  // building a table of n-fold collision distributions (advance: k of nc)
  weights,         // weighting the depth profile by the Poisson probabilities of n collisions
  curve,           // summing the curve (or one element's spectrum) over depth
  lorentzian,      // broadening by the resonance's Lorentzian
  gaussian,        // broadening by the beam's Gaussian
};

// Receives a model's progress. Every call comes from the thread that called the model. The
// default does nothing: a caller that does not listen passes no Progress at all.
class Progress {
 public:
  Progress() = default;
  Progress(const Progress&) = default;
  Progress& operator=(const Progress&) = default;
  virtual ~Progress() = default;
  // A stage begins; `subject` names the element it is for, where there is one.
  virtual void stage(ModelStage /*stage*/, const std::string& /*subject*/) {}
  // `done` of `total` units of the current stage are finished.
  virtual void advance(int /*done*/, int /*total*/) {}
  // A point between pieces of work: a front end may serve its pending events here.
  virtual void pause() {}
};

// How a model run is watched and stopped: an optional progress listener and an optional cancel
// token. Without a token the run honours the token of the command it runs in, if any.
struct ModelRun {
  Progress* progress = nullptr;
  CancelToken* cancel = nullptr;

  void stage(ModelStage s, const std::string& subject = {}) const {
    if (progress != nullptr) progress->stage(s, subject);
  }
  void advance(int done, int total) const {
    if (progress != nullptr) progress->advance(done, total);
  }
  void pause() const {
    if (progress != nullptr) progress->pause();
  }
};

// Installs a run's cancel token for the length of a model call (the long loops look for a stop
// through checkCancel()).
class ModelScope {
 public:
  explicit ModelScope(const ModelRun& run) {
    if (run.cancel != nullptr) scope_.emplace(*run.cancel);
  }

 private:
  std::optional<CancelScope> scope_;
};

}  // namespace tarvex
