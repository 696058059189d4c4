// Fit of a layered sample's curve to measured counts by their Poisson likelihood: the layers'
// thicknesses, concentrations and edge widths, the ion dose, shift, flat background and beam
// spread, by the least-squares solver over the signed roots of the deviance. The curve comes
// from any model function of the depth profiles and the spread.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/physics.h"
#include "core/profile.h"
#include "fit/fit_model.h"

namespace tarvex {

// One fitted parameter as reported.
struct FitValue {
  std::string name;  // "Layer 1 thickness (Å)", "Ion dose", ...
  double value = 0.0;
  // Standard uncertainty from the curvature of the likelihood, scaled only for data that
  // scatter more than counting statistics allow (see FitReport::uncertaintyScale); 0 for a
  // parameter at its bound.
  double uncertainty = 0.0;
  // The best value lies on the parameter's bound (within a tenth of an uncertainty): it is
  // reported there and left out of the uncertainties of the others.
  bool atBound = false;
};

struct FitReport {
  bool done = false;  // a fit ended with a result
  std::vector<FitValue> values;
  // The goodness of fit: the Poisson deviance of the counts, and its mean and standard
  // deviation for counts that scatter about the model by counting statistics alone (the mean
  // less one per determined parameter). About 1 for a good fit, whatever the counts.
  double deviance = 0.0;
  double expectedDeviance = 0.0;
  double devianceSpread = 0.0;
  double devianceRatio = 0.0;  // deviance / expectedDeviance
  // The uncertainties' factor: 1, or the square root of the deviance ratio when the deviance
  // exceeds its expectation by more than two of its standard deviations.
  double uncertaintyScale = 1.0;
  int points = 0;
  int degreesOfFreedom = 0;  // points less determined parameters
  int evaluations = 0;
  int iterations = 0;
  double seconds = 0.0;
  // Strongly correlated pairs, a curve that does not follow the data, and the parameters that
  // could not be determined.
  std::vector<std::string> warnings;
  // The free parameters the curve does not depend on at the end of the fit, or that ended far
  // outside their physical range or beyond what the calculation reaches: a fit with any of them
  // has no result.
  std::vector<std::string> undetermined;
  std::vector<std::vector<double>> correlation;
};

// What the log and the fit window show of a report: each value rounded to the second
// significant digit of its uncertainty.
std::string fitReportText(const FitReport& r, char sep = '.');

// A fit that cannot start or ended without a result; its message says why.
class FitGivenUp : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The curve of a sample: increasing energies (keV) and the counts at dose 1 without background.
struct FitCurve {
  std::vector<double> x, y;
};
// The model: profiles on the fit's grid (one per element; one in resonant NRA) and the beam
// spread (eV) give the curve.
using FitCurveFunction = std::function<FitCurve(std::vector<profile> profiles, double spread)>;

// The depth the resonant excitation curve reaches: its energy window above the resonance over
// the stopping power, and the fields that set the window.
struct ExcitationReach {
  double depth = std::numeric_limits<double>::infinity();  // Å
  double stopping = 0.0;                                   // eV/Å
  bool byVector = false;  // the numeric model's own grid ("Step size" × "Vector size")
  double maxEnergy = 0.0, step = 0.0, bins = 0.0;

  std::string describe(char sep) const;
  // What to raise for a window that holds `depth` with a quarter to spare.
  std::string raise(double depthToHold, char sep) const;
};
// The reach of a window of maxEnergy keV, or of step × bins eV when byVector.
ExcitationReach excitationReach(double stopping, double maxEnergy, bool byVector, double step,
                                double bins);

struct LayeredFitProblem {
  // Start values, free flags and bounds of every parameter (dose, shift, background and spread
  // included).
  FitModel model;
  bool nra = true;                    // one concentration column, named "concentration"
  std::vector<std::string> elements;  // ion scattering: the composition, one column each
  bool flatBackground = true;         // else the background is `line` and is not fitted
  backgroundLine line;
  profile grid;  // the depth grid of the profiles: step, start depth and points
  std::vector<double> measuredX, measuredY;  // keV and counts
  ExcitationReach reach;                     // resonant NRA
  FitCurveFunction curve;
  char sep = '.';
};

// Refuses a model without layers or with too many, and gives every layer one concentration per
// column.
void checkFitLayers(FitModel& m, std::size_t columns);

struct LayeredFitResult {
  FitReport report;
  FitModel model;  // the best values (undetermined fits: where the solver ended)
  // Why each undetermined free parameter could not be determined, by name, in order.
  std::vector<std::pair<std::string, std::string>> reasons;
  int gridPoints = 0;    // the points of the depth grid the best layers need
  int basePoints = 0;    // the grid's own points
  double gridDepth = 0;  // the depth (Å below the surface) gridPoints reach
};

// Prepares a fit (refusing, with FitGivenUp or std::invalid_argument, what cannot be fitted:
// nothing free, bounds the wrong way round, no counts, layers deeper than the curve reaches)
// and runs it. Each evaluation is one call of the curve function (run.pause() before it); the
// progress line after each iteration goes to onIteration. A result without `done` names its
// undetermined parameters; a fit that ends without one throws FitGivenUp.
class LayeredFit {
 public:
  explicit LayeredFit(LayeredFitProblem problem);
  ~LayeredFit();
  LayeredFit(const LayeredFit&) = delete;
  LayeredFit& operator=(const LayeredFit&) = delete;

  std::function<void(const std::string& line, int iteration, double ratio)> onIteration;
  LayeredFitResult run(const ModelRun& run = {});
  // One evaluation of the fit: the model's counts at the measured points inside the curve's
  // window for these values of the free parameters (in the order of the report).
  std::vector<double> evaluate(const std::vector<double>& freeValues, const ModelRun& run = {});
  // The depth grid's points for the model's layers, and the depth they reach below the surface.
  int gridPointsFor(const FitModel& m) const;
  double depthOf(int points) const;
  // The profiles of a model on its grid, as the fit calculates them.
  std::vector<profile> profilesOf(const FitModel& m) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvex
