// Electronic stopping and energy-loss straggling of protons and helium ions in a sample: the
// tabulated stopping in the elements (NIST PSTAR/ASTAR after ICRU Report 49, embedded at build
// time from data/stopping/), tables of the user's own, chemical formulas, Bragg's rule, the unit
// conversions and Bohr's straggling.
//
// Units: energies are the ion's kinetic energy in keV. Stopping is tabulated in MeV cm^2/g and
// used per atom (or per molecule) in eV/(1e15 atoms/cm^2); with a density it becomes eV/Å.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

// ---- Elements --------------------------------------------------------------------------------

struct Element {
  int z = 0;
  const char* symbol = "";
  // Standard atomic weight, g/mol (for elements without a stable isotope, the mass number of
  // the longest-lived one).
  double mass = 0.0;
};

inline constexpr int kLastElement = 92;

// Z = 1..92; throws std::invalid_argument for any other Z.
const Element& elementByZ(int z);
// The element of a symbol as written in formulas ("Si", case-sensitive), or nullptr.
const Element* findElement(std::string_view symbol);

// ---- Chemical formulas -----------------------------------------------------------------------

struct FormulaPart {
  int z = 0;
  double count = 0.0;  // atoms per formula unit
};

// Parses a formula such as "HfO2", "Ta2O5", "Si0.4Ge0.6" or "Ca(OH)2": element symbols, each
// followed by an optional positive count (a decimal number, default 1); parentheses group
// elements under a common count. Repeated elements are added up; the parts keep the order of
// first appearance. Spaces around the formula are ignored. Throws std::invalid_argument with a
// message naming the 1-based character position of what does not parse.
std::vector<FormulaPart> parseFormula(std::string_view formula);

// g/mol of one formula unit.
double molarMass(std::span<const FormulaPart> parts);
// Atoms in one formula unit.
double atomsPerUnit(std::span<const FormulaPart> parts);

// ---- Unit conversions ------------------------------------------------------------------------

inline constexpr double kAvogadro = 6.02214076e23;  // 1/mol

// MeV cm^2/g of an element of `mass` g/mol -> eV/(1e15 atoms/cm^2), and back.
double massToAtomicStopping(double mevCm2PerG, double mass);
double atomicToMassStopping(double evPer1e15, double mass);
// Number density (1/cm^3) of formula units of `molarMass` g/mol at `density` g/cm^3.
double unitsPerCm3(double density, double molarMass);
// eV/(1e15 units/cm^2) at `unitsPerCm3` units per cm^3 -> eV/Å (an Å is 1e-8 cm).
double stoppingPerAngstrom(double evPer1e15, double unitsPerCm3);
// eV/Å -> eV/(1e15 units/cm^2) at `unitsPerCm3` units per cm^3.
double stoppingPerAreal(double evPerAngstrom, double unitsPerCm3);

// ---- Stopping tables -------------------------------------------------------------------------

// Stopping against the ion's energy, interpolated linearly in log(stopping) against
// log(energy) between grid points and exact at them. Energies outside the grid are refused.
// The stopping's unit is the table's (see where it is made).
class StoppingTable {
 public:
  StoppingTable() = default;
  // At least two points, energies (keV) positive and strictly increasing, stopping positive and
  // finite; throws std::invalid_argument otherwise. `source` says where the numbers come from.
  StoppingTable(std::vector<double> energiesKeV, std::vector<double> stopping, std::string source);

  // Throws std::invalid_argument naming the energy and the table's range when energyKeV lies
  // outside it (or is not a number).
  double at(double energyKeV) const;

  double minEnergy() const { return energies_.front(); }
  double maxEnergy() const { return energies_.back(); }
  const std::vector<double>& energies() const { return energies_; }
  const std::vector<double>& values() const { return values_; }
  const std::string& source() const { return source_; }

 private:
  std::vector<double> energies_;
  std::vector<double> values_;
  std::string source_;
};

enum class StoppingIon { Proton, Helium };

// "protons" / "helium ions".
const char* ionName(StoppingIon ion);

// The built-in tables (MeV cm^2/g against keV). Which elements they hold:
std::vector<int> tabulatedElements(StoppingIon ion);
bool hasTabulatedStopping(StoppingIon ion, int z);
// The table of element z. Throws std::invalid_argument for an element the tables lack, naming
// the elements they hold and asking for a table of the user's own.
const StoppingTable& tabulatedStopping(StoppingIon ion, int z);

// Stopping of the ion in any element Z = 1..92 from published fit coefficients, eV/(1e15
// atoms/cm^2): ICRU Report 49's coefficients of Ziegler's formula for protons, Ziegler's (1977)
// for helium ions. Energies outside fittedStoppingRange are refused.
double fittedStopping(StoppingIon ion, int z, double energyKeV);
std::pair<double, double> fittedStoppingRange(StoppingIon ion);
std::string fittedStoppingSource(StoppingIon ion);

enum class StoppingOrigin { UserTable, Tabulated, Fitted };

// The stopping of one ion in the elements, per atom in eV/(1e15 atoms/cm^2): a table of the
// user's own where there is one, else the NIST table, else the fit coefficients.
class ElementStopping {
 public:
  explicit ElementStopping(StoppingIon ion) : ion_(ion) {}
  // Without the fits: only the tables (the user's and NIST's) count.
  void useTablesOnly(bool on) { tablesOnly_ = on; }

  StoppingIon ion() const { return ion_; }
  // A table of the user's own for element z, stopping in eV/(1e15 atoms/cm^2); it replaces the
  // built-in one. Throws std::invalid_argument for a Z outside 1..92.
  void setUserTable(int z, StoppingTable perAtom);
  bool has(int z) const;
  // eV/(1e15 atoms/cm^2). Throws std::invalid_argument for an element without a table (the
  // message names the element, the elements the built-in tables hold, and asks for a table of
  // the user's own) or an energy outside the table's range.
  double atomic(int z, double energyKeV) const;
  // Where the numbers of element z come from.
  std::string source(int z) const;
  StoppingOrigin origin(int z) const;
  // The energies (keV) the element's data cover.
  std::pair<double, double> range(int z) const;
  const StoppingTable* userTable(int z) const;

 private:
  StoppingIon ion_;
  bool tablesOnly_ = false;
  std::vector<std::pair<int, StoppingTable>> user_;
};

// ---- Bragg's rule ----------------------------------------------------------------------------

struct BraggTerm {
  int z = 0;
  double count = 0.0;
  double atomic = 0.0;  // eV/(1e15 atoms/cm^2) of the element
};

struct CompoundStopping {
  std::vector<BraggTerm> terms;
  // Sum of count * atomic: eV/(1e15 formula units/cm^2).
  double perUnit = 0.0;
  // perUnit divided by the atoms of a formula unit: eV/(1e15 atoms/cm^2).
  double perAtom = 0.0;
};

// Bragg's rule: the stopping of a compound is the sum of its elements' stopping weighted by
// their counts in the formula.
CompoundStopping braggStopping(const ElementStopping& elements, std::span<const FormulaPart> parts,
                               double energyKeV);

// eV/Å of a compound at `density` g/cm^3 (throws std::invalid_argument for a density that is
// not positive and finite).
double braggStoppingPerAngstromAtDensity(const CompoundStopping& s,
                                         std::span<const FormulaPart> parts, double density);
// eV/Å of a compound at `atomsPerCm3` atoms per cm^3 (all elements together).
double braggStoppingPerAngstromAtAtomicDensity(const CompoundStopping& s, double atomsPerCm3);

// ---- Straggling ------------------------------------------------------------------------------

// e^2 = 1.439964548 eV nm (the Coulomb constant times the elementary charge squared).
inline constexpr double kE2EvAngstrom = 14.39964548;

// Bohr's energy-loss straggling: the variance grows by 4 pi Z1^2 e^4 Z2 per target atom per unit
// area, independent of the energy. Returned in eV^2 per 1e15 atoms/cm^2 (about 260.6 Z1^2 Z2).
double bohrStragglingAreal(int z1, double z2);
// The same per unit path, 4 pi Z1^2 e^4 N Z2 with N in atoms per cm^3: eV^2/Å.
double bohrStragglingPerAngstrom(int z1, double z2, double atomsPerCm3);
// Chu's correction of Bohr's straggling for the binding of the target's electrons (Yang et al.'s
// fit): the ratio of the variances at `mevPerAmu`, the ion's energy per atomic mass unit in MeV.
// 1 for hydrogen targets.
double chuCorrection(int z2, double mevPerAmu);
// Z2 of a compound for Bohr's formula: the count-weighted mean atomic number of its atoms.
double meanAtomicNumber(std::span<const FormulaPart> parts);

// The ion's atomic number: 1 for protons, 2 for helium.
int ionCharge(StoppingIon ion);

}  // namespace tarvex
