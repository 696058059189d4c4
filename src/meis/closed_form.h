// The closed-form ion-scattering models: Gaussian (mean loss and straggling only) and Bessel
// (compound Poisson with exponentially distributed single losses), as functions of the frame's
// values, the composition and the element profiles.
#pragma once

#include <map>
#include <string>

#include "core/model.h"
#include "core/profile.h"
#include "meis/setup.h"

namespace tarvex {

// The values a closed-form model is computed from.
struct ClosedFormFrame {
  MeisRun run;                  // the Gaussian model uses the spread only with convolve
  double deltaE = 0.0;          // keV: the window of losses below the edge, in bins of 10 eV
  bool convolve = false;        // instrument broadening by the spread ("Convolve")
  bool scc = false;             // exponential single-collision correction ("SCC")
  char decimalSeparator = '.';  // of the numbers in refusals
};

struct ClosedFormInput {
  ClosedFormFrame frame;
  std::map<std::string, element> elements;
  // By element name; an element without one has an empty profile.
  std::map<std::string, profile> profiles;
};

// The first value of the frame that gives no spectrum, in the order the fields are read:
// "Delta E (keV):", the ion energy, the geometry, "dE/dx", "dW^2/dx", the spread (and in the
// Bessel model a spread far wider than the window). Empty when the frame is sound.
std::string gaussianRefusal(const ClosedFormFrame& f,
                            const std::map<std::string, element>& elements);
std::string besselRefusal(const ClosedFormFrame& f, const std::map<std::string, element>& elements);
// Every occupied depth point costs one density per bin, for every element of the composition
// that has a profile: refuses more than kMaxLossEvaluations.
std::string closedFormWorkRefusal(const ClosedFormFrame& f,
                                  const std::map<std::string, element>& elements,
                                  const std::map<std::string, profile>& profiles);

// The setup each model uses for an element: the Gaussian model keeps its straggling in keV^2 per
// 1000 A.
ElementSetup gaussianSetup(const ClosedFormFrame& f, const element& el);
ElementSetup besselSetup(const ClosedFormFrame& f, const element& el);

// One element's spectrum (of a sound frame), with its single-collision correction and, in the
// Bessel model, its broadening; refused when it leaves the range of the numbers a curve holds.
// Honours run.cancel at every occupied depth point.
MeisElementResult gaussianElementSpectrum(const ClosedFormFrame& f, const std::string& name,
                                          const element& el, const profile& p,
                                          const ModelRun& run = {});
MeisElementResult besselElementSpectrum(const ClosedFormFrame& f, const std::string& name,
                                        const element& el, const profile& p,
                                        const ModelRun& run = {});

// The spectra of every element in name order, after the refusals above; reports the stage
// ModelStage::curve per element.
MeisSpectra gaussianSpectra(const ClosedFormInput& in, const ModelRun& run = {});
MeisSpectra besselSpectra(const ClosedFormInput& in, const ModelRun& run = {});

}  // namespace tarvex
