#include "core/stopping.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <stdexcept>

// The tables of data/stopping/, embedded by the build (generated source).
namespace tarvex::stopping_data {
extern const char kProton[];
extern const char kHelium[];
extern const char kProtonfit[];
extern const char kHeliumfit[];
extern const char kStraggling[];
}  // namespace tarvex::stopping_data

namespace tarvex {

namespace {

constexpr std::array<Element, kLastElement> kElements = {{
    {1, "H", 1.008},        {2, "He", 4.002602},  {3, "Li", 6.94},          {4, "Be", 9.0121831},
    {5, "B", 10.81},        {6, "C", 12.011},     {7, "N", 14.007},         {8, "O", 15.999},
    {9, "F", 18.998403163}, {10, "Ne", 20.1797},  {11, "Na", 22.98976928},  {12, "Mg", 24.305},
    {13, "Al", 26.9815385}, {14, "Si", 28.085},   {15, "P", 30.973761998},  {16, "S", 32.06},
    {17, "Cl", 35.45},      {18, "Ar", 39.948},   {19, "K", 39.0983},       {20, "Ca", 40.078},
    {21, "Sc", 44.955908},  {22, "Ti", 47.867},   {23, "V", 50.9415},       {24, "Cr", 51.9961},
    {25, "Mn", 54.938044},  {26, "Fe", 55.845},   {27, "Co", 58.933194},    {28, "Ni", 58.6934},
    {29, "Cu", 63.546},     {30, "Zn", 65.38},    {31, "Ga", 69.723},       {32, "Ge", 72.630},
    {33, "As", 74.921595},  {34, "Se", 78.971},   {35, "Br", 79.904},       {36, "Kr", 83.798},
    {37, "Rb", 85.4678},    {38, "Sr", 87.62},    {39, "Y", 88.90584},      {40, "Zr", 91.224},
    {41, "Nb", 92.90637},   {42, "Mo", 95.95},    {43, "Tc", 98.0},         {44, "Ru", 101.07},
    {45, "Rh", 102.90550},  {46, "Pd", 106.42},   {47, "Ag", 107.8682},     {48, "Cd", 112.414},
    {49, "In", 114.818},    {50, "Sn", 118.710},  {51, "Sb", 121.760},      {52, "Te", 127.60},
    {53, "I", 126.90447},   {54, "Xe", 131.293},  {55, "Cs", 132.90545196}, {56, "Ba", 137.327},
    {57, "La", 138.90547},  {58, "Ce", 140.116},  {59, "Pr", 140.90766},    {60, "Nd", 144.242},
    {61, "Pm", 145.0},      {62, "Sm", 150.36},   {63, "Eu", 151.964},      {64, "Gd", 157.25},
    {65, "Tb", 158.92535},  {66, "Dy", 162.500},  {67, "Ho", 164.93033},    {68, "Er", 167.259},
    {69, "Tm", 168.93422},  {70, "Yb", 173.045},  {71, "Lu", 174.9668},     {72, "Hf", 178.49},
    {73, "Ta", 180.94788},  {74, "W", 183.84},    {75, "Re", 186.207},      {76, "Os", 190.23},
    {77, "Ir", 192.217},    {78, "Pt", 195.084},  {79, "Au", 196.966569},   {80, "Hg", 200.592},
    {81, "Tl", 204.38},     {82, "Pb", 207.2},    {83, "Bi", 208.98040},    {84, "Po", 209.0},
    {85, "At", 210.0},      {86, "Rn", 222.0},    {87, "Fr", 223.0},        {88, "Ra", 226.0},
    {89, "Ac", 227.0},      {90, "Th", 232.0377}, {91, "Pa", 231.03588},    {92, "U", 238.02891},
}};

std::string fmt(double v) {
  std::ostringstream out;
  out.precision(6);
  out << v;
  return out.str();
}

// ---- Formula parser ----

class FormulaParser {
 public:
  explicit FormulaParser(std::string_view text) : text_(text) {}

  std::vector<FormulaPart> parse() {
    if (text_.empty()) throw std::invalid_argument("The formula is empty");
    std::vector<FormulaPart> parts;
    group(parts, 0);
    if (pos_ != text_.size()) fail("unexpected \"" + std::string(1, text_[pos_]) + "\"");
    return parts;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("Formula \"" + std::string(text_) + "\": " + what +
                                " at position " + std::to_string(pos_ + 1));
  }

  static void add(std::vector<FormulaPart>& parts, int z, double count) {
    for (auto& p : parts)
      if (p.z == z) {
        p.count += count;
        return;
      }
    parts.push_back({z, count});
  }

  // A sequence of elements and parenthesised groups up to ')' or the end.
  void group(std::vector<FormulaPart>& parts, int depth) {
    bool any = false;
    while (pos_ < text_.size() && text_[pos_] != ')') {
      const char c = text_[pos_];
      if (c == '(') {
        const std::size_t open = pos_;
        ++pos_;
        std::vector<FormulaPart> inner;
        group(inner, depth + 1);
        if (pos_ >= text_.size()) {
          pos_ = open;
          fail("unclosed \"(\"");
        }
        ++pos_;  // ')'
        const double n = count();
        for (const auto& p : inner)
          add(parts, p.z, p.count * n);
      } else if (c >= 'A' && c <= 'Z') {
        const std::size_t start = pos_;
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] >= 'a' && text_[pos_] <= 'z')
          ++pos_;
        const std::string_view symbol = text_.substr(start, pos_ - start);
        const Element* e = findElement(symbol);
        if (!e) {
          pos_ = start;
          fail("unknown element symbol \"" + std::string(symbol) + "\"");
        }
        add(parts, e->z, count());
      } else {
        fail(c == ' ' ? std::string("a space") : "unexpected \"" + std::string(1, c) + "\"");
      }
      any = true;
    }
    if (!any) fail(depth > 0 ? "an empty group" : "no element");
    if (depth == 0 && pos_ < text_.size()) fail("unmatched \")\"");
  }

  // An optional positive decimal count after an element or a group; 1 when absent.
  double count() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() &&
           ((text_[pos_] >= '0' && text_[pos_] <= '9') || text_[pos_] == '.'))
      ++pos_;
    if (pos_ == start) return 1.0;
    const std::string digits(text_.substr(start, pos_ - start));
    const bool oneDot = std::count(digits.begin(), digits.end(), '.') <= 1;
    const bool hasDigit = digits.find_first_of("0123456789") != std::string::npos;
    double n = 0.0;
    // from_chars reads a point as the decimal separator whatever the process's locale.
    if (oneDot && hasDigit) std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (!(oneDot && hasDigit) || !(n > 0.0) || !std::isfinite(n)) {
      pos_ = start;
      fail("the count \"" + digits + "\" is not a positive number");
    }
    return n;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// ---- The embedded tables ----

struct IonTables {
  std::vector<std::pair<int, StoppingTable>> tables;
};

// Reads one embedded table: comments (#), then "keV e1 e2 ...", then "Z symbol s1 s2 ...".
IonTables readEmbedded(const char* text, const char* caption) {
  IonTables out;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::string line;
  std::vector<double> grid;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    fields.imbue(std::locale::classic());
    std::string head;
    fields >> head;
    std::vector<double> values;
    if (head == "keV") {
      for (double v; fields >> v;)
        grid.push_back(v);
      continue;
    }
    std::string symbol;
    fields >> symbol;
    for (double v; fields >> v;)
      values.push_back(v);
    const int z = std::atoi(head.c_str());
    if (z < 1 || z > kLastElement || symbol != elementByZ(z).symbol || values.size() != grid.size())
      throw std::logic_error("Corrupt embedded stopping table of " + std::string(caption));
    out.tables.emplace_back(z, StoppingTable(grid, std::move(values),
                                             std::string("NIST ") + caption + " (ICRU Report 49)"));
  }
  return out;
}

const IonTables& builtIn(StoppingIon ion) {
  static const IonTables proton = readEmbedded(stopping_data::kProton, "PSTAR");
  static const IonTables helium = readEmbedded(stopping_data::kHelium, "ASTAR");
  return ion == StoppingIon::Proton ? proton : helium;
}

// Rows "Z c1 c2 ..." of `columns` coefficients for Z = first..92, after # comments.
template <std::size_t N>
std::array<std::array<double, N>, kLastElement + 1> readCoefficients(const char* text, int first,
                                                                     const char* caption) {
  std::array<std::array<double, N>, kLastElement + 1> out{};
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::string line;
  int expected = first;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    fields.imbue(std::locale::classic());
    int z = 0;
    fields >> z;
    auto& row = out.at(static_cast<std::size_t>(std::clamp(z, 0, kLastElement)));
    for (double& c : row)
      fields >> c;
    if (z != expected || fields.fail())
      throw std::logic_error(std::string("Corrupt embedded coefficients: ") + caption);
    ++expected;
  }
  if (expected != kLastElement + 1)
    throw std::logic_error(std::string("Incomplete embedded coefficients: ") + caption);
  return out;
}

using FitCoefficients = std::array<std::array<double, 5>, kLastElement + 1>;

const FitCoefficients& fitCoefficients(StoppingIon ion) {
  static const FitCoefficients proton =
      readCoefficients<5>(stopping_data::kProtonfit, 1, "protons");
  static const FitCoefficients helium =
      readCoefficients<5>(stopping_data::kHeliumfit, 1, "helium ions");
  return ion == StoppingIon::Proton ? proton : helium;
}

std::string elementList(StoppingIon ion) {
  std::string out;
  for (int z : tabulatedElements(ion)) {
    if (!out.empty()) out += ", ";
    out += elementByZ(z).symbol;
  }
  return out;
}

std::string missingMessage(StoppingIon ion, int z) {
  const Element& e = elementByZ(z);
  return std::string("No stopping table of ") + ionName(ion) + " in " + e.symbol +
         " (Z = " + std::to_string(z) + "): the built-in tables hold only " + elementList(ion) +
         ". Supply a table of your own for " + e.symbol + ".";
}

std::string rangeMessage(const std::string& what, double energyKeV, double lo, double hi) {
  return "The energy " + fmt(energyKeV) + " keV lies outside the range of " + what + " (" +
         fmt(lo) + " to " + fmt(hi) + " keV)";
}

}  // namespace

// ---- Elements ----

const Element& elementByZ(int z) {
  if (z < 1 || z > kLastElement)
    throw std::invalid_argument("No element with Z = " + std::to_string(z) + " (1 to " +
                                std::to_string(kLastElement) + ")");
  return kElements[static_cast<std::size_t>(z - 1)];
}

const Element* findElement(std::string_view symbol) {
  for (const auto& e : kElements)
    if (symbol == e.symbol) return &e;
  return nullptr;
}

// ---- Formulas ----

std::vector<FormulaPart> parseFormula(std::string_view formula) {
  const auto first = formula.find_first_not_of(" \t");
  if (first == std::string_view::npos) throw std::invalid_argument("The formula is empty");
  const auto last = formula.find_last_not_of(" \t");
  return FormulaParser(formula.substr(first, last - first + 1)).parse();
}

double molarMass(std::span<const FormulaPart> parts) {
  double m = 0.0;
  for (const auto& p : parts)
    m += p.count * elementByZ(p.z).mass;
  return m;
}

double atomsPerUnit(std::span<const FormulaPart> parts) {
  double n = 0.0;
  for (const auto& p : parts)
    n += p.count;
  return n;
}

// ---- Units ----

// 1 MeV cm^2/g = 1e6 eV cm^2/g * (mass/N_A) g/atom = 1e6 mass/N_A eV cm^2/atom, and
// 1 eV cm^2/atom = 1e15 eV/(1e15 atoms/cm^2).
double massToAtomicStopping(double mevCm2PerG, double mass) {
  return mevCm2PerG * mass * 1e21 / kAvogadro;
}

double atomicToMassStopping(double evPer1e15, double mass) {
  return evPer1e15 * kAvogadro / (mass * 1e21);
}

double unitsPerCm3(double density, double molarMass) {
  return density * kAvogadro / molarMass;
}

// eV/(1e15 /cm^2) * n /cm^3 = 1e-15 eV cm^2 * n /cm^3 = 1e-15 n eV/cm = 1e-23 n eV/Å.
double stoppingPerAngstrom(double evPer1e15, double unitsPerCm3) {
  return evPer1e15 * unitsPerCm3 * 1e-23;
}

double stoppingPerAreal(double evPerAngstrom, double unitsPerCm3) {
  return evPerAngstrom / (unitsPerCm3 * 1e-23);
}

// ---- StoppingTable ----

StoppingTable::StoppingTable(std::vector<double> energiesKeV, std::vector<double> stopping,
                             std::string source)
    : energies_(std::move(energiesKeV)), values_(std::move(stopping)), source_(std::move(source)) {
  if (energies_.size() != values_.size())
    throw std::invalid_argument("A stopping table needs as many stopping values as energies");
  if (energies_.size() < 2)
    throw std::invalid_argument("A stopping table needs at least two energies");
  for (std::size_t i = 0; i < energies_.size(); ++i) {
    if (!(energies_[i] > 0.0) || !std::isfinite(energies_[i]))
      throw std::invalid_argument("Stopping table: the energy " + fmt(energies_[i]) +
                                  " keV is not positive");
    if (i > 0 && !(energies_[i] > energies_[i - 1]))
      throw std::invalid_argument("Stopping table: the energies must increase (" +
                                  fmt(energies_[i - 1]) + " keV, then " + fmt(energies_[i]) +
                                  " keV)");
    if (!(values_[i] > 0.0) || !std::isfinite(values_[i]))
      throw std::invalid_argument("Stopping table: the stopping " + fmt(values_[i]) + " at " +
                                  fmt(energies_[i]) + " keV is not positive");
  }
}

double StoppingTable::at(double energyKeV) const {
  if (energies_.empty()) throw std::invalid_argument("Empty stopping table");
  if (!(energyKeV >= energies_.front() && energyKeV <= energies_.back()))
    throw std::invalid_argument("The energy " + fmt(energyKeV) +
                                " keV is outside the stopping table's range, " +
                                fmt(energies_.front()) + " to " + fmt(energies_.back()) + " keV");
  // First grid energy >= energyKeV.
  const auto it = std::lower_bound(energies_.begin(), energies_.end(), energyKeV);
  const auto i = static_cast<std::size_t>(it - energies_.begin());
  if (energies_[i] == energyKeV) return values_[i];
  const double x0 = std::log(energies_[i - 1]), x1 = std::log(energies_[i]);
  const double y0 = std::log(values_[i - 1]), y1 = std::log(values_[i]);
  const double t = (std::log(energyKeV) - x0) / (x1 - x0);
  return std::exp(y0 + t * (y1 - y0));
}

// ---- Built-in tables ----

const char* ionName(StoppingIon ion) {
  return ion == StoppingIon::Proton ? "protons" : "helium ions";
}

int ionCharge(StoppingIon ion) {
  return ion == StoppingIon::Proton ? 1 : 2;
}

std::vector<int> tabulatedElements(StoppingIon ion) {
  std::vector<int> out;
  for (const auto& [z, t] : builtIn(ion).tables)
    out.push_back(z);
  std::sort(out.begin(), out.end());
  return out;
}

bool hasTabulatedStopping(StoppingIon ion, int z) {
  for (const auto& entry : builtIn(ion).tables)
    if (entry.first == z) return true;
  return false;
}

const StoppingTable& tabulatedStopping(StoppingIon ion, int z) {
  for (const auto& entry : builtIn(ion).tables)
    if (entry.first == z) return entry.second;
  throw std::invalid_argument(missingMessage(ion, z));
}

// ---- ElementStopping ----

void ElementStopping::setUserTable(int z, StoppingTable perAtom) {
  elementByZ(z);
  for (auto& entry : user_)
    if (entry.first == z) {
      entry.second = std::move(perAtom);
      return;
    }
  user_.emplace_back(z, std::move(perAtom));
}

const StoppingTable* ElementStopping::userTable(int z) const {
  for (const auto& entry : user_)
    if (entry.first == z) return &entry.second;
  return nullptr;
}

bool ElementStopping::has(int z) const {
  if (userTable(z) != nullptr || hasTabulatedStopping(ion_, z)) return true;
  return z >= 1 && z <= kLastElement && !tablesOnly_;
}

StoppingOrigin ElementStopping::origin(int z) const {
  if (userTable(z) != nullptr) return StoppingOrigin::UserTable;
  if (hasTabulatedStopping(ion_, z)) return StoppingOrigin::Tabulated;
  if (tablesOnly_) throw std::invalid_argument(missingMessage(ion_, z));
  elementByZ(z);
  return StoppingOrigin::Fitted;
}

std::pair<double, double> ElementStopping::range(int z) const {
  switch (origin(z)) {
    case StoppingOrigin::UserTable: {
      const StoppingTable* t = userTable(z);
      return {t->minEnergy(), t->maxEnergy()};
    }
    case StoppingOrigin::Tabulated: {
      const StoppingTable& t = tabulatedStopping(ion_, z);
      return {t.minEnergy(), t.maxEnergy()};
    }
    case StoppingOrigin::Fitted:
      break;
  }
  return fittedStoppingRange(ion_);
}

double ElementStopping::atomic(int z, double energyKeV) const {
  switch (origin(z)) {
    case StoppingOrigin::UserTable:
      return userTable(z)->at(energyKeV);
    case StoppingOrigin::Tabulated:
      return massToAtomicStopping(tabulatedStopping(ion_, z).at(energyKeV), elementByZ(z).mass);
    case StoppingOrigin::Fitted:
      break;
  }
  return fittedStopping(ion_, z, energyKeV);
}

std::string ElementStopping::source(int z) const {
  switch (origin(z)) {
    case StoppingOrigin::UserTable:
      return userTable(z)->source();
    case StoppingOrigin::Tabulated:
      return tabulatedStopping(ion_, z).source();
    case StoppingOrigin::Fitted:
      break;
  }
  return fittedStoppingSource(ion_);
}

// ---- Fitted stopping ----

std::pair<double, double> fittedStoppingRange(StoppingIon ion) {
  // Where the fits follow the NIST tables of the elements both hold to a few per cent.
  return ion == StoppingIon::Proton ? std::pair{1.0, 1000.0} : std::pair{1.0, 4000.0};
}

std::string fittedStoppingSource(StoppingIon ion) {
  return ion == StoppingIon::Proton
             ? "ICRU Report 49 fit coefficients (Ziegler's form)"
             : "Ziegler 1977 helium fit coefficients (as adopted by ICRU Report 49)";
}

double fittedStopping(StoppingIon ion, int z, double energyKeV) {
  const auto [lo, hi] = fittedStoppingRange(ion);
  if (!(energyKeV >= lo && energyKeV <= hi))
    throw std::invalid_argument(rangeMessage(
        std::string("the fitted stopping of ") + ionName(ion) + " in " + elementByZ(z).symbol,
        energyKeV, lo, hi));
  const auto& a = fitCoefficients(ion).at(static_cast<std::size_t>(z));
  if (ion == StoppingIon::Proton) {
    constexpr double kProtonMassU = 1.007276;
    const double t = energyKeV / kProtonMassU;  // keV per atomic mass unit
    if (t < 10.0) return a[0] * std::sqrt(t);
    const double low = a[1] * std::pow(t, 0.45);
    const double high = a[2] / t * std::log(1.0 + a[3] / t + a[4] * t);
    return low * high / (low + high);
  }
  const double t = energyKeV / 1000.0;  // MeV
  const double low = a[0] * std::pow(1000.0 * t, a[1]);
  const double high = a[2] / t * std::log(1.0 + a[3] / t + a[4] * t);
  return low * high / (low + high);
}

// ---- Bragg's rule ----

CompoundStopping braggStopping(const ElementStopping& elements, std::span<const FormulaPart> parts,
                               double energyKeV) {
  CompoundStopping out;
  for (const auto& p : parts) {
    const double s = elements.atomic(p.z, energyKeV);
    out.terms.push_back({p.z, p.count, s});
    out.perUnit += p.count * s;
  }
  const double atoms = atomsPerUnit(parts);
  out.perAtom = atoms > 0.0 ? out.perUnit / atoms : 0.0;
  return out;
}

double braggStoppingPerAngstromAtDensity(const CompoundStopping& s,
                                         std::span<const FormulaPart> parts, double density) {
  if (!(density > 0.0) || !std::isfinite(density))
    throw std::invalid_argument("The density " + fmt(density) + " g/cm3 is not positive");
  return stoppingPerAngstrom(s.perUnit, unitsPerCm3(density, molarMass(parts)));
}

double braggStoppingPerAngstromAtAtomicDensity(const CompoundStopping& s, double atomsPerCm3) {
  if (!(atomsPerCm3 > 0.0) || !std::isfinite(atomsPerCm3))
    throw std::invalid_argument("The atomic density " + fmt(atomsPerCm3) +
                                " atoms/cm3 is not positive");
  return stoppingPerAngstrom(s.perAtom, atomsPerCm3);
}

// ---- Straggling ----

// 4 pi Z1^2 (e^2)^2 Z2 with e^2 in eV Å gives eV^2 Å^2 per atom; 1e15 atoms/cm^2 = 0.1 atoms/Å^2.
double bohrStragglingAreal(int z1, double z2) {
  constexpr double kPi = 3.14159265358979323846;
  return 4.0 * kPi * z1 * z1 * kE2EvAngstrom * kE2EvAngstrom * z2 * 0.1;
}

// N atoms/cm^3 = 1e-24 N atoms/Å^3.
double bohrStragglingPerAngstrom(int z1, double z2, double atomsPerCm3) {
  constexpr double kPi = 3.14159265358979323846;
  return 4.0 * kPi * z1 * z1 * kE2EvAngstrom * kE2EvAngstrom * atomsPerCm3 * 1e-24 * z2;
}

double chuCorrection(int z2, double mevPerAmu) {
  static const auto coefficients = readCoefficients<4>(stopping_data::kStraggling, 2, "straggling");
  elementByZ(z2);
  if (z2 < 2) return 1.0;
  if (!(mevPerAmu > 0.0) || !std::isfinite(mevPerAmu))
    throw std::invalid_argument("Chu's correction needs a positive energy");
  const auto& a = coefficients.at(static_cast<std::size_t>(z2));
  return 1.0 / (1.0 + a[0] * std::pow(mevPerAmu, a[1]) + a[2] * std::pow(mevPerAmu, a[3]));
}

double meanAtomicNumber(std::span<const FormulaPart> parts) {
  double zSum = 0.0;
  for (const auto& p : parts)
    zSum += p.count * p.z;
  const double atoms = atomsPerUnit(parts);
  return atoms > 0.0 ? zSum / atoms : 0.0;
}

}  // namespace tarvex
