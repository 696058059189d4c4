// The fit model in the fields of the fit window (form TFFit), when the control store has them:
// the window's fields are then what the commands read and write.
#pragma once

#include <string>
#include <vector>

#include "fit/fit_model.h"

namespace tarvex {

class Session;

bool hasFitControls(const Session& s);
// The model the fields describe: "Layers:" layers, each parameter's value, free box and bounds
// (an empty bound is none); the ion dose, shift, background and spread take only their free
// boxes and bounds from here. Concentration column e belongs to elements[e] (one column in
// resonant NRA). Reads and checks every field before it returns.
FitModel fitModelFromControls(Session& s, std::size_t elements);
// Writes the model into the fields, and the element names into the column headings.
void fitModelToControls(Session& s, const FitModel& m, const std::vector<std::string>& elements);

}  // namespace tarvex
