// The fit commands: "From profile", "Fit" and "Undo fit". The fit reads the fields once into a
// layered-fit problem over the current mode's model, runs it without touching the session, and
// publishes the best values once, through the fields and the "Calculate" command, so that the
// curve on the chart is exactly the command's curve.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fit/fit.h"
#include "fit/fit_model.h"

namespace tarvex {

class Session;

// The fit model of the session: what the fit window edits and the commands use (the values of
// the ion dose, shift, background and spread come from their fields when a fit starts). With the
// fit window's fields in the control store, they hold it.
FitModel currentFitModel(Session& s);
void setFitModel(Session& s, const FitModel& m);
// The result of the last successful fit of the session.
const FitReport& lastFitReport(Session& s);

// The fit problem of the session's current mode and model, with its curve function (which calls
// the model directly, with caches of its own). Reads and checks every field it needs.
LayeredFitProblem sessionFitProblem(Session& s, FitModel model);

// "From profile": the layers of the fit model from the current profile(s).
void FitFromProfile(Session& s);
// "Fit": fits the free parameters; on success the best values go into the fields and the fit
// model, the profile into the working state, and the curve is drawn. A fit that cannot start,
// diverges, fails or is stopped leaves fields, profiles and charts as they were.
void Fit(Session& s);
// "Undo fit": the fields, profiles and curves as they were before the last fit.
void UndoFit(Session& s);

// Registers FitFromProfile, Fit and UndoFit (and gives the session its fit state).
void registerFitActions(Session& s);

}  // namespace tarvex
