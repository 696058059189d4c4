#include "io/stopping_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "io/files.h"

namespace tarvex {
namespace {

constexpr const char* kTwoColumn = "two-column table";
constexpr const char* kSrim = "SRIM stopping table";

// ---- Text helpers ----

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back()))
    s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t hit = s.find(from); hit != std::string::npos; hit = s.find(from, at)) {
    out.append(s, at, hit - at);
    out.append(to);
    at = hit + from.size();
  }
  out.append(s, at, std::string::npos);
  s = std::move(out);
}

// Lines ended by LF, CR LF or CR; a leading UTF-8 byte-order mark is skipped.
std::vector<std::string_view> splitLines(std::string_view text) {
  if (startsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] != '\n' && text[k] != '\r') continue;
    lines.push_back(text.substr(from, k - from));
    if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
    from = k + 1;
  }
  if (from < text.size()) lines.push_back(text.substr(from));
  return lines;
}

template <typename IsSeparator>
std::vector<std::string_view> tokens(std::string_view s, IsSeparator sep) {
  std::vector<std::string_view> out;
  std::size_t k = 0;
  while (k < s.size()) {
    while (k < s.size() && sep(s[k]))
      ++k;
    const std::size_t from = k;
    while (k < s.size() && !sep(s[k]))
      ++k;
    if (k > from) out.push_back(s.substr(from, k - from));
  }
  return out;
}

std::vector<std::string_view> words(std::string_view s) {
  return tokens(s, isSpace);
}

// A token as the user sees it in a message (cut when long, bytes that are no printable ASCII
// shown as '?').
std::string shown(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    out += (u >= 0x20 && u < 0x7F) ? c : '?';
  }
  if (s.size() > 40) out += "...";
  return "\"" + out + "\"";
}

enum class Number { Ok, NotANumber, NotFinite };

// A whole token as a decimal number ("12", "-1.5e3", "+4"); not finite covers inf, nan and
// numbers beyond the double range.
Number readNumber(std::string_view s, double* value) {
  if (s.empty()) return Number::NotANumber;
  if (s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return Number::NotANumber;
  const std::string low = lower(s);
  const std::string_view body = low.front() == '-' ? std::string_view(low).substr(1) : low;
  if (startsWith(body, "inf") || startsWith(body, "nan")) return Number::NotFinite;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *value);
  if (r.ptr != s.data() + s.size()) return Number::NotANumber;
  if (r.ec == std::errc::result_out_of_range) return Number::NotFinite;
  if (r.ec != std::errc()) return Number::NotANumber;
  return std::isfinite(*value) ? Number::Ok : Number::NotFinite;
}

std::string fmt(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

[[noreturn]] void fail(const std::string& name, const std::string& what) {
  throw std::invalid_argument(name + ": " + what);
}
[[noreturn]] void failAt(const std::string& name, std::size_t line, const std::string& what) {
  throw std::invalid_argument(name + ", line " + std::to_string(line) + ": " + what);
}

// ---- Composition ----

double meanAtomMass(const std::vector<FormulaPart>& parts) {
  return molarMass(parts) / atomsPerUnit(parts);
}

double atomsPerCm3Of(double gPerCm3, const std::vector<FormulaPart>& parts) {
  return unitsPerCm3(gPerCm3, molarMass(parts)) * atomsPerUnit(parts);
}

// A formula for atomic fractions: whole counts when the ratios are small whole numbers
// ("HfO2"), otherwise the fractions ("Si0.4Ge0.6").
std::string formulaOf(const std::vector<FormulaPart>& parts) {
  if (parts.empty()) return "";
  double smallest = parts.front().count;
  for (const auto& p : parts)
    smallest = std::min(smallest, p.count);
  bool whole = smallest > 0.0;
  for (const auto& p : parts) {
    const double r = p.count / smallest;
    if (!(r < 20.5) || std::fabs(r - std::round(r)) > 0.005 * r) whole = false;
  }
  std::string out;
  for (const auto& p : parts) {
    out += elementByZ(p.z).symbol;
    if (whole) {
      const long n = std::lround(p.count / smallest);
      if (n != 1) out += std::to_string(n);
    } else if (parts.size() > 1) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.4g", p.count);
      out += buf;
    }
  }
  return out;
}

// ---- Units ----

bool needsAtomicDensity(const StoppingUnit& u) {
  return u.kind == StoppingUnit::Kind::PerLength;
}
bool needsMass(const StoppingUnit& u) {
  return u.kind == StoppingUnit::Kind::PerMass;
}

}  // namespace

const char* acceptedStoppingUnits() {
  return "eV/(1e15 atoms/cm2), eV/Angstrom (eV/A), eV/nm, keV/um (keV/micron), MeV/mm, "
         "MeV cm2/g, MeV/(g/cm2), keV/(mg/cm2), MeV/(mg/cm2), keV/(ug/cm2)";
}

std::optional<StoppingUnit> parseStoppingUnit(std::string_view text) {
  std::string s = lower(trim(text));
  // Symbols outside ASCII: Å (two spellings), µ (micro sign and Greek mu), ², the middle dot.
  replaceAll(s, "\xC3\x85", "a");
  replaceAll(s, "\xC3\xA5", "a");
  replaceAll(s, "\xE2\x84\xAB", "a");
  replaceAll(s, "\xC2\xB5", "u");
  replaceAll(s, "\xCE\xBC", "u");
  replaceAll(s, "\xC2\xB2", "2");
  replaceAll(s, "\xC2\xB7", "");
  replaceAll(s, "10^15", "1e15");
  replaceAll(s, "10**15", "1e15");
  std::string t;
  for (char c : s) {
    if (isSpace(c) || c == '^' || c == '(' || c == ')' || c == '[' || c == ']' || c == '*')
      continue;
    t += c;
  }
  replaceAll(t, "1e+15", "1e15");
  replaceAll(t, "1.0e15", "1e15");
  replaceAll(t, "angstroms", "a");
  replaceAll(t, "angstrom", "a");
  replaceAll(t, "microns", "um");
  replaceAll(t, "micron", "um");
  replaceAll(t, "atoms", "at");
  replaceAll(t, "atom", "at");
  // "E15" without its leading 1.
  for (std::size_t at = t.find("e15"); at != std::string::npos; at = t.find("e15", at + 2)) {
    if (at == 0 || t[at - 1] != '1') t = t.substr(0, at) + "1" + t.substr(at);
  }

  using K = StoppingUnit::Kind;
  struct Known {
    const char* name;
    K kind;
    double factor;
  };
  static const Known known[] = {
      {"ev/1e15at/cm2", K::Areal, 1.0},   {"evcm2/1e15at", K::Areal, 1.0},
      {"ev/1e15atcm-2", K::Areal, 1.0},   {"ev/a", K::PerLength, 1.0},
      {"ev/nm", K::PerLength, 0.1},       {"kev/um", K::PerLength, 0.1},
      {"mev/mm", K::PerLength, 0.1},      {"mevcm2/g", K::PerMass, 1.0},
      {"mev/g/cm2", K::PerMass, 1.0},     {"kev/mg/cm2", K::PerMass, 1.0},
      {"mev/mg/cm2", K::PerMass, 1000.0}, {"kev/ug/cm2", K::PerMass, 1000.0},
  };
  for (const auto& k : known)
    if (t == k.name) return StoppingUnit{k.kind, k.factor};
  return std::nullopt;
}

// eV/Å = 1e8 eV/cm; divided by N atoms/cm^3 gives eV cm^2 per atom, times 1e15 per 1e15 atoms.
double toAtomicStopping(double value, const StoppingUnit& unit, double atomsPerCm3,
                        double meanAtomMass) {
  switch (unit.kind) {
    case StoppingUnit::Kind::Areal:
      return value * unit.factor;
    case StoppingUnit::Kind::PerLength:
      return stoppingPerAreal(value * unit.factor, atomsPerCm3);
    case StoppingUnit::Kind::PerMass:
      return massToAtomicStopping(value * unit.factor, meanAtomMass);
  }
  return value;
}

namespace {

// ---- Checks shared by both formats ----

struct Row {
  std::size_t line = 0;
  double energyKeV = 0.0;
  double stopping = 0.0;
};

void checkRow(const std::string& name, const Row& r, const Row* previous) {
  if (!(r.energyKeV > 0.0))
    failAt(name, r.line, "the energy " + fmt(r.energyKeV) + " keV is not positive");
  if (previous && !(r.energyKeV > previous->energyKeV))
    failAt(name, r.line,
           "the energies must increase from row to row: " + fmt(r.energyKeV) + " keV follows " +
               fmt(previous->energyKeV) + " keV (line " + std::to_string(previous->line) + ")");
  if (!(r.stopping > 0.0))
    failAt(name, r.line, "the stopping " + fmt(r.stopping) + " is not positive");
}

StoppingTable tableOf(const std::string& name, const std::string& format,
                      const std::vector<Row>& rows, const StoppingUnit& unit, double atomsPerCm3,
                      double meanMass) {
  if (rows.size() < 2)
    fail(name, "the table has " + std::to_string(rows.size()) +
                   (rows.size() == 1 ? " row" : " rows") +
                   " of numbers; it needs at least two (ion energy in keV, stopping)");
  std::vector<double> energies, values;
  for (const Row& r : rows) {
    const double v = toAtomicStopping(r.stopping, unit, atomsPerCm3, meanMass);
    if (!(v > 0.0) || !std::isfinite(v))
      failAt(name, r.line,
             "the stopping " + fmt(r.stopping) + " gives no usable value per atom (" + fmt(v) +
                 " eV/(1e15 atoms/cm2))");
    energies.push_back(r.energyKeV);
    values.push_back(v);
  }
  return StoppingTable(std::move(energies), std::move(values),
                       "user table " + name + " (" + format + ")");
}

// ---- Two-column file ----

std::optional<StoppingIon> ionOfWord(std::string_view word) {
  const std::string w = lower(trim(word));
  for (const char* p : {"h", "p", "proton", "protons", "hydrogen", "1h", "h+", "h1"})
    if (w == p) return StoppingIon::Proton;
  for (const char* p : {"he", "alpha", "alphas", "helium", "4he", "he4", "he-4", "he+", "he++"})
    if (w == p) return StoppingIon::Helium;
  return std::nullopt;
}

struct Density {
  bool atoms = false;
  double value = 0.0;
};

std::optional<Density> readDensity(std::string_view text) {
  const auto w = words(text);
  if (w.empty()) return std::nullopt;
  Density d;
  if (readNumber(w.front(), &d.value) != Number::Ok || !(d.value > 0.0)) return std::nullopt;
  std::string unit;
  for (std::size_t k = 1; k < w.size(); ++k)
    unit += lower(w[k]);
  replaceAll(unit, "^", "");
  replaceAll(unit, "\xC2\xB3", "3");
  if (unit.empty()) {
    d.atoms = d.value > 1e15;  // no solid is that dense in g/cm^3
  } else if (unit == "g/cm3" || unit == "gcm-3" || unit == "g/cc") {
    d.atoms = false;
  } else if (unit == "atoms/cm3" || unit == "at/cm3" || unit == "atoms/cc" || unit == "/cm3" ||
             unit == "cm-3" || unit == "atomscm-3" || unit == "atcm-3") {
    d.atoms = true;
  } else {
    return std::nullopt;
  }
  return d;
}

StoppingFile parseTwoColumn(const std::vector<std::string_view>& lines, const std::string& name) {
  StoppingFile f;
  f.format = kTwoColumn;
  std::optional<std::string> unitsText;
  std::optional<Density> density;
  bool haveIon = false, haveTarget = false;
  std::vector<Row> rows;
  const auto isSeparator = [](char c) { return isSpace(c) || c == ',' || c == ';'; };

  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::size_t lineNo = k + 1;
    const std::string_view t = trim(lines[k]);
    if (t.empty()) continue;
    if (t.front() == '#') {
      const std::string_view body = trim(t.substr(1));
      const std::size_t colon = body.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string key = lower(trim(body.substr(0, colon)));
      const std::string_view value = trim(body.substr(colon + 1));
      const auto once = [&](bool& seen) {
        if (seen) failAt(name, lineNo, "a second \"" + key + "\" line");
        seen = true;
      };
      if (key == "ion") {
        once(haveIon);
        f.ion = ionOfWord(value);
        if (!f.ion)
          failAt(name, lineNo,
                 "the ion " + shown(value) +
                     " is not known: write H, p or proton for protons, He, alpha or 4He for "
                     "helium ions");
      } else if (key == "target") {
        once(haveTarget);
        try {
          f.parts = parseFormula(value);
        } catch (const std::invalid_argument& e) {
          failAt(name, lineNo,
                 "the target " + shown(value) + " is no element or formula: " + e.what());
        }
        if (f.parts.empty()) failAt(name, lineNo, "the target line names no element");
        f.target = std::string(value);
      } else if (key == "units" || key == "unit") {
        if (unitsText) failAt(name, lineNo, "a second \"units\" line");
        unitsText = std::string(value);
        if (!parseStoppingUnit(value))
          failAt(
              name, lineNo,
              "the units " + shown(value) + " are not known; accepted: " + acceptedStoppingUnits());
      } else if (key == "density") {
        if (density) failAt(name, lineNo, "a second \"density\" line");
        density = readDensity(value);
        if (!density)
          failAt(name, lineNo,
                 "the density " + shown(value) +
                     " is not a positive number in g/cm3 (or atoms/cm3), such as \"9.68 g/cm3\"");
      }
      continue;
    }
    const auto items = tokens(t, isSeparator);
    Row r;
    r.line = lineNo;
    double* into[2] = {&r.energyKeV, &r.stopping};
    for (std::size_t i = 0; i < items.size() && i < 2; ++i) {
      const Number n = readNumber(items[i], into[i]);
      if (n == Number::NotANumber)
        failAt(name, lineNo,
               shown(items[i]) +
                   " is not a number (a row holds the ion energy in keV and the stopping; "
                   "comments start with '#')");
      if (n == Number::NotFinite) failAt(name, lineNo, shown(items[i]) + " is not a finite number");
    }
    if (items.size() != 2)
      failAt(name, lineNo,
             "a row holds two numbers (the ion energy in keV and the stopping), this one " +
                 std::to_string(items.size()));
    checkRow(name, r, rows.empty() ? nullptr : &rows.back());
    rows.push_back(r);
  }

  const StoppingUnit unit =
      unitsText ? *parseStoppingUnit(*unitsText) : StoppingUnit{StoppingUnit::Kind::Areal, 1.0};
  f.unitsRead = unitsText ? *unitsText : "eV/(1e15 atoms/cm2) (no units line)";
  if (density) {
    if (density->atoms) {
      f.atomsPerCm3 = density->value;
    } else {
      f.densityGPerCm3 = density->value;
      if (!f.parts.empty()) f.atomsPerCm3 = atomsPerCm3Of(density->value, f.parts);
    }
  }
  const std::string unitName = shown(f.unitsRead);
  if (needsAtomicDensity(unit) && !f.atomsPerCm3) {
    if (!density)
      fail(name, "stopping in " + unitName +
                     " is per length: the file needs a \"# density:\" line (g/cm3) and a "
                     "\"# target:\" line to turn it into eV/(1e15 atoms/cm2)");
    fail(name, "stopping in " + unitName +
                   " is per length: with a density in g/cm3 the file needs a \"# target:\" line "
                   "(the formula gives the atoms per cm3)");
  }
  if (needsMass(unit) && f.parts.empty())
    fail(name, "stopping in " + unitName +
                   " is per mass: the file needs a \"# target:\" line (the formula gives the "
                   "mass of its atoms)");
  const double mass = f.parts.empty() ? 0.0 : meanAtomMass(f.parts);
  f.perAtom = tableOf(name, kTwoColumn, rows, unit, f.atomsPerCm3.value_or(0.0), mass);
  return f;
}

// ---- SRIM stopping table ----

// "key =" at the start of a line (case and spaces aside): the text after '=', else nullopt.
std::optional<std::string_view> valueAfter(std::string_view line, std::string_view key) {
  const std::string_view t = trim(line);
  if (lower(t.substr(0, key.size())) != key) return std::nullopt;
  const std::string_view rest = trim(t.substr(key.size()));
  if (rest.empty() || rest.front() != '=') return std::nullopt;
  return trim(rest.substr(1));
}

bool isDashLine(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty()) return false;
  for (char c : t)
    if (c != '-' && !isSpace(c)) return false;
  return true;
}

// The ranges after the stopping: pairs of a number and its unit ("1352 A", "8.21 um").
bool rangesFollow(const std::vector<std::string_view>& w, std::size_t from) {
  if ((w.size() - from) % 2 != 0) return false;
  for (std::size_t i = from; i < w.size(); i += 2) {
    double v = 0.0;
    const std::string unit = lower(w[i + 1]);
    if (readNumber(w[i], &v) != Number::Ok || (unit != "a" && unit != "nm" && unit != "um" &&
                                               unit != "mm" && unit != "m" && unit != "km"))
      return false;
  }
  return true;
}

std::optional<double> energyUnitKeV(std::string_view unit) {
  const std::string u = lower(unit);
  if (u == "ev") return 1e-3;
  if (u == "kev") return 1.0;
  if (u == "mev") return 1e3;
  if (u == "gev") return 1e6;
  return std::nullopt;
}

void readSrimIon(std::string_view value, std::size_t lineNo, const std::string& name,
                 StoppingFile& f) {
  const std::size_t open = value.find('[');
  const std::size_t close = value.find(']');
  double z = 0.0;
  if (open == std::string_view::npos || close == std::string_view::npos || close < open ||
      readNumber(trim(value.substr(open + 1, close - open - 1)), &z) != Number::Ok)
    failAt(name, lineNo, "the ion line does not give the ion's atomic number in [ ]");
  std::optional<double> mass;
  const std::string low = lower(value);
  const std::size_t m = low.find("mass");
  if (m != std::string::npos) {
    const std::size_t eq = low.find('=', m);
    const auto w =
        eq == std::string::npos ? std::vector<std::string_view>{} : words(value.substr(eq + 1));
    double v = 0.0;
    if (!w.empty() && readNumber(w.front(), &v) == Number::Ok) mass = v;
  }
  const std::string ionText = shown(trim(value.substr(0, open)));
  if (z == 1.0) {
    f.ion = StoppingIon::Proton;
    if (mass && std::fabs(*mass - 1.008) > 0.5)
      failAt(name, lineNo,
             "the table is for hydrogen of mass " + fmt(*mass) +
                 " amu; only protons and helium ions (4He) are used, whose stopping at an "
                 "energy differs from a heavier isotope's");
  } else if (z == 2.0) {
    f.ion = StoppingIon::Helium;
    if (mass && std::fabs(*mass - 4.003) > 0.5)
      failAt(name, lineNo,
             "the table is for helium of mass " + fmt(*mass) +
                 " amu; only protons and helium ions (4He) are used, whose stopping at an "
                 "energy differs from another isotope's");
  } else {
    failAt(name, lineNo,
           "the table is for the ion " + ionText + " (Z = " + fmt(z) +
               "); only protons and helium ions are used");
  }
}

StoppingFile parseSrim(const std::vector<std::string_view>& lines, const std::string& name) {
  StoppingFile f;
  f.format = kSrim;
  std::optional<std::size_t> unitsLine;
  std::string unitsText;
  std::vector<FormulaPart> fractions;

  std::size_t k = 0;
  for (; k < lines.size() && !unitsLine; ++k) {
    const std::size_t lineNo = k + 1;
    const std::string_view line = lines[k];
    if (const auto v = valueAfter(line, "ion")) {
      readSrimIon(*v, lineNo, name, f);
    } else if (const auto d = valueAfter(line, "density")) {
      // "Density =  9.6800E+00 g/cm3 = 8.3086E+22 atoms/cm3"
      const auto w = words(*d);
      for (std::size_t i = 0; i + 1 < w.size(); ++i) {
        double v = 0.0;
        if (readNumber(w[i], &v) != Number::Ok) continue;
        if (!(v > 0.0)) failAt(name, lineNo, "the density " + fmt(v) + " is not positive");
        const std::string u = lower(w[i + 1]);
        if (u == "g/cm3") f.densityGPerCm3 = v;
        if (u == "atoms/cm3") f.atomsPerCm3 = v;
      }
      if (!f.densityGPerCm3 && !f.atomsPerCm3)
        failAt(name, lineNo, "the density line gives neither g/cm3 nor atoms/cm3");
    } else if (lower(line).find("composition") != std::string::npos) {
      // Rows "    Hf     72    033.33   088.22" up to a line of '='.
      for (++k; k < lines.size(); ++k) {
        const std::string_view t = trim(lines[k]);
        if (!t.empty() && t.front() == '=') break;
        const auto w = words(t);
        double z = 0.0, percent = 0.0;
        if (w.size() < 3 || !std::isalpha(static_cast<unsigned char>(w[0].front())) ||
            readNumber(w[1], &z) != Number::Ok || readNumber(w[2], &percent) != Number::Ok)
          continue;  // the column headings
        if (!(z >= 1.0 && z <= kLastElement) || z != std::floor(z))
          failAt(name, k + 1, "the atomic number " + fmt(z) + " is no element of 1 to 92");
        if (!(percent > 0.0) || percent > 100.0)
          failAt(name, k + 1, "the atomic percentage " + fmt(percent) + " is not in (0, 100]");
        fractions.push_back({static_cast<int>(z), percent});
      }
    } else if (const auto u = valueAfter(line, "stopping units")) {
      unitsLine = lineNo;
      unitsText = std::string(*u);
    }
  }
  if (!unitsLine)
    fail(name, "no \"Stopping Units =\" line: the units of the table cannot be known; accepted: " +
                   std::string(acceptedStoppingUnits()));
  f.unitsRead = unitsText;
  const auto unit = parseStoppingUnit(unitsText);
  if (!unit) {
    const std::string low = lower(unitsText);
    if (low.find("reduced") != std::string::npos || low.find("l.s.s") != std::string::npos)
      failAt(name, *unitsLine,
             "stopping in L.S.S. reduced units is not read; write the table in another unit: " +
                 std::string(acceptedStoppingUnits()));
    failAt(name, *unitsLine,
           "the stopping units " + shown(unitsText) +
               " are not known; accepted: " + acceptedStoppingUnits());
  }

  if (!fractions.empty()) {
    double total = 0.0;
    for (const auto& p : fractions)
      total += p.count;
    for (auto& p : fractions)
      p.count /= total;
    f.parts = fractions;
    f.target = formulaOf(fractions);
  }
  if (!f.atomsPerCm3 && f.densityGPerCm3 && !f.parts.empty())
    f.atomsPerCm3 = atomsPerCm3Of(*f.densityGPerCm3, f.parts);
  // The mean mass of an atom as the file's own numbers give it, else from the composition.
  double mass = 0.0;
  if (f.densityGPerCm3 && f.atomsPerCm3)
    mass = *f.densityGPerCm3 * kAvogadro / *f.atomsPerCm3;
  else if (!f.parts.empty())
    mass = meanAtomMass(f.parts);
  if (needsAtomicDensity(*unit) && !f.atomsPerCm3)
    fail(name, "stopping in " + shown(unitsText) +
                   " is per length, and the header gives no density (atoms/cm3, or g/cm3 "
                   "with the target's composition)");
  if (needsMass(*unit) && !(mass > 0.0))
    fail(name, "stopping in " + shown(unitsText) +
                   " is per mass, and the header gives neither the density in g/cm3 and "
                   "atoms/cm3 nor the target's composition");

  // The table: from the line of dashes under the column headings to the next line of dashes.
  for (; k < lines.size() && !isDashLine(lines[k]); ++k) {
  }
  if (k == lines.size()) fail(name, "no table follows the \"Stopping Units\" line");
  std::vector<Row> rows;
  bool closed = false;
  for (++k; k < lines.size(); ++k) {
    const std::size_t lineNo = k + 1;
    const std::string_view t = trim(lines[k]);
    if (t.empty()) continue;
    if (t.front() == '-') {
      closed = true;
      break;
    }
    auto w = words(t);
    // "10.00keV": the unit written against the number.
    std::string_view energy = w.empty() ? std::string_view() : w[0];
    std::string_view energyUnit = w.size() > 1 ? w[1] : std::string_view();
    std::size_t next = 2;
    if (!energy.empty() && std::isalpha(static_cast<unsigned char>(energy.back()))) {
      std::size_t cut = energy.size();
      while (cut > 0 && std::isalpha(static_cast<unsigned char>(energy[cut - 1])))
        --cut;
      energyUnit = energy.substr(cut);
      energy = energy.substr(0, cut);
      next = 1;
    }
    Row r;
    r.line = lineNo;
    double value = 0.0, nuclear = 0.0;
    const auto scale = energyUnitKeV(energyUnit);
    if (w.size() < next + 2 || readNumber(energy, &value) != Number::Ok || !scale ||
        readNumber(w[next], &r.stopping) != Number::Ok ||
        readNumber(w[next + 1], &nuclear) != Number::Ok || !rangesFollow(w, next + 2))
      failAt(name, lineNo,
             "a row of the table holds the ion energy with its unit (eV, keV, MeV), the "
             "electronic and the nuclear stopping, then the ranges; this one is " +
                 shown(t));
    r.energyKeV = value * *scale;
    checkRow(name, r, rows.empty() ? nullptr : &rows.back());
    rows.push_back(r);
  }
  if (!closed)
    fail(name, "the table ends without the line of dashes that closes it: the file is cut short");
  f.perAtom = tableOf(name, kSrim, rows, *unit, f.atomsPerCm3.value_or(0.0), mass);
  return f;
}

bool looksLikeSrim(const std::vector<std::string_view>& lines) {
  bool ion = false, density = false;
  for (const auto& line : lines) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == '#') continue;
    if (valueAfter(t, "stopping units")) return true;
    if (valueAfter(t, "ion")) ion = true;
    if (valueAfter(t, "density")) density = true;
  }
  return ion && density;
}

}  // namespace

StoppingFile parseStoppingText(std::string_view text, const std::string& sourceName) {
  const auto lines = splitLines(text);
  if (looksLikeSrim(lines)) {
    // SRIM writes numbers with the decimal separator of the computer's language: a comma
    // between digits is a decimal point.
    std::string copy(text);
    for (std::size_t k = 1; k + 1 < copy.size(); ++k) {
      if (copy[k] == ',' && std::isdigit(static_cast<unsigned char>(copy[k - 1])) &&
          std::isdigit(static_cast<unsigned char>(copy[k + 1])))
        copy[k] = '.';
    }
    return parseSrim(splitLines(copy), sourceName);
  }
  return parseTwoColumn(lines, sourceName);
}

StoppingFile readStoppingFile(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status))
    throw std::invalid_argument("The stopping table " + path.string() + " does not exist");
  if (std::filesystem::is_directory(status))
    throw std::invalid_argument(path.string() + " is a folder, not a stopping table");
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxStoppingFileBytes)
    throw std::invalid_argument("The stopping table " + path.string() + " is " +
                                std::to_string(size / (1024 * 1024)) +
                                " MB: larger than the 10 MB a stopping table may have");
  std::string content;
  if (!readWholeFile(path.string(), &content, kMaxStoppingFileBytes))
    throw std::invalid_argument("The stopping table " + path.string() + " cannot be read");
  return parseStoppingText(content, name);
}

}  // namespace tarvex
