#include "nra/numeric.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "nra/plots.h"
#include "state/session.h"

namespace tarvex {

SingleCollision singleCollision(double resonanceKeV, double stopping, double straggling) {
  SingleCollision c;
  c.emax = 4.0 * resonanceKeV * 0.54461699;
  c.r = 0.001 * stopping / (straggling * straggling);
  // Emin = Emax exp((Emin - Emax) r), by 20 fixed-point steps.
  c.emin = c.emax * std::exp(-c.emax * c.r);
  for (int i = 0; i < 20; ++i)
    c.emin = c.emax * std::exp((c.emin - c.emax) * c.r);
  c.lambda = std::log(c.emax / c.emin) * c.emin * c.emax / (c.emax - c.emin);
  c.sigma1 = std::sqrt(c.emin * c.emax - c.lambda * c.lambda);
  return c;
}

namespace {

// Tables larger than this would only exhaust the memory: refused like impossible parameters.
constexpr double kMaxTableValues = 4.0e8;

void logEntry(Session& s, int k, const spectro& d, double lambda, double step, bool first) {
  const std::string pad = first ? "" : " ";
  const double m1 = d.mean() / (k * lambda / step);
  s.logAppend("Auto #" + std::to_string(k) + ": \nIntegral:\t" + pad);
  s.logAppend(formatGeneral(d.integral(), 3, s.decimalSeparator()) + "\n");
  s.logAppend("M1:\t" + pad);
  s.logAppend(formatGeneral(m1, 3, s.decimalSeparator()) + "\n\n");
}

}  // namespace

void CalcNRPAutos(Session& s) {
  WorkingState& st = s.state();
  const double er = s.number("TFNRP.EditEnrg");
  const double maxE = s.number("TFNRP.EditMaxE");
  const double stopping = s.number("TFNRP.Editdedx");
  const double straggling = s.number("TFNRP.EditS");
  const SingleCollision c = singleCollision(er, stopping, straggling);
  s.controls().setText("TFNRP.EditEmax", formatGeneral(c.emax, 5, s.decimalSeparator()));
  s.controls().setText("TFNRP.EditEmin", formatGeneral(c.emin, 4, s.decimalSeparator()));
  s.host().processEvents();

  double step = 0.0;
  double nc = 0.0;
  double bins = 0.0;
  if (s.controls().checked("TFNRP.CheckAuto")) {
    step = 0.7 * c.emin;
    nc = std::ceil((30.0 * c.sigma1 + 1000.0 * maxE) / c.lambda);
    bins = std::ceil(1000.0 * maxE / (0.7 * c.emin));
    s.controls().setText("TFNRP.EditStep", formatGeneral(step, 5, s.decimalSeparator()));
    s.controls().setText("TFNRP.EditNc", formatGeneral(nc));
    s.controls().setText("TFNRP.EditVecsize", formatGeneral(bins));
  } else {
    step = s.number("TFNRP.EditStep");
    nc = s.integer("TFNRP.EditNc");
    bins = s.integer("TFNRP.EditVecsize");
  }
  s.host().processEvents();

  // Besides the grid reaching Emax: at least one collision, the single-collision distribution
  // inside the grid (up to the bin after Emax), and a table that fits in memory.
  const bool usable = bins * step >= c.emax && nc >= 1.0 && step > 0.0 &&
                      bins >= std::floor(c.emax / step) + 2.0 &&
                      (nc + 1.0) * bins <= kMaxTableValues;
  if (!usable) {
    s.host().showMessage("Error! Check parameters!");
    st.nraAutoValid = false;
    return;
  }
  const int n = static_cast<int>(bins);
  const int count = static_cast<int>(nc);

  std::vector<spectro>& table = st.nraLossDistributions;
  table.assign(static_cast<std::size_t>(count) + 1, spectro(n, step));
  table[0].setValue(0, static_cast<float>(1.0 / step));
  table[1].makeSingleCollision(n, step, c.emin, c.emax);
  logEntry(s, 1, table[1], c.lambda, step, true);
  for (int k = 2; k <= count; ++k) {
    table[k] = convolve(table[1], table[k - 1]);
    logEntry(s, k, table[k], c.lambda, step, false);
    s.setPanel(0, std::to_string(k) + " of " + std::to_string(count));
    s.host().processEvents();
  }
  s.setPanel(0, std::to_string(count) + " of " + std::to_string(count) + " OK!");
  s.setPanel(0, std::to_string(count) + " done!");
  st.nraAutoValid = true;
}

void CalcNumericExcitation(Session& s) {
  WorkingState& st = s.state();
  st.undoProfile = st.nraProfile;
  s.SetStatus("Calculating the numeric excitation curve...");
  const double er = s.number("TFNRP.EditEnrg");
  const double stopping = s.number("TFNRP.Editdedx");
  const double straggling = s.number("TFNRP.EditS");
  const SingleCollision c = singleCollision(er, stopping, straggling);
  s.controls().setText("TFNRP.EditEmin", formatGeneral(c.emin, 15, s.decimalSeparator()));
  s.controls().setText("TFNRP.EditEmax", formatGeneral(c.emax, 15, s.decimalSeparator()));
  const double a = stopping / c.lambda;  // collisions per Angstrom
  const double gamma = s.number("TFNRP.EditLor");
  const double spread = s.number("TFNRP.EditGauss");
  if (!(c.emin > 0.5)) {
    s.SetStatus("Numeric ERROR! Emin < 0.5 eV!");
    return;
  }
  if (s.parametersChanged()) {
    s.SetStatus("Calculating numeric convolutions...");
    CalcNRPAutos(s);
  }
  const int nc = s.integer("TFNRP.EditNc");
  if (static_cast<long long>(st.nraLossDistributions.size()) != static_cast<long long>(nc) + 1) {
    s.SetStatus("Calculating numeric convolutions...");
    CalcNRPAutos(s);
  }
  s.parametersChanged();  // the values just used become the baseline of the next test
  s.SetStatus("Calculating numeric excitation curve...");
  if (!st.nraAutoValid) {
    s.SetStatus("Numeric ERROR!");
    return;
  }

  const std::vector<spectro>& table = st.nraLossDistributions;
  const profile& p = st.nraProfile;
  spectro curve(table[1].size(), table[1].step);
  const std::vector<double> weights =
      p.collisionWeights(static_cast<int>(table.size()) - 1, a, 1.0);
  std::size_t len = curve.values.size();
  for (const spectro& d : table)
    len = std::min(len, d.values.size());
  curve.values.resize(len);
  for (std::size_t k = 0; k < table.size(); ++k) {
    const double w = weights[k] * p.step;
    if (w == 0.0) continue;  // adds exactly nothing
    const double* d = table[k].values.data();
    for (std::size_t i = 0; i < len; ++i)
      curve.values[i] += w * d[i];
  }
  curve.step = table.back().step;
  st.numericExcitation = curve;
  s.host().processEvents();
  broadenExcitation(s, st.numericExcitation, gamma, spread);
  PlotNumericExcitation(s);
  s.SetStatus("Done!");
}

}  // namespace tarvex
