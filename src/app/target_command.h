// The layered target of resonant NRA: reading the target window's fields into the model's
// input, the "Calculate" command of a layered target, and loading an R33 cross section.
#pragma once

#include <string>

#include "nra/deep.h"

namespace tarvex {

class Session;

inline constexpr int kMaxTargetLayers = 6;

// A thickness as typed: a number in nm, or with a unit (nm, um, µm, A, Å, or areal density
// "1e15/cm2" / "tfu"); atoms per cm^3 turn lengths into areal density. Returns 1e15 atoms/cm^2.
// Throws std::invalid_argument for other text or a thickness that is not positive.
double parseThickness(const std::string& text, double atomsPerCm3);

// The model's input from the fields (TFTarget, the NRA frame's resonance, width, beam spread and
// Max Energy). Throws std::invalid_argument naming the window and the field.
DeepNraInput readLayeredInput(Session& s);

void registerTargetActions(Session& s);

}  // namespace tarvex
