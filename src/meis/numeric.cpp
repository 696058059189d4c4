#include "meis/numeric.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/numtext.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {
namespace {

std::string general(const Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
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
  if (p.autoMode) {
    g = autoCollisionGrid(r0, p.deltaE, 10.0);
    // Nothing that could not be written as a step and whole numbers reaches the fields.
    if (!autoGridWritable(g) || !std::isfinite(r0.emax)) return "Error! Check parameters!";
  } else {
    g = {p.step, static_cast<double>(p.nc), static_cast<double>(p.bins)};
  }
  // The largest single loss is the same for every element.
  const std::string sizeFields =
      p.autoMode ? "Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) + " needs "
                 : "# Convolutions: " + formatGeneral(g.nc, 15, sep) +
                       " and Vector size: " + formatGeneral(g.bins, 15, sep) + " give ";
  return collisionGridRefusal(g, r0.emax, elements, sizeFields, sep);
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
    } else {
      refusal = collisionBinRefusal(g.step, t.range.emin, t.range.emax, s.decimalSeparator());
      if (!refusal.empty()) refusal += " of " + name;
    }
    plan[name] = t;
  }
  if (!refusal.empty()) {
    // The general words stay; a beam energy, stopping or straggling that is not positive (no
    // collision range at all) is named on a line of its own, as the other models name it.
    if (refusal == "Error! Check parameters!") {
      const std::string field = lossParameterRefusal(p.run, s.decimalSeparator());
      if (!field.empty()) refusal += "\n" + field;
    }
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
                            [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
                              const double ratio = d.mean / (k * r.mean / step);
                              s.logAppend("Auto #" + std::to_string(k) +
                                          ": \tIntegral= " + general(s, d.integral, 3) + "\t");
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
  runEngineCommand(s, "Numeric ERROR!", "the collision tables", [&] {
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
    requireFiniteCurve(s, sp, "The numeric spectrum of " + name, p);
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
  runEngineCommand(s, "Numeric ERROR!", "the numeric ion-scattering spectra",
                   [&] { numericMeis(s); });
}

}  // namespace tarvex
