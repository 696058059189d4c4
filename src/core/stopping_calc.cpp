#include "core/stopping_calc.h"

#include "core/numtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace tarvex {

namespace {

std::string fmt(double v) {
  std::ostringstream out;
  out.precision(6);
  out << v;
  return out.str();
}

// Atomic fractions of a composition, so that "HfO2" and "Hf2O4" compare equal.
std::vector<std::pair<int, double>> fractions(std::span<const FormulaPart> parts) {
  const double atoms = atomsPerUnit(parts);
  std::vector<std::pair<int, double>> out;
  for (const auto& p : parts)
    out.emplace_back(p.z, atoms > 0.0 ? p.count / atoms : 0.0);
  std::sort(out.begin(), out.end());
  return out;
}

bool sameComposition(std::span<const FormulaPart> a, std::span<const FormulaPart> b) {
  const auto fa = fractions(a);
  const auto fb = fractions(b);
  if (fa.size() != fb.size()) return false;
  for (std::size_t i = 0; i < fa.size(); ++i)
    if (fa[i].first != fb[i].first || std::abs(fa[i].second - fb[i].second) > 5e-4) return false;
  return true;
}

constexpr double kAtomicMassUnitsPerProton = 1.007276;
constexpr double kHeliumMassU = 4.001506;  // the 4He nucleus

double ionMassU(StoppingIon ion) {
  return ion == StoppingIon::Proton ? kAtomicMassUnitsPerProton : kHeliumMassU;
}

}  // namespace

bool leadingNumber(std::string_view text, double& value, std::size_t& used) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;  // from_chars takes no plus sign
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc()) return false;
  used = static_cast<std::size_t>(ptr - text.data());
  return true;
}

const char* stragglingModelName(StragglingModel m) {
  return m == StragglingModel::Bohr ? "Bohr" : "Chu (Yang et al.)";
}

SampleDensity parseDensity(const std::string& text) {
  const std::string t = std::string(trim(text));
  if (t.empty()) throw std::invalid_argument("The density is empty");
  std::size_t used = 0;
  double v = 0.0;
  if (!leadingNumber(t, v, used))
    throw std::invalid_argument("'" + t + "' is not a density (g/cm3 or atoms/cm3)");
  const std::string unit = lowerAscii(trim(std::string_view(t).substr(used)));
  SampleDensity d;
  d.value = v;
  if (unit.empty())
    d.kind = v > 1e15 ? SampleDensity::Kind::AtomsPerCm3 : SampleDensity::Kind::GramsPerCm3;
  else if (unit == "g/cm3" || unit == "g/cm^3" || unit == "g/cc")
    d.kind = SampleDensity::Kind::GramsPerCm3;
  else if (unit == "at/cm3" || unit == "atoms/cm3" || unit == "at/cm^3" || unit == "atoms/cm^3" ||
           unit == "/cm3")
    d.kind = SampleDensity::Kind::AtomsPerCm3;
  else
    throw std::invalid_argument("'" + t + "': the density's unit must be g/cm3 or atoms/cm3");
  if (!(v > 0.0) || !std::isfinite(v))
    throw std::invalid_argument("The density " + t + " is not positive");
  return d;
}

void StoppingSources::setCompoundTable(std::vector<FormulaPart> parts, StoppingTable perAtom) {
  if (parts.empty()) throw std::invalid_argument("A compound table needs its composition");
  for (auto& entry : compounds_)
    if (sameComposition(entry.first, parts)) {
      entry = {std::move(parts), std::move(perAtom)};
      return;
    }
  compounds_.emplace_back(std::move(parts), std::move(perAtom));
}

const StoppingTable* StoppingSources::compoundTable(std::span<const FormulaPart> parts) const {
  for (const auto& entry : compounds_)
    if (sameComposition(entry.first, parts)) return &entry.second;
  return nullptr;
}

StoppingResult computeStopping(const StoppingSources& sources, const StoppingRequest& request) {
  StoppingResult r;
  r.ion = sources.ion();
  r.energyKeV = request.energyKeV;
  if (!(request.energyKeV > 0.0) || !std::isfinite(request.energyKeV))
    throw std::invalid_argument("The energy " + fmt(request.energyKeV) + " keV is not positive");
  r.parts = parseFormula(request.formula);
  if (!(request.density.value > 0.0) || !std::isfinite(request.density.value))
    throw std::invalid_argument("The density " + fmt(request.density.value) + " is not positive");
  const double atoms = atomsPerUnit(r.parts);
  r.atomsPerCm3 = request.density.kind == SampleDensity::Kind::AtomsPerCm3
                      ? request.density.value
                      : unitsPerCm3(request.density.value, molarMass(r.parts)) * atoms;

  const double mevPerAmu = request.energyKeV / 1000.0 / ionMassU(r.ion);
  const int z1 = ionCharge(r.ion);
  const StoppingTable* compound = sources.compoundTable(r.parts);
  double braggPerUnit = 0.0;
  double bohrPerUnit = 0.0;
  double chosenPerUnit = 0.0;
  for (const auto& p : r.parts) {
    ElementStoppingLine line;
    line.z = p.z;
    line.symbol = elementByZ(p.z).symbol;
    line.count = p.count;
    if (compound == nullptr) {
      line.atomic = sources.elements().atomic(p.z, request.energyKeV);
      line.source = sources.elements().source(p.z);
    }
    line.bohrAreal = bohrStragglingAreal(z1, p.z);
    line.chuFactor = chuCorrection(p.z, mevPerAmu);
    braggPerUnit += p.count * line.atomic;
    bohrPerUnit += p.count * line.bohrAreal;
    chosenPerUnit += p.count * line.bohrAreal *
                     (request.straggling == StragglingModel::Chu ? line.chuFactor : 1.0);
    r.elements.push_back(std::move(line));
  }
  if (compound != nullptr) {
    r.perAtom = compound->at(request.energyKeV);
    r.compoundSource = compound->source();
  } else {
    r.perAtom = braggPerUnit / atoms;
    r.compoundSource = "Bragg's rule";
  }
  r.evPerAngstrom = stoppingPerAngstrom(r.perAtom, r.atomsPerCm3);
  // Variances per 1e15 atoms/cm^2 of the compound, then per Å at its atomic density
  // (1e15 atoms/cm^2 = 0.1 atoms/Å^2; N atoms/cm^3 = 1e-24 N atoms/Å^3).
  const double perAngstromOfAreal = r.atomsPerCm3 * 1e-24 / 0.1;
  r.stragglingModel = request.straggling;
  r.bohrEv2PerAngstrom = bohrPerUnit / atoms * perAngstromOfAreal;
  r.stragglingEv2PerAngstrom = chosenPerUnit / atoms * perAngstromOfAreal;
  return r;
}

std::pair<double, double> stoppingRange(const StoppingSources& sources,
                                        const StoppingRequest& request) {
  const auto parts = parseFormula(request.formula);
  if (const StoppingTable* t = sources.compoundTable(parts))
    return {t->minEnergy(), t->maxEnergy()};
  double lo = 0.0;
  double hi = 1e300;
  for (const auto& p : parts) {
    const auto [a, b] = sources.elements().range(p.z);
    lo = std::max(lo, a);
    hi = std::min(hi, b);
  }
  return {lo, hi};
}

std::vector<std::pair<double, double>> stoppingCurve(const StoppingSources& sources,
                                                     const StoppingRequest& request, double lo,
                                                     double hi, int count) {
  std::vector<std::pair<double, double>> out;
  if (!(lo > 0.0) || !(hi > lo) || count < 2) return out;
  StoppingRequest at = request;
  for (int i = 0; i < count; ++i) {
    at.energyKeV = lo * std::pow(hi / lo, static_cast<double>(i) / (count - 1));
    try {
      out.emplace_back(at.energyKeV, computeStopping(sources, at).evPerAngstrom);
    } catch (const std::invalid_argument&) {
      // An energy outside some element's data: no point there.
    }
  }
  return out;
}

NraStoppingFields nraFieldsFrom(const StoppingResult& atResonance) {
  // Omega^2 in keV^2 per 1000 Å: the variance in eV^2/Å times 1000 Å, over 1e6 eV^2/keV^2.
  return {atResonance.evPerAngstrom, std::sqrt(atResonance.stragglingEv2PerAngstrom * 1e-3)};
}

MeisStoppingFields meisFieldsFrom(const StoppingSources& sources, StoppingRequest request,
                                  double kinematicFactor) {
  if (!(kinematicFactor > 0.0) || !(kinematicFactor <= 1.0))
    throw std::invalid_argument("The kinematic factor " + fmt(kinematicFactor) +
                                " is not between 0 and 1");
  MeisStoppingFields f;
  f.kinematicFactor = kinematicFactor;
  f.inEnergyKeV = request.energyKeV;
  f.outEnergyKeV = request.energyKeV * kinematicFactor;
  f.in = computeStopping(sources, request);
  request.energyKeV = f.outEnergyKeV;
  f.out = computeStopping(sources, request);
  // eV/Å -> eV/nm, eV^2/Å -> eV^2/nm: times 10.
  f.stoppingEvPerNm = 10.0 * 0.5 * (f.in.evPerAngstrom + f.out.evPerAngstrom);
  f.stragglingEv2PerNm =
      10.0 * 0.5 * (f.in.stragglingEv2PerAngstrom + f.out.stragglingEv2PerAngstrom);
  return f;
}

}  // namespace tarvex
