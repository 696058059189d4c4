// Stopping tables of the user's own: a two-column text file (ion energy in keV, stopping in
// eV/(1e15 atoms/cm^2) or in the units its header names) and the stopping-table text that SRIM's
// "Stopping/Range Tables" writes. Either is read into electronic stopping per atom of the target
// in eV/(1e15 atoms/cm^2) against the ion's energy in keV, the table ElementStopping and
// StoppingSources take.
//
// Two-column file:
//
//   # ion: H                (H, p, proton, hydrogen / He, alpha, helium, 4He)
//   # target: HfO2          (an element symbol or a formula)
//   # units: eV/A           (see below; eV/(1e15 atoms/cm2) when there is no units line)
//   # density: 9.68 g/cm3   (or atoms/cm3)
//   10    12.5
//   20,   15.1
//
// The numbers of a row are separated by spaces, tabs, ',' or ';'; blank lines and other
// comments ('#') are ignored.
//
// Units (spaces, '^', "E15"/"1e15"/"10^15", "Angstrom"/"A"/"Å", "um"/"µm"/"micron" all read):
//   per areal density  eV/(1e15 atoms/cm2)                         factor 1
//   per length         eV/Å 1; eV/nm, keV/µm, MeV/mm 0.1 eV/Å       times 1e23/N  (N atoms/cm^3)
//   per mass           MeV cm2/g, MeV/(g/cm2), keV/(mg/cm2) 1;
//                      MeV/(mg/cm2), keV/(ug/cm2) 1000 MeV cm2/g     times 1e21 m/N_A
// where m is the mean mass of the target's atoms in g/mol. Per-length units need the atomic
// density (a density and the target's composition), per-mass units the target's composition.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/stopping.h"

namespace tarvex {

struct StoppingFile {
  std::optional<StoppingIon> ion;  // when the file names it
  std::string target;              // the target as the file names it ("HfO2", "Si"), or ""
  // Its composition: atoms per formula unit (two-column file) or atomic fractions (SRIM).
  std::vector<FormulaPart> parts;
  std::optional<double> densityGPerCm3;
  std::optional<double> atomsPerCm3;  // as the file states it or as follows from the density
  StoppingTable perAtom;  // electronic stopping, eV/(1e15 atoms/cm^2) per atom, energies in keV
  std::string format;     // "two-column table" or "SRIM stopping table"
  std::string unitsRead;  // the units as the file states them
};

inline constexpr std::uintmax_t kMaxStoppingFileBytes = 10u * 1024u * 1024u;

// Reads a stopping table held in memory; sourceName stands for the file in the texts and the
// table's source. Throws std::invalid_argument with a message naming the file, the line and
// what is wrong (and the accepted units where they are the fault) for any text that is not a
// usable table.
StoppingFile parseStoppingText(std::string_view text, const std::string& sourceName);
// The same for a file; also refuses a file that is missing, cannot be read or is larger than
// kMaxStoppingFileBytes.
StoppingFile readStoppingFile(const std::filesystem::path& path);

// ---- The pieces, for the window and the tests ----

// How a unit of stopping relates to eV/(1e15 atoms/cm^2) per atom.
struct StoppingUnit {
  enum class Kind { Areal, PerLength, PerMass };
  Kind kind = Kind::Areal;
  // Areal: the value in eV/(1e15 atoms/cm^2) per unit; PerLength: in eV/Å; PerMass: in
  // MeV cm^2/g.
  double factor = 1.0;
};
// Reads a unit as a file states it; std::nullopt for one it does not know.
std::optional<StoppingUnit> parseStoppingUnit(std::string_view text);
// The units parseStoppingUnit reads, for messages.
const char* acceptedStoppingUnits();
// A value in `unit` -> eV/(1e15 atoms/cm^2) per atom; atomsPerCm3 (per-length units) and the
// mean atomic mass in g/mol (per-mass units) are used where the unit needs them.
double toAtomicStopping(double value, const StoppingUnit& unit, double atomsPerCm3,
                        double meanAtomMass);

}  // namespace tarvex
