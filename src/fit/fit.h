// Fit of the selected model's plotted curve to the measured counts by their Poisson likelihood:
// the layered sample, ion dose, shift, flat background and beam spread, by GSL's trust-region
// Levenberg-Marquardt solver; each evaluation is the calculation "Calculate" runs.
#pragma once

#include <string>
#include <vector>

#include "fit/fit_model.h"

namespace tarvex {

class Session;

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

// The fit model of the session: what the fit window edits and the commands use (the values of
// the ion dose, shift, background and spread come from their fields when a fit starts). With the
// fit window's fields in the control store, they hold it.
FitModel currentFitModel(Session& s);
void setFitModel(Session& s, const FitModel& m);
// The result of the last successful fit of the session.
const FitReport& lastFitReport(Session& s);

// "From profile": the layers of the fit model from the current profile(s).
void FitFromProfile(Session& s);
// "Fit": fits the free parameters; on success the best values go into the fields and the fit
// model, the profile into the working state, and the curve is drawn. A fit that cannot start,
// diverges, fails or is stopped leaves fields, profiles and charts as they were.
void Fit(Session& s);
// "Undo fit": the fields, profiles and curves as they were before the last fit.
void UndoFit(Session& s);

// Registers FitFromProfile, Fit and UndoFit (and gives the session its fit model).
void registerFitActions(Session& s);

}  // namespace tarvex
