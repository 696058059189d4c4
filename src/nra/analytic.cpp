#include "nra/analytic.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/parallel.h"
#include "core/physics.h"
#include "nra/plots.h"
#include "state/session.h"

namespace tarvex {

spectro analyticExcitationCurve(const profile& p, double emaxKeV, double s, double omega) {
  constexpr double kStep = 10.0;  // eV; the numeric model's step edit does not apply here
  const double bins = std::ceil(emaxKeV * 1000.0 / kStep);
  if (!(bins >= 0.0) || bins > 5.0e7) {
    throw std::invalid_argument("Max Energy of " + std::to_string(emaxKeV) +
                                " keV gives no usable energy grid");
  }
  const int n = static_cast<int>(bins);
  spectro base(n, kStep);
  base.clear();
  const double g = 2.0 * s / (omega * omega);  // 1/epsilon, per keV
  const double h = s * g;                      // collisions per 1000 A
  const double dx = p.step;
  // Depth points are independent: each worker sums its slice, the slices are added in order.
  std::vector<std::vector<double>> partial(static_cast<std::size_t>(workerCount(p.count)),
                                           std::vector<double>(static_cast<std::size_t>(n), 0.0));
  parallelFor(p.count, [&](int worker, int begin, int end) {
    std::vector<double>& accumulator = partial[static_cast<std::size_t>(worker)];
    spectro work = base;
    for (int k = begin; k < end; ++k) {
      const double c = p.values[k];
      // A point without the nuclide adds exactly nothing (its distribution is all zeros).
      if (c == 0.0) continue;
      const double x = k * dx * 0.001;
      const double mu = h * x;
      work.values.assign(static_cast<std::size_t>(n), 0.0);
      if (n > 0) work.setValue(0, static_cast<float>(std::exp(-mu) * c * dx * (kStep * kStep)));
      for (int i = 1; i < n; ++i) {
        work.setValue(i, static_cast<float>(besselLossDensity(c, mu, g, i * kStep * 0.001) * dx));
      }
      for (int i = 0; i < n; ++i)
        accumulator[i] += work.values[i];
    }
  });
  std::vector<double> accumulator(static_cast<std::size_t>(n), 0.0);
  for (const std::vector<double>& part : partial) {
    for (int i = 0; i < n; ++i)
      accumulator[i] += part[i];
  }
  spectro curve = base;
  for (int i = 0; i < n; ++i)
    curve.setValue(i, static_cast<float>(accumulator[i]));
  return curve;
}

void CalcAnaliticExcitation(Session& session) {
  session.Updateplot();
  WorkingState& st = session.state();
  st.undoProfile = st.nraProfile;
  session.SetStatus("Calculating the analitic excitation curve...");
  const double gamma = session.number("TFNRP.EditLor");
  const double spread = session.number("TFNRP.EditGauss");
  const double emax = session.number("TFNRP.EditMaxE");
  const double s = session.number("TFNRP.Editdedx");
  const double omega = session.number("TFNRP.EditS");
  st.analyticExcitation = analyticExcitationCurve(st.nraProfile, emax, s, omega);
  broadenExcitation(session, st.analyticExcitation, gamma, spread);
  session.SetStatus("Done!");
  PlotAnaliticExcitation(session);
}

}  // namespace tarvex
