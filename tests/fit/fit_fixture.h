// What the fit's tests share: a session with the fit registered, the curve of a fit model as
// the fit sees it, measured points with Poisson noise, and a fast hafnium spectrum.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/fit_command.h"
#include "app/fit_controls.h"
#include "support/recording_host.h"

namespace tarvex::testing {

struct FitFixture : SessionFixture {
  FitFixture() {
    if (!session.hasAction("Fit")) registerFitActions(session);
  }

  // The plotted curve of the selected model for a model's parameters, as the fit sees it.
  std::vector<ChartPoint> curveFor(const FitModel& m, const std::string& series) {
    Session& s = session;
    if (s.nraMode()) {
      s.state().nraProfile = layeredProfile(s.state().nraProfile, m.layers, 0);
    } else {
      std::size_t e = 0;
      for (const auto& [name, el] : s.state().elementMap) {
        profile& p = s.state().elementProfiles[name];
        p = layeredProfile(p, m.layers, e++);
      }
    }
    s.CalcSimulation();
    return s.charts().series(series).points;
  }

  // Measured points: every `every`-th point of the curve with Poisson noise, at energies moved
  // by -shift (the program adds the shift to the measured energies).
  void measure(const std::vector<ChartPoint>& curve, double shift, int every, unsigned seed) {
    std::mt19937 rng(seed);
    auto& points = session.state().measuredPoints;
    points.clear();
    for (std::size_t i = 0; i < curve.size(); i += static_cast<std::size_t>(every)) {
      std::poisson_distribution<int> counts(std::max(curve[i].y, 1e-9));
      points.push_back({static_cast<float>(curve[i].x - shift), static_cast<float>(counts(rng))});
    }
    points.push_back({0.0f, 0.0f});  // the entry the reader leaves after the last line
  }

  // A fast, coarse ion-scattering spectrum of a hafnium layer (Bessel model, 0.05 Å depth
  // step, 2 keV of loss, from 80 keV).
  void fastHafniumSpectrum() {
    meisMode();
    session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
    set("TFMEIS.EditProfstep", "0.05");
    set("TFMEIS.EditDeltaE", "2");
    set("TFMEIS.EditSimMin", "80");
    addElement("Hf");
  }

  std::string lastMessage() const { return host.messages.empty() ? "" : host.messages.back(); }
};

}  // namespace tarvex::testing
