#include "meis/numeric.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/numtext.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {
namespace {

std::string general(const Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

bool wholeAndPositive(double v) {
  return std::isfinite(v) && v >= 1.0;
}

}  // namespace

MeisTableParams readMeisTableParams(Session& s) {
  MeisTableParams p;
  p.run.e0 = s.number("TFMEIS.EditEnrg");
  p.deltaE = s.number("TFMEIS.EditDeltaE");
  p.run.thetaIn = s.number("TFMEIS.EditTIn");
  p.run.thetaOut = s.number("TFMEIS.EditTOut");
  p.run.stopping = s.number("TFMEIS.Editdedx");
  p.run.straggling = s.number("TFMEIS.EditS");
  readProjectile(s, p.run);
  p.autoMode = s.controls().checked("TFMEIS.CheckAuto");
  if (!p.autoMode) {
    p.step = s.number("TFMEIS.EditStep");
    p.nc = s.integer("TFMEIS.EditNc");
    p.bins = s.integer("TFMEIS.EditVecsize");
  }
  return p;
}

TableKey meisTableKey(const MeisTableParams& p, const element& el) {
  TableKey k;
  k.values = {p.run.e0,       p.deltaE,       p.run.m1,         p.run.z1, p.run.thetaIn,
              p.run.thetaOut, p.run.stopping, p.run.straggling, el.mass,  p.autoMode ? 1.0 : 0.0};
  if (!p.autoMode) {
    k.values.insert(k.values.end(),
                    {p.step, static_cast<double>(p.nc), static_cast<double>(p.bins)});
  }
  return k;
}

std::string meisTableGrid(const MeisTableParams& p, const CollisionRange& r0, double elements,
                          MeisTableGrid& g, char sep) {
  const auto text = [sep](double v, int digits = 15) { return formatGeneral(v, digits, sep); };
  if (p.autoMode) {
    g.step = 0.7 * r0.emin;
    if (g.step > 10.0) g.step = 10.0;
    g.nc = std::trunc(std::ceil(
        (30.0 * std::sqrt(r0.emin * r0.emax - r0.mean * r0.mean) + 1000.0 * p.deltaE) / r0.mean));
    g.bins = std::trunc(std::ceil(1000.0 * p.deltaE / g.step));
    // Nothing that could not be written as a step and whole numbers reaches the fields.
    if (!(std::isfinite(g.step) && g.step > 0.0) || !wholeAndPositive(g.nc) ||
        !wholeAndPositive(g.bins) || !std::isfinite(r0.emax)) {
      return "Error! Check parameters!";
    }
  } else {
    g.step = p.step;
    g.nc = p.nc;
    g.bins = p.bins;
  }
  if (!(g.bins * g.step >= r0.emax)) return "Error! Check parameters!";
  if (!(std::isfinite(g.step) && g.step > 0.0)) {
    return "Step size (eV): " + text(g.step) + " must be a positive number of eV";
  }
  if (g.nc < 1.0) return "# Convolutions: " + text(g.nc) + " must be at least 1";
  // The largest single loss is the same for every element: the bin after it must be inside.
  const double needed = std::floor(r0.emax / g.step) + 2.0;
  if (g.bins < needed) {
    return "Vector size: " + text(g.bins) + " bins of " + text(g.step, 5) +
           " eV cannot hold the single-collision distribution up to Emax (" + text(r0.emax, 5) +
           " eV); it needs " + text(needed);
  }
  if (!collisionTableFits(g.nc, g.bins, elements)) {
    const std::string fields = p.autoMode ? "Delta E (keV): " + text(p.deltaE) + " needs "
                                          : "# Convolutions: " + text(g.nc) +
                                                " and Vector size: " + text(g.bins) + " give ";
    return fields + collisionTableSizeText(g.nc, g.bins, elements) + "; " +
           collisionTableLimitText();
  }
  return {};
}

namespace {

// One element's table, with what its log shows.
struct ElementTable {
  ElementSetup setup;
  CollisionRange range;
};

}  // namespace

void buildMeisTables(Session& s, const MeisTableParams& p) {
  WorkingState& st = s.state();
  s.AddElement();
  checkGeometry(s, p.run, st.elementMap);
  const CollisionRange r0 =
      collisionEnergyRange(p.run.e0, p.run.m1, p.run.stopping * 0.1, p.run.straggling * 0.1);
  if (std::isfinite(r0.emax)) s.controls().setText("TFMEIS.EditEmax", general(s, r0.emax, 5));
  if (std::isfinite(r0.emin)) s.controls().setText("TFMEIS.EditEmin", general(s, r0.emin, 4));
  s.eventPoint();

  MeisTableGrid g;
  std::string refusal =
      meisTableGrid(p, r0, static_cast<double>(st.elementMap.size()), g, s.decimalSeparator());
  // Every element needs a single-collision distribution on the grid.
  std::map<std::string, ElementTable> plan;
  for (const auto& [name, el] : st.elementMap) {
    if (!refusal.empty()) break;
    ElementTable t;
    t.setup = prepareElement(el, p.run);
    t.range = collisionEnergyRange(p.run.e0, p.run.m1, t.setup.dedxEf, t.setup.sEf);
    if (!(t.range.emin > 0.0) || !std::isfinite(t.range.emax)) {
      refusal = "Error! Check parameters!";
    } else if (std::ceil(t.range.emin / g.step) > std::floor(t.range.emax / g.step)) {
      refusal = "Step size (eV): " + general(s, g.step) + " leaves no bin between Emin (" +
                general(s, t.range.emin, 4) + " eV) and Emax (" + general(s, t.range.emax, 5) +
                " eV) of " + name;
    }
    plan[name] = t;
  }
  if (!refusal.empty()) {
    s.host().showMessage(refusal);
    st.meisAutoValid = false;
    return;
  }
  if (p.autoMode) {
    s.controls().setText("TFMEIS.EditStep", general(s, g.step, 5));
    s.controls().setText("TFMEIS.EditNc", general(s, g.nc));
    s.controls().setText("TFMEIS.EditVecsize", general(s, g.bins));
  }

  const int n = static_cast<int>(g.bins);
  const int count = static_cast<int>(g.nc);
  const double step = g.step;
  // Built aside and published together: a stop or an error leaves the previous tables.
  std::map<std::string, std::vector<spectro>> built;
  for (const auto& [name, t] : plan) {
    s.SetStatus("Numeric calculation: " + name + " convolutions");
    const ElementSetup& e = t.setup;
    const CollisionRange& r = t.range;
    s.logAppend("Numeric Calculation: (inside loop) \n");
    logElement(s, name, e);
    s.logAppend("\nemin: " + general(s, r.emin) + "\n");
    s.logAppend("emax: " + general(s, r.emax) + "\n");
    s.logAppend("Step: " + general(s, step) + "\n\n");
    spectro zeroLoss(n, step);
    zeroLoss.setValue(0, static_cast<float>(1.0 / step));
    spectro single(n, step);
    single.makeSingleCollision(n, step, r.emin, r.emax);
    built[name] =
        buildCollisionTable(std::move(zeroLoss), std::move(single), count,
                            [&](int k, const std::vector<spectro>& table) {
                              const spectro& d = table[static_cast<std::size_t>(k)];
                              const double ratio = d.mean() / (k * r.mean / step);
                              s.logAppend("Auto #" + std::to_string(k) +
                                          ": \tIntegral= " + general(s, d.integral(), 3) + "\t");
                              s.logAppend("M1= " + general(s, ratio, 3) + "\n");
                              if (k == 1) return;
                              s.setPanel(0, std::to_string(k));
                              s.eventPoint();
                            });
  }
  for (auto& [name, table] : built) {
    st.numericLossDistributions[name] = std::move(table);
    st.numericTableKeys[name] = meisTableKey(p, st.elementMap.at(name));
  }
  st.meisAutoValid = true;
}

void CalcMEISAutos(Session& s) {
  runMeisCommand(s, "Numeric ERROR!", "the collision tables", [&] {
    // The editor's element joins first, as every build adds it.
    const MeisTableParams p = readMeisTableParams(s);
    buildMeisTables(s, p);
  });
}

namespace {

bool tablesCurrent(WorkingState& st, const MeisTableParams& p, const std::string& name,
                   const element& el) {
  const auto key = st.numericTableKeys.find(name);
  return key != st.numericTableKeys.end() && key->second == meisTableKey(p, el) &&
         st.numericLossDistributions[name].size() >= 2;
}

void numericMeis(Session& s) {
  WorkingState& st = s.state();
  if (ensureComposition(s)) s.Updateplot();
  s.SetStatus("Numeric calculation...");
  s.eventPoint();
  const MeisRun run = readMeisRun(s);
  const MeisTableParams tableParams = readMeisTableParams(s);
  checkGeometry(s, run, st.elementMap);
  checkSpread(s, run);
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
    // The change test keeps deciding as it always did; besides, tables built from other values
    // than those read now (or none at all, for an element added with "^") are rebuilt.
    const bool changed = s.parametersChanged();
    if (changed || !tablesCurrent(st, tableParams, name, el)) buildMeisTables(s, tableParams);
    if (!st.meisAutoValid) buildMeisTables(s, tableParams);
    if (!(st.meisAutoValid && r.emin > 0.1) || !tablesCurrent(st, tableParams, name, el)) {
      failed = true;  // the element keeps its previous spectrum
      continue;
    }
    s.parametersChanged();  // a new baseline: the next elements do not rebuild
    const std::vector<spectro>& table = st.numericLossDistributions[name];
    const profile& p = st.elementProfiles[name];
    checkPoissonWork(p.count, static_cast<double>(table.size()));
    const std::vector<double> w = p.collisionWeights(static_cast<int>(table.size()) - 1, mef, 1.0);
    spectro sp = mixCollisionTable(table, w, p.step * e.sigma, MixOrder::valueTimesWeight);
    sp.offset = e.k * run.e0 * 1000.0;
    postProcess(s, sp, run.spread, el.sigma);
    st.numericSpectra[name] = std::move(sp);
    s.eventPoint();
    PlotNumericMEIS(s);
  }
  if (!failed) {
    s.SetStatus("Numeric calculation ready!");
  } else {
    s.SetStatus("Numeric ERROR!");
    if (lastEmin < 0.1) s.SetStatus("Numeric ERROR! Emin < 0.1 eV!");
  }
}

}  // namespace

void CalcNumericMEIS(Session& s) {
  runMeisCommand(s, "Numeric ERROR!", "the numeric ion-scattering spectra",
                 [&] { numericMeis(s); });
}

}  // namespace tarvex
