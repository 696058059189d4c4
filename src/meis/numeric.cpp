#include "meis/numeric.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Tables larger than this would only exhaust the memory: refused like impossible parameters.
constexpr double kMaxTableValues = 4.0e8;

std::string general(Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

}  // namespace

void CalcMEISAutos(Session& s) {
  WorkingState& st = s.state();
  s.AddElement();
  const double e0 = s.number("TFMEIS.EditEnrg");
  const double deltaE = s.number("TFMEIS.EditDeltaE");
  MeisRun run;
  run.e0 = e0;
  run.thetaIn = s.number("TFMEIS.EditTIn");
  run.thetaOut = s.number("TFMEIS.EditTOut");
  run.stopping = s.number("TFMEIS.Editdedx");
  run.straggling = s.number("TFMEIS.EditS");
  const double d0 = run.stopping * 0.1;
  const double s0 = run.straggling * 0.1;
  run.m1 = s.number("TFMEIS.EditPmass");
  const CollisionRange r0 = collisionEnergyRange(e0, run.m1, d0, s0);
  s.controls().setText("TFMEIS.EditEmax", general(s, r0.emax, 5));
  s.controls().setText("TFMEIS.EditEmin", general(s, r0.emin, 4));
  s.host().processEvents();

  double step = 0.0, nc = 0.0, bins = 0.0;
  if (s.controls().checked("TFMEIS.CheckAuto")) {
    step = 0.7 * r0.emin;
    if (step > 10.0) step = 10.0;
    nc = std::trunc(std::ceil(
        (30.0 * std::sqrt(r0.emin * r0.emax - r0.mean * r0.mean) + 1000.0 * deltaE) / r0.mean));
    bins = std::trunc(std::ceil(1000.0 * deltaE / step));
    s.controls().setText("TFMEIS.EditStep", general(s, step, 5));
    s.controls().setText("TFMEIS.EditNc", general(s, nc));
    s.controls().setText("TFMEIS.EditVecsize", general(s, bins));
  } else {
    step = s.number("TFMEIS.EditStep");
    nc = s.integer("TFMEIS.EditNc");
    bins = s.integer("TFMEIS.EditVecsize");
  }
  // Besides the grid reaching emax: at least one collision, room for the bin after emax (the
  // largest single loss is the same for every element), and a table that fits in memory.
  const bool usable =
      bins * step >= r0.emax && nc >= 1.0 && step > 0.0 &&
      bins >= std::floor(r0.emax / step) + 2.0 &&
      (nc + 1.0) * bins * static_cast<double>(st.elementMap.size()) <= kMaxTableValues;
  if (!usable) {
    s.host().showMessage("Error! Check parameters!");
    st.meisAutoValid = false;
    return;
  }
  const int n = static_cast<int>(bins);
  const int count = static_cast<int>(nc);
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("Numeric calculation: " + name + " convolutions");
    run.m1 = s.number("TFMEIS.EditPmass");
    run.z1 = s.number("TFMEIS.EditZp");
    const ElementSetup e = prepareElement(el, run);
    const CollisionRange r = collisionEnergyRange(e0, run.m1, e.dedxEf, e.sEf);
    s.logAppend("Numeric Calculation: (inside loop) \n");
    logElement(s, name, e);
    s.logAppend("\nemin: " + general(s, r.emin) + "\n");
    s.logAppend("emax: " + general(s, r.emax) + "\n");
    s.logAppend("Step: " + general(s, step) + "\n\n");
    std::vector<spectro>& table = st.numericLossDistributions[name];
    table.assign(static_cast<std::size_t>(count) + 1, spectro(n, step));
    table[0].setValue(0, static_cast<float>(1.0 / step));
    table[1].makeSingleCollision(n, step, r.emin, r.emax);
    const auto logEntry = [&](int k) {
      const double ratio = table[k].mean() / (k * r.mean / step);
      s.logAppend("Auto #" + std::to_string(k) +
                  ": \tIntegral= " + general(s, table[k].integral(), 3) + "\t");
      s.logAppend("M1= " + general(s, ratio, 3) + "\n");
    };
    logEntry(1);
    for (int k = 2; k <= count; ++k) {
      table[k] = convolve(table[1], table[k - 1]);
      logEntry(k);
      s.setPanel(0, std::to_string(k));
      s.host().processEvents();
    }
  }
  st.meisAutoValid = true;
}

void CalcNumericMEIS(Session& s) {
  WorkingState& st = s.state();
  if (ensureComposition(s)) s.Updateplot();
  s.SetStatus("Numeric calculation...");
  s.host().processEvents();
  MeisRun run = readMeisRun(s);
  bool failed = false;
  double lastEmin = 1.0;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("Numeric: running " + name + " signal");
    const ElementSetup e = prepareElement(el, run);
    const CollisionRange r = collisionEnergyRange(run.e0, run.m1, e.dedxEf, e.sEf);
    const double mef = e.dedxEf / r.mean;  // collisions per Angstrom, in and out
    lastEmin = r.emin;
    s.logAppend("Numeric Calculation\n");
    logElement(s, name, e);
    s.logAppend("\nMef: " + general(s, mef) + "\n");
    s.logAppend("emin: " + general(s, r.emin) + "\n");
    s.logAppend("emax: " + general(s, r.emax) + "\n\n");
    if (s.parametersChanged()) CalcMEISAutos(s);
    if (!st.meisAutoValid) CalcMEISAutos(s);
    // An element added with "^" after the last build has no tables yet: build them first.
    if (st.meisAutoValid && st.numericLossDistributions[name].size() < 2) CalcMEISAutos(s);
    const std::vector<spectro>& table = st.numericLossDistributions[name];
    if (!(st.meisAutoValid && r.emin > 0.1) || table.size() < 2) {
      failed = true;  // the element keeps its previous spectrum
      continue;
    }
    s.parametersChanged();  // a new baseline: the next elements do not rebuild
    const profile& p = st.elementProfiles[name];
    spectro sp(table[1].size(), table[1].step);
    const std::vector<double> w = p.collisionWeights(static_cast<int>(table.size()) - 1, mef, 1.0);
    const double hs = p.step * e.sigma;
    for (std::size_t k = 0; k < table.size(); ++k) {
      if (w[k] == 0.0) continue;  // adds exactly nothing
      const std::vector<double>& d = table[k].values;
      const std::size_t len = std::min(sp.values.size(), d.size());
      sp.values.resize(len);
      for (std::size_t j = 0; j < len; ++j)
        sp.values[j] += (d[j] * w[k]) * hs;
    }
    sp.offset = e.k * run.e0 * 1000.0;
    postProcess(s, sp, run.spread, el.sigma);
    st.numericSpectra[name] = std::move(sp);
    s.host().processEvents();
    PlotNumericMEIS(s);
  }
  if (!failed) {
    s.SetStatus("Numeric calculation ready!");
  } else {
    s.SetStatus("Numeric ERROR!");
    if (lastEmin < 0.1) s.SetStatus("Numeric ERROR! Emin < 0.1 eV!");
  }
}

}  // namespace tarvex
