#include "meis/external.h"

#include <cmath>
#include <string>
#include <utility>

#include "core/cancel.h"
#include "core/collision_table.h"
#include "core/curve_checks.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "core/physics.h"

namespace tarvex {

namespace {

constexpr const char* kNoScc =
    "\"SCC\" asks for the correction of an SCC file, and no correction (values that sum to more "
    "than 0) was given";

}  // namespace

double extTableBinCount(double deltaE) {
  return std::trunc(deltaE * 1000.0);
}

std::string extGridRefusal(const ExtTableParams& p, char sep) {
  const double binsReal = extTableBinCount(p.deltaE);
  if (p.nc < 1) return "Nc: " + std::to_string(p.nc) + " must be at least 1";
  if (!(binsReal >= 2.0)) {
    return "Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) +
           " leaves no energy grid of 1 eV bins: it must be 0.002 or more";
  }
  // One table serves every element.
  if (!collisionTableFits(p.nc, binsReal)) {
    return "Nc: " + std::to_string(p.nc) +
           " and Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) + " give " +
           collisionTableSizeText(p.nc, binsReal, 1.0, sep) + "; " + collisionTableLimitText(sep);
  }
  return {};
}

TableKey extTableKey(const ExtTableParams& p, const std::string& identity) {
  TableKey k;
  k.values = {p.deltaE, static_cast<double>(p.nc)};
  k.text = identity;
  return k;
}

std::string extCrossSectionRefusal(const CrossSectionTable& cs) {
  spectro single = cs.values;
  if (!single.values.empty()) single.values[0] = 0.0;
  if (single.integral() != 0.0) return {};
  return "The cross section file " + cs.source +
         " holds no loss value above 0 eV: there is no collision to count";
}

ExtTable buildExtTable(const ExtTableParams& p, const CrossSectionTable& cs, const ModelRun& run,
                       const TableListener& listener) {
  const ModelScope scope(run);
  ExtTable out;
  out.refusal = extCrossSectionRefusal(cs);
  if (!out.refusal.empty()) return out;
  spectro single = cs.values;
  single.values[0] = 0.0;
  single.normalize(1.0);
  spectro zeroLoss(static_cast<int>(extTableBinCount(p.deltaE)), 1.0);
  zeroLoss.setValue(0, 0.9f);
  double singleMean = 0.0;
  out.table = std::make_shared<const std::vector<spectro>>(buildCollisionTable(
      std::move(zeroLoss), std::move(single), p.nc,
      [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
        if (k == 1) singleMean = d.mean;
        const TableEntry entry{k, d.integral, k == 1 ? d.mean : d.mean / (k * singleMean)};
        out.entries.push_back(entry);
        if (listener) listener(entry);
        if (k == 1) return;
        run.advance(k, p.nc);
        run.pause();
      }));
  return out;
}

bool extTableCurrent(const ExtTableCache& cache, const TableKey& key, const std::string& name) {
  const auto k = cache.keys.find(name);
  const auto t = cache.tables.find(name);
  return k != cache.keys.end() && k->second == key && t != cache.tables.end() && t->second &&
         t->second->size() >= 2;
}

ExtElementSetup extElementSetup(const ExternalFrame& f, const element& el,
                                const std::vector<spectro>& table, const spectro& crossSection) {
  ExtElementSetup s;
  s.setup = prepareElement(el, f.run);
  s.m0 = table[1].integral();
  s.m1 = table[1].mean();
  // The rate never counts losses of 0 eV.
  spectro cs = crossSection;
  if (!cs.values.empty()) cs.values[0] = 0.0;
  const double fS = s.setup.k / std::cos(f.run.thetaIn * kDegreesToRadians) +
                    1.0 / std::cos(f.run.thetaOut * kDegreesToRadians);
  // sigma_total [cm^2] * N [1/cm^3] is a rate per cm; 1e-8 cm = 1 A.
  s.m = cs.integral() * f.density * fS * 1e-8;
  return s;
}

MeisElementResult externalElementSpectrum(const ExternalFrame& f, const std::string& name,
                                          const element& el, const profile& p,
                                          const std::vector<spectro>& d,
                                          const spectro& crossSection, const SccSource& scc,
                                          const ModelRun& run) {
  const ModelScope scope(run);
  const ExtElementSetup s = extElementSetup(f, el, d, crossSection);
  MeisElementResult out;
  out.setup = s.setup;
  const ElementSetup& e = s.setup;
  spectro sp;
  out.refusal = refusalOf([&] {
    checkPoissonWork(p.count, static_cast<double>(d.size()));
    const std::vector<double> w = p.collisionWeights(static_cast<int>(d.size()) - 1, s.m, 1.0);
    sp = mixCollisionTable(d, w, p.step * e.sigma, MixOrder::valueTimesWeight);
    sp.offset = e.k * f.run.e0 * 1000.0;
    // Here the correction comes before the broadening.
    if (f.scc && sp.integral() != 0.0) {
      if (f.sccBasic) {
        sp.convolveExponential(1.0 / el.sigma);
      } else {
        if (!scc) throw std::invalid_argument(kNoScc);
        SccCorrection c = scc(d[1].size(), d[1].step);
        if (c.table.integral() == 0.0) throw std::invalid_argument(kNoScc);
        c.table.normalize(1.0);
        sp = convolve(c.table, sp);
        sp.offset += c.shift;
      }
    }
    if (sp.integral() != 0.0 && f.convolve) {
      const std::string reach = spreadReachRefusal(sp, f.run.spread, f.decimalSeparator);
      if (!reach.empty()) throw std::invalid_argument(reach);
      sp.broadenGaussian(f.run.spread);
    }
    requireFiniteCurve(sp, "The external cross-section spectrum of " + name, p, f.decimalSeparator);
  });
  if (out.refusal.empty()) out.spectrum = std::move(sp);
  return out;
}

ExternalMeisResult externalMeisSpectra(const ExternalMeisInput& in, ExtTableCache& cache,
                                       const ModelRun& run) {
  const ModelScope scope(run);
  ExternalMeisResult out;
  const char sep = in.frame.decimalSeparator;
  std::string& refusal = out.spectra.refusal;
  refusal = ionEnergyRefusal(in.frame.run, sep);
  if (refusal.empty()) refusal = geometryRefusal(in.frame.run, in.elements, sep);
  if (refusal.empty()) refusal = spreadRefusal(in.frame.run, in.frame.convolve, sep);
  if (refusal.empty()) refusal = extGridRefusal(in.tables, sep);
  if (!refusal.empty()) return out;
  const TableKey key = extTableKey(in.tables, in.crossSection.identity);
  bool current = true;
  for (const auto& [name, el] : in.elements)
    current = current && extTableCurrent(cache, key, name);
  if (!current) {
    run.stage(ModelStage::collisionTable, {});
    ExtTable t = buildExtTable(in.tables, in.crossSection, run);
    if (!t.refusal.empty()) {
      refusal = t.refusal;
      return out;
    }
    for (const auto& [name, el] : in.elements) {
      cache.tables[name] = t.table;
      cache.keys[name] = key;
    }
    cache.crossSection = in.crossSection.values;
    out.built = std::move(t.entries);
  }
  const SccSource scc = [&in](int, double) { return in.scc; };
  const profile none;
  for (const auto& [name, el] : in.elements) {
    run.stage(ModelStage::curve, name);
    const auto p = in.profiles.find(name);
    MeisElementResult r =
        externalElementSpectrum(in.frame, name, el, p == in.profiles.end() ? none : p->second,
                                *cache.tables.at(name), cache.crossSection, scc, run);
    const bool refused = !r.refusal.empty();
    if (refused) refusal = r.refusal;
    out.spectra.elements[name] = std::move(r);
    if (refused) break;
    run.pause();
  }
  return out;
}

}  // namespace tarvex
