#include "app/stopping_command.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "core/numtext.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {

// One "Apply": the fields it wrote, what they held before and what it wrote into them.
struct StoppingApplied {
  std::vector<std::pair<std::string, std::string>> before;
  std::vector<std::pair<std::string, std::string>> written;
};

struct StoppingSessionState {
  StoppingSources protons{StoppingIon::Proton};
  StoppingSources helium{StoppingIon::Helium};
  std::vector<StoppingApplied> applied;  // back: the last
  // The mode the window's energy and ion were last taken from (true: resonant NRA).
  bool nraMode = true;
  // What the results shown are for ("protons in HfO2 at 100 keV"), until a field they were
  // computed from changes; empty when none are shown or they are marked as stale.
  std::string shownFor;
};

namespace {

constexpr const char* kForm = "TFStopping";
constexpr const char* kIon = "TFStopping.ComboIon";
constexpr const char* kIonName = "TFStopping.PanelIon";
constexpr const char* kFormula = "TFStopping.EditFormula";
constexpr const char* kDensity = "TFStopping.EditDensity";
constexpr const char* kEnergy = "TFStopping.EditEnergy";
constexpr const char* kModel = "TFStopping.ComboStraggling";
constexpr const char* kMode = "TFStopping.PanelMode";
constexpr const char* kStopping = "TFStopping.EditStopping";
constexpr const char* kStoppingUnit = "TFStopping.PanelStoppingUnit";
constexpr const char* kStraggling = "TFStopping.EditStraggling";
constexpr const char* kStragglingUnit = "TFStopping.PanelStragglingUnit";
constexpr const char* kUndo = "TFStopping.ButtonUndo";
constexpr const char* kStatus = "TFStopping.StatusStopping";
constexpr const char* kMemo = "TFStopping.MemoResult";
constexpr const char* kCurve = "ChartStopping.SeriesStopping";
constexpr const char* kEnergyLine = "ChartStopping.SeriesEnergy";
constexpr const char* kPoints = "ChartStopping.SeriesPoints";

// The units of the two fields of each mode, as their captions state them.
constexpr const char* kNraStoppingUnit = "eV/Å";
constexpr const char* kNraStragglingUnit = "Ω (Ω² in keV² per 1000 Å)";
constexpr const char* kMeisStoppingUnit = "eV/nm";
constexpr const char* kMeisStragglingUnit = "eV²/nm";

StoppingSessionState& stateOf(Session& s) {
  std::shared_ptr<StoppingSessionState>& st = s.stoppingState();
  if (!st) st = std::make_shared<StoppingSessionState>();
  return *st;
}

// A caption as the messages name a field: without the colon that ends a label.
std::string bare(std::string caption) {
  while (!caption.empty() && (caption.back() == ':' || caption.back() == ' '))
    caption.pop_back();
  return caption;
}

// `Stopping: "Formula": <what>`: the message of a field of the window.
std::invalid_argument fieldError(const Session& s, const std::string& key,
                                 const std::string& what) {
  return std::invalid_argument(s.controls().get(kForm).caption + ": \"" +
                               bare(s.controls().get(key).caption) + "\": " + what);
}

// `digits` significant digits, and every digit before the decimal separator below a million (a
// straggling of 20740 eV^2/nm, never 2.074E4).
std::string numberText(double v, char sep, int digits) {
  if (std::isfinite(v) && std::fabs(v) >= 1.0 && std::fabs(v) < 1.0e6) {
    digits = std::max(digits, static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1);
  }
  return formatGeneral(v, digits, sep);
}

std::string number(double v, const Session& s, int digits = 4) {
  return numberText(v, s.decimalSeparator(), digits);
}

StoppingIon readIon(const Session& s) {
  const std::string& text = s.controls().text(kIon);
  if (text == "H") return StoppingIon::Proton;
  if (text == "He") return StoppingIon::Helium;
  throw fieldError(s, kIon, "\"" + text + "\" is no ion of the data: choose H or He");
}

StragglingModel readModel(const Session& s) {
  const std::string& text = s.controls().text(kModel);
  for (StragglingModel m : {StragglingModel::Bohr, StragglingModel::Chu}) {
    if (text == stragglingModelName(m)) return m;
  }
  throw fieldError(s, kModel,
                   "\"" + text + "\" is no straggling model: choose " +
                       stragglingModelName(StragglingModel::Bohr) + " or " +
                       stragglingModelName(StragglingModel::Chu));
}

// A number typed with the session's decimal separator, as the densities' reader takes it.
std::string withPoint(std::string text, char sep) {
  if (sep != '.') {
    for (char& c : text) {
      if (c == sep) c = '.';
    }
  }
  return text;
}

// The chosen element of the ion-scattering frame: the one selected in the element list, or the
// one its element box shows.
std::pair<std::string, double> chosenElement(Session& s) {
  const Control& list = s.controls().get("TFMEIS.ListElements");
  if (list.itemIndex >= 0 && static_cast<std::size_t>(list.itemIndex) < list.items.size()) {
    const std::string& name = list.items[static_cast<std::size_t>(list.itemIndex)];
    auto it = s.state().elementMap.find(name);
    if (it != s.state().elementMap.end()) return {name, it->second.mass};
  }
  return {s.controls().text("TFMEIS.EditElname"), s.number("TFMEIS.EditMass")};
}

// The ion of the ion-scattering frame's projectile, or nothing for another Z.
std::optional<StoppingIon> projectileIon(double z) {
  if (z == 1.0) return StoppingIon::Proton;
  if (z == 2.0) return StoppingIon::Helium;
  return std::nullopt;
}

void showUnits(Session& s, bool nra) {
  ControlStore& c = s.controls();
  c.setText(kStoppingUnit, nra ? kNraStoppingUnit : kMeisStoppingUnit);
  c.setText(kStragglingUnit, nra ? kNraStragglingUnit : kMeisStragglingUnit);
}

void setStatus(Session& s, const std::string& text) {
  s.controls().setText(kStatus, text);
}

// The results of a calculation that no longer stand: the two values, the text and the chart.
void clearResults(Session& s) {
  stateOf(s).shownFor.clear();
  ControlStore& c = s.controls();
  c.setText(kStopping, "");
  c.setText(kStraggling, "");
  c.setText(kMemo, "");
  s.charts().setPoints(kCurve, {});
  s.charts().setPoints(kEnergyLine, {});
  s.charts().setPoints(kPoints, {});
}

std::string describeMode(const StoppingModeValues& m, const StoppingCalculation& calc,
                         const Session& s) {
  if (m.nra) {
    return "Resonant NRA: \"Stopping Power:\" and \"Straggling:\" at the resonance energy " +
           number(calc.request.energyKeV, s, 6) + " keV";
  }
  const MeisStoppingFields& f = *m.meis;
  return "Ion scattering: \"dE/dx\" and \"dW^2/dx\", mean of inbound (E0 = " +
         number(f.inEnergyKeV, s, 6) +
         " keV) and outbound (K·E0 = " + number(f.outEnergyKeV, s, 5) + " keV)";
}

// The text of a calculation: the sample, each element's stopping and source, the compound's in
// three units, the straggling, and the values for the mode's fields.
std::string resultText(const StoppingCalculation& calc, const Session& s) {
  const StoppingResult& r = calc.atEnergy;
  const auto n = [&](double v, int digits = 4) { return number(v, s, digits); };
  std::ostringstream out;
  std::string ion = ionName(calc.ion);
  ion[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(ion[0])));
  out << ion << " of " << n(r.energyKeV, 6) << " keV in " << calc.request.formula << ", ";
  if (calc.request.density.kind == SampleDensity::Kind::GramsPerCm3) {
    out << n(calc.request.density.value, 6) << " g/cm³ (" << n(r.atomsPerCm3) << " atoms/cm³)\n";
  } else {
    out << n(r.atomsPerCm3) << " atoms/cm³\n";
  }
  out << "\nElement  Atoms  Stopping, eV/(1e15 atoms/cm²)  Source\n";
  for (const ElementStoppingLine& e : r.elements) {
    std::string symbol = e.symbol;
    symbol.resize(std::max<std::size_t>(symbol.size(), 7), ' ');
    std::string count = n(e.count, 6);
    count.resize(std::max<std::size_t>(count.size(), 6), ' ');
    std::string value = n(e.atomic);
    value.resize(std::max<std::size_t>(value.size(), 29), ' ');
    out << symbol << "  " << count << " " << value << "  " << e.source << '\n';
  }
  out << "\nCompound (" << r.compoundSource << "):\n"
      << "  " << n(r.perAtom) << " eV/(1e15 atoms/cm²) = " << n(r.evPerAngstrom)
      << " eV/Å = " << n(r.evPerAngstrom * 10.0) << " eV/nm\n";
  out << "Straggling (" << stragglingModelName(r.stragglingModel)
      << "): " << n(r.stragglingEv2PerAngstrom * 10.0) << " eV²/nm";
  if (r.stragglingModel != StragglingModel::Bohr) {
    out << " (Bohr: " << n(r.bohrEv2PerAngstrom * 10.0) << " eV²/nm)";
  }
  out << '\n';
  const StoppingModeValues& m = calc.mode;
  out << '\n';
  if (m.nra) {
    out << "Resonant NRA fields, at the resonance energy " << n(r.energyKeV, 6) << " keV:\n"
        << "  \"Stopping Power:\" " << n(m.stopping) << ' ' << m.stoppingUnit << '\n'
        << "  \"Straggling:\" " << n(m.straggling) << ' ' << m.stragglingUnit << '\n';
  } else {
    const MeisStoppingFields& f = *m.meis;
    out << "Ion scattering fields: the mean of inbound (E0 = " << n(f.inEnergyKeV, 6)
        << " keV) and outbound (K·E0 = " << n(f.outEnergyKeV, 5) << " keV),\n"
        << "K = " << n(f.kinematicFactor, 5) << " for " << m.elementName << " (mass "
        << n(m.elementMass, 6) << ") at " << n(m.scatteringAngle, 6) << "°:\n"
        << "  \"dE/dx: (eV/nm)\" " << n(m.stopping) << " (in " << n(f.in.evPerAngstrom * 10.0)
        << ", out " << n(f.out.evPerAngstrom * 10.0) << ")\n"
        << "  \"dW^2/dx: (eV^2/nm)\" " << n(m.straggling) << " (in "
        << n(f.in.stragglingEv2PerAngstrom * 10.0) << ", out "
        << n(f.out.stragglingEv2PerAngstrom * 10.0) << ")\n";
  }
  if (!m.mismatch.empty()) out << "Not for this mode: " << m.mismatch << '\n';
  return out.str();
}

// The compound's stopping against the energy over the range of its data (at most 1 keV to
// 10 MeV, and always the energies marked), the energy chosen and the values marked.
void plot(Session& s, const StoppingSources& sources, const StoppingCalculation& calc) {
  const auto [lo, hi] = stoppingRange(sources, calc.request);
  std::vector<double> marked = {calc.request.energyKeV};
  if (calc.mode.meis) marked.push_back(calc.mode.meis->outEnergyKeV);
  double from = std::max(lo, 1.0);
  double to = std::min(hi, 1.0e4);
  for (double e : marked) {
    from = std::min(from, e);
    to = std::max(to, e);
  }
  std::vector<ChartPoint> curve;
  const Colour blue = s.charts().colour(kCurve);
  for (const auto& [e, v] : stoppingCurve(sources, calc.request, from, to, 200))
    curve.push_back({e, v, blue});
  const Colour red = s.charts().colour(kPoints);
  std::vector<ChartPoint> points;
  const double here = calc.atEnergy.evPerAngstrom;
  points.push_back({calc.request.energyKeV, here, red});
  if (calc.mode.meis) {
    points.push_back({calc.mode.meis->outEnergyKeV, calc.mode.meis->out.evPerAngstrom, red});
  }
  s.charts().setPoints(kCurve, std::move(curve));
  s.charts().setPoints(kEnergyLine,
                       {{calc.request.energyKeV, 0.0, red}, {calc.request.energyKeV, here, red}});
  s.charts().setPoints(kPoints, std::move(points));
}

// Publishes a calculation: the two values with their units, the mode, the text and the chart.
void show(Session& s, const StoppingCalculation& calc) {
  ControlStore& c = s.controls();
  const char sep = s.decimalSeparator();
  showUnits(s, calc.mode.nra);
  c.setText(kMode, describeMode(calc.mode, calc, s));
  c.setText(kStopping, stoppingFieldText(calc.mode.stopping, sep));
  c.setText(kStraggling, stoppingFieldText(calc.mode.straggling, sep));
  c.setText(kMemo, resultText(calc, s));
  plot(s, sessionStoppingSources(s, calc.ion), calc);
  stateOf(s).shownFor = std::string(ionName(calc.ion)) + " in " + calc.request.formula + " at " +
                        number(calc.request.energyKeV, s, 6) + " keV";
}

// Runs a command of the window; whatever ends it with an error is said in the window's status
// line too.
template <class Body>
void windowCommand(Session& s, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    setStatus(s, e.what());
    throw;
  }
}

// Whether two compositions have the same elements in atomic fractions within 5e-4 of each other
// (percentages written with two decimals).
bool roughlySameComposition(const std::vector<FormulaPart>& a, const std::vector<FormulaPart>& b) {
  if (a.size() != b.size()) return false;
  const double ta = atomsPerUnit(a);
  const double tb = atomsPerUnit(b);
  for (const FormulaPart& p : a) {
    const auto q =
        std::find_if(b.begin(), b.end(), [&](const FormulaPart& x) { return x.z == p.z; });
    if (q == b.end() || std::fabs(p.count / ta - q->count / tb) > 5e-4) return false;
  }
  return true;
}

void updateUndo(Session& s) {
  s.controls().setEnabled(kUndo, !stateOf(s).applied.empty());
}

}  // namespace

std::string stoppingFieldText(double value, char decimalSeparator) {
  return numberText(value, decimalSeparator, 4);
}

StoppingSources& sessionStoppingSources(Session& s, StoppingIon ion) {
  StoppingSessionState& st = stateOf(s);
  return ion == StoppingIon::Proton ? st.protons : st.helium;
}

StoppingCalculation calculateStopping(Session& s) {
  const ControlStore& c = s.controls();
  StoppingCalculation calc;
  // The window's fields in the order the user sees them.
  calc.ion = readIon(s);
  StoppingRequest& req = calc.request;
  req.formula = c.text(kFormula);
  std::vector<FormulaPart> parts;
  try {
    parts = parseFormula(req.formula);
  } catch (const std::invalid_argument& e) {
    throw fieldError(s, kFormula, e.what());
  }
  try {
    req.density = parseDensity(withPoint(c.text(kDensity), s.decimalSeparator()));
  } catch (const std::invalid_argument& e) {
    throw fieldError(s, kDensity, e.what());
  }
  try {
    req.energyKeV = parseFloat(c.text(kEnergy), s.decimalSeparator());
  } catch (const ConversionError& e) {
    throw fieldError(s, kEnergy, e.what());
  }
  if (!(req.energyKeV > 0.0) || !std::isfinite(req.energyKeV)) {
    throw fieldError(s, kEnergy, "the energy " + c.text(kEnergy) + " keV must be positive");
  }
  req.straggling = readModel(s);

  // The values for the current mode's fields, from the mode's own fields.
  StoppingModeValues& m = calc.mode;
  m.nra = s.nraMode();
  double kinematic = 0.0;
  if (m.nra) {
    m.stoppingKey = "TFNRP.Editdedx";
    m.stragglingKey = "TFNRP.EditS";
    m.stoppingUnit = kNraStoppingUnit;
    m.stragglingUnit = kNraStragglingUnit;
  } else {
    m.stoppingKey = "TFMEIS.Editdedx";
    m.stragglingKey = "TFMEIS.EditS";
    m.stoppingUnit = kMeisStoppingUnit;
    m.stragglingUnit = kMeisStragglingUnit;
    const double m1 = s.number("TFMEIS.EditPmass");
    const double z1 = s.number("TFMEIS.EditZp");
    const double thetaIn = s.number("TFMEIS.EditTIn");
    const double thetaOut = s.number("TFMEIS.EditTOut");
    const auto [name, mass] = chosenElement(s);
    m.elementName = name;
    m.elementMass = mass;
    m.scatteringAngle = 180.0 - thetaIn - thetaOut;
    kinematic = kinematicFactor(m1, mass, m.scatteringAngle);
    if (!(kinematic > 0.0) || !(kinematic <= 1.0) || !(m1 > 0.0)) {
      throw std::invalid_argument("Options, Ion Scattering: no projectile of mass " +
                                  number(m1, s, 6) + " is scattered from " + name + " (mass " +
                                  number(mass, s, 6) + ") at " + number(m.scatteringAngle, s, 6) +
                                  "°: the stopping after the scattering has no energy");
    }
    const std::optional<StoppingIon> projectile = projectileIon(z1);
    if (!projectile) {
      m.mismatch = "the projectile of the ion-scattering frame has Z = " + number(z1, s, 6) +
                   "; only protons and helium ions are supported";
    } else if (*projectile != calc.ion) {
      m.mismatch = std::string("the values are for ") + ionName(calc.ion) +
                   ", the ion-scattering frame's projectile is " + ionName(*projectile);
    }
  }

  // The data: every element must have some, over the energies asked for.
  const StoppingSources& sources = sessionStoppingSources(s, calc.ion);
  std::pair<double, double> range;
  try {
    range = stoppingRange(sources, req);
  } catch (const std::invalid_argument& e) {
    throw fieldError(s, kFormula, e.what());
  }
  const auto within = [&](double e) { return e >= range.first && e <= range.second; };
  const std::string rangeText =
      number(range.first, s, 6) + " to " + number(range.second, s, 6) + " keV";
  if (!within(req.energyKeV)) {
    throw fieldError(s, kEnergy,
                     number(req.energyKeV, s, 6) + " keV is outside the range of the data of " +
                         ionName(calc.ion) + " in " + req.formula + ", " + rangeText);
  }
  if (!m.nra && !within(kinematic * req.energyKeV)) {
    throw fieldError(s, kEnergy,
                     "the energy after the scattering from " + m.elementName +
                         ", K·E0 = " + number(kinematic * req.energyKeV, s, 6) +
                         " keV, is outside the range of the data of " + ionName(calc.ion) + " in " +
                         req.formula + ", " + rangeText);
  }
  try {
    calc.atEnergy = computeStopping(sources, req);
    if (m.nra) {
      const NraStoppingFields f = nraFieldsFrom(calc.atEnergy);
      m.stopping = f.stoppingEvPerAngstrom;
      m.straggling = f.omega;
    } else {
      m.meis = meisFieldsFrom(sources, req, kinematic);
      m.stopping = m.meis->stoppingEvPerNm;
      m.straggling = m.meis->stragglingEv2PerNm;
    }
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(c.get(kForm).caption + ": " + e.what());
  }
  if (!std::isfinite(m.stopping) || !std::isfinite(m.straggling) || !(m.stopping > 0.0) ||
      m.straggling < 0.0) {
    throw std::invalid_argument(c.get(kForm).caption + ": the data give no stopping for " +
                                req.formula + " at " + number(req.energyKeV, s, 6) + " keV");
  }
  return calc;
}

void takeStoppingInputFromMode(Session& s) {
  ControlStore& c = s.controls();
  const bool nra = s.nraMode();
  // Results shown for another mode, energy or ion no longer stand.
  const std::string energyBefore = c.text(kEnergy);
  const int ionBefore = c.get(kIon).itemIndex;
  const bool modeChanged = stateOf(s).nraMode != nra;
  stateOf(s).nraMode = nra;
  // The fields written here are no change of the user's: results that stay are still theirs.
  const std::string shownFor = std::move(stateOf(s).shownFor);
  stateOf(s).shownFor.clear();
  showUnits(s, nra);
  c.setText(kMode, nra ? "Resonant NRA: \"Stopping Power:\" and \"Straggling:\" at the "
                         "resonance energy"
                       : "Ion scattering: \"dE/dx\" and \"dW^2/dx\", mean of inbound and "
                         "outbound");
  // The mode's energy, when it is a number the window can use; otherwise the window keeps its
  // own (Calculate then names the mode's field no more than it needs to).
  const std::string modeEnergy = c.text(nra ? "TFNRP.EditEnrg" : "TFMEIS.EditEnrg");
  try {
    const double e = parseFloat(modeEnergy, s.decimalSeparator());
    if (std::isfinite(e) && e > 0.0) c.setText(kEnergy, modeEnergy);
  } catch (const ConversionError&) {
    // Not a number: the window's energy stays as it was.
  }
  int ion = 0;  // protons
  if (!nra) {
    // The projectile's Z as the frame has it; another ion than protons or helium ions stays
    // as the window has it, and the status says why.
    double z = 0.0;
    try {
      z = s.number("TFMEIS.EditZp");
    } catch (const ConversionError&) {
      z = 0.0;
    }
    const std::optional<StoppingIon> p = projectileIon(z);
    if (!p) {
      setStatus(s, "The ion-scattering frame's projectile (\"Projectile Z:\" " +
                       c.text("TFMEIS.EditZp") +
                       ") is neither a proton nor a helium ion: only protons and helium ions "
                       "are supported");
      ion = c.get(kIon).itemIndex;
    } else {
      ion = *p == StoppingIon::Proton ? 0 : 1;
    }
  }
  if (ion >= 0 && c.get(kIon).itemIndex != ion) c.setItemIndex(kIon, ion);
  c.setText(kIonName, ionName(ion == 1 ? StoppingIon::Helium : StoppingIon::Proton));
  if (modeChanged || energyBefore != c.text(kEnergy) || ionBefore != c.get(kIon).itemIndex) {
    clearResults(s);
  } else {
    stateOf(s).shownFor = shownFor;
  }
}

void ShowStopping(Session& s) {
  setStatus(s, "");
  takeStoppingInputFromMode(s);
  s.controls().setVisible(kForm, true);
}

namespace {

// Computes from the fields and shows the results; a refusal clears the results shown before.
StoppingCalculation calculateAndShow(Session& s) {
  StoppingCalculation calc;
  try {
    calc = calculateStopping(s);
  } catch (...) {
    clearResults(s);
    throw;
  }
  show(s, calc);
  return calc;
}

}  // namespace

void CalcStopping(Session& s) {
  windowCommand(s, [&] {
    const StoppingCalculation calc = calculateAndShow(s);
    setStatus(s, "Calculated: " + std::string(ionName(calc.ion)) + " in " + calc.request.formula +
                     " at " + number(calc.request.energyKeV, s, 6) + " keV");
  });
}

void ApplyStopping(Session& s) {
  windowCommand(s, [&] {
    const StoppingCalculation calc = calculateAndShow(s);
    const StoppingModeValues& m = calc.mode;
    if (!m.mismatch.empty()) {
      throw std::invalid_argument("Stopping: nothing applied: " + m.mismatch);
    }
    ControlStore& c = s.controls();
    const char sep = s.decimalSeparator();
    StoppingApplied applied;
    const std::pair<std::string, double> values[] = {{m.stoppingKey, m.stopping},
                                                     {m.stragglingKey, m.straggling}};
    for (const auto& [key, value] : values) {
      applied.before.emplace_back(key, c.text(key));
      applied.written.emplace_back(key, stoppingFieldText(value, sep));
    }
    for (const auto& [key, text] : applied.written)
      c.setText(key, text);
    const std::string text = "\"" + c.get(m.stoppingKey).caption + "\" " +
                             applied.written[0].second + " " + m.stoppingUnit + ", \"" +
                             c.get(m.stragglingKey).caption + "\" " + applied.written[1].second +
                             (m.nra ? "" : std::string(" ") + m.stragglingUnit);
    const std::string was =
        " (were " + applied.before[0].second + " and " + applied.before[1].second + ")";
    stateOf(s).applied.push_back(std::move(applied));
    updateUndo(s);
    setStatus(s, "Applied: " + text);
    s.logAppend("Stopping of " + std::string(ionName(calc.ion)) + " in " + calc.request.formula +
                " at " + number(calc.request.energyKeV, s, 6) + " keV applied: " + text + was +
                "\n");
    s.SetStatus("Stopping applied: " + text + was);
  });
}

void UndoStopping(Session& s) {
  windowCommand(s, [&] {
    StoppingSessionState& st = stateOf(s);
    if (st.applied.empty()) throw std::invalid_argument("Stopping: no applied values to undo");
    const StoppingApplied last = std::move(st.applied.back());
    st.applied.pop_back();
    updateUndo(s);
    ControlStore& c = s.controls();
    for (const auto& [key, text] : last.written) {
      if (c.text(key) != text) {
        throw std::invalid_argument("Stopping: nothing undone: \"" + c.get(key).caption +
                                    "\" was changed since (" + text + " was applied, it holds " +
                                    c.text(key) + ")");
      }
    }
    std::string restored;
    for (const auto& [key, text] : last.before) {
      c.setText(key, text);
      restored += (restored.empty() ? "\"" : ", \"") + c.get(key).caption + "\" " + text;
    }
    setStatus(s, "Undone: " + restored);
    s.SetStatus("Stopping apply undone: " + restored);
  });
}

void LoadStoppingTable(Session& s) {
  windowCommand(s, [&] {
    const auto file = s.host().openFile(
        FileDialog{"Load table...",
                   "Stopping tables (*.txt; *.dat; *.stp)|*.txt; *.dat; *.stp|All files (*.*)|*.*",
                   "txt", ""});
    if (!file) return;
    const std::string name = std::filesystem::path(*file).filename().string();
    // Everything is read and checked before anything is installed.
    StoppingFile table;
    try {
      table = readStoppingFile(std::filesystem::path(*file));
    } catch (const std::exception& e) {
      throw std::invalid_argument("Stopping: the table " + name +
                                  " was not loaded, nothing changed: " + e.what());
    }
    const std::string loaded = installStoppingTable(s, table, name);
    s.SetStatus(loaded);
    // The window shows the numbers with their new source when it can.
    bool shown = false;
    try {
      const StoppingCalculation calc = calculateStopping(s);
      show(s, calc);
      shown = true;
    } catch (const std::exception&) {
      // The table is loaded all the same; "Calculate" says what the window's fields lack. The
      // numbers shown before may come from the data the table replaced.
      clearResults(s);
    }
    setStatus(s, shown ? loaded : loaded + " (press Calculate once the fields are complete)");
  });
}

std::string installStoppingTable(Session& s, const StoppingFile& table, const std::string& name) {
  const StoppingIon ion = table.ion ? *table.ion : readIon(s);
  std::vector<FormulaPart> parts = table.parts;
  std::string target = table.target;
  if (parts.empty()) {
    // A table that does not name its target is for the sample in the window.
    try {
      parts = parseFormula(s.controls().text(kFormula));
    } catch (const std::invalid_argument& e) {
      throw fieldError(s, kFormula,
                       "the table " + name +
                           " names no target, so it is for the formula here, which does not "
                           "parse: " +
                           e.what());
    }
    target = s.controls().text(kFormula);
  } else if (parts.size() > 1) {
    // A stopping program states the composition in percent of two decimals: a table whose
    // fractions agree with the window's formula to that precision is the formula's.
    try {
      const std::vector<FormulaPart> formula = parseFormula(s.controls().text(kFormula));
      if (roughlySameComposition(formula, parts)) {
        parts = formula;
        if (target.empty()) target = s.controls().text(kFormula);
      }
    } catch (const std::invalid_argument&) {
      // Not the formula of the window: the table keeps its own composition.
    }
  }
  if (target.empty()) target = "of the file";
  const std::string source =
      table.perAtom.source().empty() ? "table of one's own, " + name : table.perAtom.source();
  StoppingTable perAtom(table.perAtom.energies(), table.perAtom.values(), source);
  StoppingSources& sources = sessionStoppingSources(s, ion);
  std::string what;
  if (parts.size() == 1) {
    const Element& el = elementByZ(parts.front().z);
    sources.elements().setUserTable(el.z, std::move(perAtom));
    what = std::string("element ") + el.symbol;
  } else {
    sources.setCompoundTable(parts, std::move(perAtom));
    what = "compound " + target + " (instead of Bragg's rule)";
  }
  std::string loaded = "Loaded " + name + ": " + ionName(ion) + " in the " + what + ", " +
                       number(table.perAtom.minEnergy(), s, 6) + " to " +
                       number(table.perAtom.maxEnergy(), s, 6) + " keV";
  if (!table.unitsRead.empty()) loaded += ", read in " + table.unitsRead;
  if (table.densityGPerCm3) {
    loaded += "; the file gives the density " + number(*table.densityGPerCm3, s, 6) + " g/cm³";
  }
  return loaded;
}

void registerStoppingActions(Session& s) {
  s.stoppingState() = std::make_shared<StoppingSessionState>();
  s.registerAction("ShowStopping", [&s] { ShowStopping(s); });
  s.registerAction("CalcStopping", [&s] { CalcStopping(s); });
  s.registerAction("ApplyStopping", [&s] { ApplyStopping(s); });
  s.registerAction("UndoStopping", [&s] { UndoStopping(s); });
  s.registerAction("LoadStoppingTable", [&s] { LoadStoppingTable(s); });
  ControlStore& c = s.controls();
  // The ion's name beside its symbol.
  c.onClick(kIon, [&s] {
    ControlStore& cs = s.controls();
    const int i = cs.get(kIon).itemIndex;
    cs.setText(kIonName, ionName(i == 1 ? StoppingIon::Helium : StoppingIon::Proton));
  });
  showUnits(s, s.nraMode());
  // A change of mode gives the window the new mode's energy and ion.
  stateOf(s).nraMode = s.nraMode();
  // A field the results were computed from changes: they are marked as no longer its.
  c.observe([&s](const std::string& key) {
    const std::shared_ptr<StoppingSessionState>& st = s.stoppingState();
    if (!st) return;
    if (key == "TFOptions.RadioMEIS" || key == "TFOptions.RadioNRP") {
      if (st->nraMode != s.nraMode()) takeStoppingInputFromMode(s);
      return;
    }
    if (st->shownFor.empty()) return;
    if (key == kIon || key == kFormula || key == kDensity || key == kEnergy || key == kModel) {
      const std::string was = st->shownFor;
      st->shownFor.clear();
      setStatus(s, "The fields changed since: the values shown are for " + was +
                       "; Calculate (or Apply) takes the fields as they are now");
    }
  });
}

}  // namespace tarvex
