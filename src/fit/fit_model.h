// The fit model of a sample: up to six layers from the surface down, each with a thickness, one
// concentration per element (the resonant nuclide alone in resonant NRA) and the width of the
// error-function edge at its lower boundary; beside them the ion dose, the shift, a flat
// background and the beam spread. Each parameter is free or fixed, with optional bounds.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "core/profile.h"

namespace tarvex {

constexpr int kMaxFitLayers = 6;
constexpr int kMaxFitElements = 8;

struct FitParameter {
  double value = 0.0;
  bool free = false;
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
};

struct FitLayer {
  FitParameter thickness{0.0, false, 0.0};  // Å
  // One per element of the composition, in the composition's order (one in resonant NRA).
  std::vector<FitParameter> concentration;
  FitParameter sigma{0.0, false, 0.0};  // Å, width of the edge at the lower boundary
};

struct FitModel {
  std::vector<FitLayer> layers;
  // The values of these four are read from their fields when a fit starts.
  FitParameter dose;        // "Ion dose"
  FitParameter shift;       // "Shift" of the measured energies, keV
  FitParameter background;  // flat background, counts
  FitParameter spread;      // beam spread of the current mode, eV
  int maxIterations = 100;
};

// The start-up model: one 5 Å layer of concentration 1 with a sharp edge, its thickness and
// concentration free; everything else fixed. The beam spread is bounded below by zero.
FitModel defaultFitModel();

// The concentrations of the layers (element e of each layer) on the grid of p: depths are
// counted from p's start (the contamination layer holds nothing), the profile keeps its step
// and its extent, and below the last layer the concentration is 0. Each point holds the mean
// of the concentration over its cell, so that the curve moves smoothly with every thickness
// and edge width (an erfc edge of width sigma, or a sharp boundary when sigma is 0).
profile layeredProfile(profile p, const std::vector<FitLayer>& layers, std::size_t element);

// Layers read from profiles of one grid (one profile per element): each run of constant
// concentrations becomes a layer, and the transition below it sets the edge width (half the
// depth between the 16 % and 84 % points of the step). The substrate (all zero below the last
// run) is no layer. At most kMaxFitLayers layers; the deepest runs beyond that are left out.
// Thicknesses, concentrations and widths keep the free flags and bounds of `like`.
std::vector<FitLayer> layersFromProfiles(const std::vector<const profile*>& profiles,
                                         const std::vector<FitLayer>& like);

}  // namespace tarvex
