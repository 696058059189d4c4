// The ion-scattering models' inputs from keyword arguments, shared by tarvex.meis and the layered
// fit: the composition, its depth profiles, beam, geometry, energy loss and plot window, and each
// model's own values, every one checked (a ValueError naming the argument).
#pragma once

#include <pybind11/pybind11.h>

#include <map>
#include <string>

#include "core/profile.h"
#include "meis/closed_form.h"
#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"

namespace tarvex::py {

namespace pyb = pybind11;

// The values every model shares.
struct MeisCommon {
  MeisRun run;
  double deltaE = 0.0;
  bool convolve = true;
  bool scc = true;
  MeisPlotWindow window;
  double background = 0.0;
  std::map<std::string, element> elements;
  std::map<std::string, profile> profiles;
};

// The composition: {name: (Z, mass, sigma_ev)} or {name: {"Z":, "mass":, "sigma":}}.
std::map<std::string, element> meisComposition(const pyb::object& elements);

// The shared keyword arguments of tarvex.meis.*, read and checked.
MeisCommon meisCommon(const pyb::object& elements, const pyb::object& profiles,
                      const pyb::object& step, double start, const pyb::object& layers,
                      double ionEnergy, double spread, double mass, double z, double thetaIn,
                      double thetaOut, double stopping, double straggling, double deltaE,
                      bool convolve, bool scc, long long windowMin, long long windowMax,
                      double dose, double background);

// The Gaussian (gaussian) or Bessel model's input.
ClosedFormInput closedFormInput(const MeisCommon& c, bool gaussian);
// The numeric model's input; the table grid's values are read only when autoGrid is off.
NumericMeisInput numericMeisInput(const MeisCommon& c, bool autoGrid, double tableStep,
                                  long long collisions, long long bins);
// The external cross-section model's input: the cross section and the single-collision
// correction's table from files or arrays.
ExternalMeisInput externalMeisInput(const MeisCommon& c, const pyb::object& crossSection,
                                    double density, long long collisions,
                                    const pyb::object& sccFile, double sccShift);

}  // namespace tarvex::py
