#include "meis/numeric.h"

#include <cmath>
#include <utility>

#include "core/cancel.h"
#include "core/curve_checks.h"
#include "core/numtext.h"

namespace tarvex {

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

MeisTablePlan planMeisTables(const MeisTableParams& p,
                             const std::map<std::string, element>& elements, char sep) {
  MeisTablePlan plan;
  plan.range =
      collisionEnergyRange(p.run.e0, p.run.m1, p.run.stopping * 0.1, p.run.straggling * 0.1);
  plan.refusal = meisTableGrid(p, plan.range, static_cast<double>(elements.size()), plan.grid, sep);
  // Every element needs a single-collision distribution on the grid.
  for (const auto& [name, el] : elements) {
    if (!plan.refusal.empty()) break;
    MeisElementTablePlan t;
    t.setup = prepareElement(el, p.run);
    t.range = collisionEnergyRange(p.run.e0, p.run.m1, t.setup.dedxEf, t.setup.sEf);
    if (!(t.range.emin > 0.0) || !std::isfinite(t.range.emax)) {
      plan.refusal = "Error! Check parameters!";
    } else {
      plan.refusal = collisionBinRefusal(plan.grid.step, t.range.emin, t.range.emax, sep);
      if (!plan.refusal.empty()) plan.refusal += " of " + name;
    }
    plan.elements[name] = t;
  }
  // The general words stay; a beam energy, stopping or straggling that is not positive (no
  // collision range at all) is named on a line of its own, as the other models name it.
  if (plan.refusal == "Error! Check parameters!") {
    const std::string field = lossParameterRefusal(p.run, sep);
    if (!field.empty()) plan.refusal += "\n" + field;
  }
  return plan;
}

MeisElementTable buildMeisElementTable(const MeisTablePlan& plan, const std::string& name,
                                       const ModelRun& run, const TableListener& listener) {
  const ModelScope scope(run);
  const CollisionRange& r = plan.elements.at(name).range;
  const int n = static_cast<int>(plan.grid.bins);
  const int count = static_cast<int>(plan.grid.nc);
  const double step = plan.grid.step;
  spectro zeroLoss(n, step);
  zeroLoss.setValue(0, static_cast<float>(1.0 / step));
  spectro single(n, step);
  single.makeSingleCollision(n, step, r.emin, r.emax);
  MeisElementTable out;
  out.table =
      buildCollisionTable(std::move(zeroLoss), std::move(single), count,
                          [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
                            const TableEntry entry{k, d.integral, d.mean / (k * r.mean / step)};
                            out.entries.push_back(entry);
                            if (listener) listener(entry);
                            if (k == 1) return;
                            run.advance(k, count);
                            run.pause();
                          });
  return out;
}

bool meisTableCurrent(const MeisTableCache& cache, const MeisTableParams& p,
                      const std::string& name, const element& el) {
  const auto key = cache.keys.find(name);
  const auto table = cache.tables.find(name);
  return key != cache.keys.end() && key->second == meisTableKey(p, el) &&
         table != cache.tables.end() && table->second.size() >= 2;
}

NumericElementSetup numericElementSetup(const MeisRun& run, const element& el) {
  NumericElementSetup s;
  s.setup = prepareElement(el, run);
  s.range = collisionEnergyRange(run.e0, run.m1, s.setup.dedxEf, s.setup.sEf);
  s.mef = s.setup.dedxEf / s.range.mean;  // collisions per Angstrom, in and out
  return s;
}

MeisElementResult numericElementSpectrum(const NumericFrame& f, const std::string& name,
                                         const element& el, const profile& p,
                                         const std::vector<spectro>& table, const ModelRun& run) {
  const ModelScope scope(run);
  MeisElementResult out;
  const NumericElementSetup s = numericElementSetup(f.run, el);
  out.setup = s.setup;
  const ElementSetup& e = s.setup;
  spectro sp;
  out.refusal = refusalOf([&] {
    checkPoissonWork(p.count, static_cast<double>(table.size()));
    const std::vector<double> w =
        p.collisionWeights(static_cast<int>(table.size()) - 1, s.mef, 1.0);
    sp = mixCollisionTable(table, w, p.step * e.sigma, MixOrder::valueTimesWeight);
    sp.offset = e.k * f.run.e0 * 1000.0;
    postProcess(sp, f.run.spread, el.sigma, f.convolve, f.scc, f.decimalSeparator);
    requireFiniteCurve(sp, "The numeric spectrum of " + name, p, f.decimalSeparator);
  });
  if (out.refusal.empty()) out.spectrum = std::move(sp);
  return out;
}

NumericMeisResult numericMeisSpectra(const NumericMeisInput& in, MeisTableCache& cache,
                                     const ModelRun& run) {
  const ModelScope scope(run);
  NumericMeisResult out;
  const char sep = in.decimalSeparator;
  NumericFrame frame{in.tables.run, in.convolve, in.scc, sep};
  frame.run.spread = in.spread;
  out.spectra.refusal = geometryRefusal(frame.run, in.elements, sep);
  if (out.spectra.refusal.empty()) out.spectra.refusal = spreadRefusal(frame.run, in.convolve, sep);
  if (!out.spectra.refusal.empty()) return out;
  out.plan = planMeisTables(in.tables, in.elements, sep);
  if (!out.plan.refusal.empty()) {
    out.spectra.refusal = out.plan.refusal;
    return out;
  }
  // Built aside and put in the cache together.
  std::map<std::string, MeisElementTable> built;
  for (const auto& [name, el] : in.elements) {
    if (meisTableCurrent(cache, in.tables, name, el)) continue;
    run.stage(ModelStage::collisionTable, name);
    built[name] = buildMeisElementTable(out.plan, name, run);
  }
  for (auto& [name, t] : built) {
    cache.tables[name] = std::move(t.table);
    cache.keys[name] = meisTableKey(in.tables, in.elements.at(name));
    out.built[name] = std::move(t.entries);
  }
  const profile none;
  for (const auto& [name, el] : in.elements) {
    run.stage(ModelStage::curve, name);
    const NumericElementSetup s = numericElementSetup(frame.run, el);
    if (!(s.range.emin > 0.1)) {
      MeisElementResult skipped;
      skipped.setup = s.setup;
      skipped.refusal = "Emin < 0.1 eV";
      out.spectra.elements[name] = std::move(skipped);
      continue;
    }
    const auto p = in.profiles.find(name);
    MeisElementResult r = numericElementSpectrum(
        frame, name, el, p == in.profiles.end() ? none : p->second, cache.tables.at(name), run);
    const bool refused = !r.refusal.empty();
    if (refused) out.spectra.refusal = r.refusal;
    out.spectra.elements[name] = std::move(r);
    if (refused) break;
    run.pause();
  }
  return out;
}

}  // namespace tarvex
