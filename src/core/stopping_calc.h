// The stopping calculator: the electronic stopping and the energy-loss straggling of protons or
// helium ions in a sample given by its formula and density, at one energy, from the built-in
// data (NIST tables, published fit coefficients) or the user's own tables; and the values the
// two modes' energy-loss fields take.
//
// Units: energies in keV; stopping per atom in eV/(1e15 atoms/cm^2), per length in eV/Å;
// straggling as the variance of the energy loss per unit path, eV^2/Å.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/stopping.h"

namespace tarvex {

enum class StragglingModel {
  Bohr,  // energy-independent free-electron value
  Chu,   // Bohr's value times Chu's correction for bound electrons (Yang et al.'s fit)
};

// "Bohr" / "Chu (Yang et al.)".
const char* stragglingModelName(StragglingModel m);

// The density of a sample, as the user typed it: a mass density or a number density of atoms.
struct SampleDensity {
  enum class Kind { GramsPerCm3, AtomsPerCm3 };
  Kind kind = Kind::GramsPerCm3;
  double value = 0.0;
};

// The number at the start of `text` in the C locale's notation, whatever the process's locale
// (a point for the decimals): its value and the characters it takes. False when none starts it.
bool leadingNumber(std::string_view text, double& value, std::size_t& used);

// Reads "9.68", "9.68 g/cm3", "5.3e22 at/cm3", "5.3e22 atoms/cm3" (a bare number above 1e15 is
// taken as atoms/cm^3: no solid has such a mass density). Throws std::invalid_argument for text
// that is none of these, or a density that is not positive and finite.
SampleDensity parseDensity(const std::string& text);

// Where the stopping numbers come from: the built-in data of one ion, plus the user's own tables
// (for an element, or for a whole compound given by its formula), which take precedence.
class StoppingSources {
 public:
  explicit StoppingSources(StoppingIon ion) : elements_(ion) {}

  StoppingIon ion() const { return elements_.ion(); }
  ElementStopping& elements() { return elements_; }
  const ElementStopping& elements() const { return elements_; }

  // A table for a compound (stopping per atom of the compound, eV/(1e15 atoms/cm^2)); used
  // instead of Bragg's rule for this composition (the same elements with atomic fractions equal
  // within 5e-4, as a stopping program's percentages with two decimals give them).
  void setCompoundTable(std::vector<FormulaPart> parts, StoppingTable perAtom);
  // The compound table matching `parts`, or nullptr.
  const StoppingTable* compoundTable(std::span<const FormulaPart> parts) const;

 private:
  ElementStopping elements_;
  std::vector<std::pair<std::vector<FormulaPart>, StoppingTable>> compounds_;
};

struct StoppingRequest {
  std::string formula;  // "HfO2", "Si0.4Ge0.6", ...
  SampleDensity density;
  double energyKeV = 0.0;
  StragglingModel straggling = StragglingModel::Bohr;
};

struct ElementStoppingLine {
  int z = 0;
  std::string symbol;
  double count = 0.0;      // atoms per formula unit
  double atomic = 0.0;     // eV/(1e15 atoms/cm^2) of the element at the energy
  double bohrAreal = 0.0;  // Bohr straggling, eV^2 per 1e15 atoms/cm^2 of the element
  double chuFactor = 1.0;  // Chu's correction at the energy (1 where it is not defined)
  std::string source;      // where `atomic` comes from
};

struct StoppingResult {
  StoppingIon ion = StoppingIon::Proton;
  double energyKeV = 0.0;
  std::vector<FormulaPart> parts;
  std::vector<ElementStoppingLine> elements;
  double atomsPerCm3 = 0.0;
  double perAtom = 0.0;  // eV/(1e15 atoms/cm^2), Bragg's rule or the compound's table
  double evPerAngstrom = 0.0;
  std::string compoundSource;  // "Bragg's rule" or the compound table's source
  StragglingModel stragglingModel = StragglingModel::Bohr;
  double bohrEv2PerAngstrom = 0.0;
  double stragglingEv2PerAngstrom = 0.0;  // of the chosen model
};

// Throws std::invalid_argument with a message for a formula that does not parse, a density that
// is not positive, an element without data, or an energy outside the range of an element's data.
StoppingResult computeStopping(const StoppingSources& sources, const StoppingRequest& request);

// The compound's stopping per length (eV/Å) at `count` energies spaced evenly in log(energy)
// between lo and hi keV, for the plot; energies outside an element's data are left out.
std::vector<std::pair<double, double>> stoppingCurve(const StoppingSources& sources,
                                                     const StoppingRequest& request, double lo,
                                                     double hi, int count);
// The energy range (keV) over which every element of the request has data.
std::pair<double, double> stoppingRange(const StoppingSources& sources,
                                        const StoppingRequest& request);

// ---- The modes' fields ----

// Resonant NRA: stopping in eV/Å (field "Stopping Power:"), and the straggling field's Omega,
// whose square is the loss variance in keV^2 per 1000 Å of path.
struct NraStoppingFields {
  double stoppingEvPerAngstrom = 0.0;
  double omega = 0.0;
};
NraStoppingFields nraFieldsFrom(const StoppingResult& atResonance);

// Ion scattering: the frame has one stopping and one straggling field, used on the way in and
// out alike; they take the mean of the values at the incoming energy E0 and at the energy after
// the scattering K*E0.
struct MeisStoppingFields {
  double kinematicFactor = 0.0;
  double inEnergyKeV = 0.0;
  double outEnergyKeV = 0.0;
  StoppingResult in;
  StoppingResult out;
  double stoppingEvPerNm = 0.0;     // "dE/dx: (eV/nm)"
  double stragglingEv2PerNm = 0.0;  // "dW^2/dx: (eV^2/nm)"
};
// `kinematicFactor` of the chosen element (from the frame's mass, element and angles).
MeisStoppingFields meisFieldsFrom(const StoppingSources& sources, StoppingRequest request,
                                  double kinematicFactor);

}  // namespace tarvex
