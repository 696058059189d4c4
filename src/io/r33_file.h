// R33 files: the cross-section exchange format of the ion-beam community (the format of the
// IAEA's Ion Beam Analysis Nuclear Data Library). A header of `Key: value` lines, then `Data:`
// and rows of numbers, then `EndData:`:
//
//   Comment: File created by R33 Manager      <- may go on over more lines, up to a blank line
//
//   Reaction: 7Li(p,a0)4He
//   Distribution: Energy
//   Masses: 1.000, 7.000, 4.000, 4.000        <- projectile, target, light and heavy product
//   Zeds: 1, 3, 2, 2
//   Qvalue: 17346.82, 0.00, 0.00, 0.00, 0.00  <- keV
//   Theta: 160.00                             <- degrees
//   Sigfactors: 1.00, 0.00
//   Enfactors: 1.00, 0.00, 0.00, 0.00
//   Units: mb
//   Data:
//    1498.000,  3.000,   2.210, 0.090         <- energy (keV), its uncertainty, sigma, its
//   ...                                          uncertainty
//   EndData:
//
// What is read:
// - Keys are matched whatever their case and spacing ("ENDDATA :", "Serial Number:"); a key no
//   field below takes is kept in otherKeys with its value. A field the reader interprets may be
//   given once only.
// - A row holds 2 to 4 numbers separated by commas and/or blanks: energy, sigma (2); energy,
//   energy uncertainty, sigma (3); energy, energy uncertainty, sigma, sigma uncertainty (4).
//   Every row of a table has as many numbers as its first one. Blank lines and comment lines
//   (starting with '#', '!', ';', '%', "//" or "Comment:") between rows are skipped.
// - Enfactors f1, f2, f3, f4: energy = f1 * value + f2 (keV), energy uncertainty = f1 * value;
//   f1 must be positive. A file that sets f3 or f4 to anything but 0 is refused, as the reader
//   applies no factor whose use it cannot place. Sigfactors s1, s2: sigma = s1 * value, sigma
//   uncertainty = s1 * value, s1 positive; a file whose s2 is not 0 is refused likewise.
// - Energies are keV. An energy unit given by an `Energy units:` key or a unit word in `Units:`
//   (keV, MeV, eV) is converted to keV, after the factors.
// - `Units:` is mb, mb/sr or rr (ratio to Rutherford, kept as a ratio and marked); it must be
//   given.
// - `EndData:` ends the table; what follows is not read. A file that ends without it is read
//   to its end, as long as every row parsed.
// - Only energy distributions: `Distribution: Angle` is refused. No `Distribution:` means an
//   energy distribution.
//
// Refused, with std::invalid_argument naming the file and the 1-based line: no `Data:`, no
// rows, a row that does not parse, energies that do not increase (an energy equal to the
// previous one is refused too: the table is a function of energy), a negative sigma or
// uncertainty, a negative energy, a number that is not finite, an unknown unit, bytes of a
// binary file (control characters other than tabs and line ends), a header line that is no
// `Key: value`.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

struct R33File {
  std::string reaction;             // "Reaction:", e.g. "7Li(p,a0)4He"
  std::string source, comment;      // "Source:"; "Comment:" with its further lines joined by '\n'
  std::string units;                // "mb", "mb/sr" or "rr"
  bool ratioToRutherford = false;   // units == "rr": sigma is the ratio to Rutherford
  std::optional<double> thetaDeg;   // "Theta:" (degrees)
  std::vector<double> masses;       // "Masses:" projectile, target, light product, heavy product
  std::vector<int> zeds;            // "Zeds:" in the same order
  std::optional<double> qValueKeV;  // first number of "Qvalue:"
  std::string distribution;         // "Energy" (the only one read)
  // The table after the file's factors: lab energies of the projectile in keV and the cross
  // section in `units`; uncertainties are 0 when the file gives none.
  std::vector<double> energyKeV, energyError, sigma, sigmaError;
  std::vector<std::pair<std::string, std::string>> otherKeys;  // every other header key, kept
};

// Reads the text of an R33 file; `name` stands for the file in the messages. Throws
// std::invalid_argument "<name>, line <n>: <what is wrong>".
R33File parseR33(std::string_view text, const std::string& name);
// Reads a file: one that is missing, cannot be read or is larger than 50 MB is refused with
// std::invalid_argument naming it, as are the faults parseR33 refuses.
R33File readR33(const std::filesystem::path& path);

// Sigma at an energy, linear in energy between the rows; the table's ends give their own
// values. Outside the table the cross section is not known: the result is 0 and *outside (when
// given) is set true, so an integral over a beam that reaches past the table counts nothing
// there and the caller can tell. Throws std::invalid_argument for a table without rows or an
// energy that is not a number.
double r33Interpolate(const R33File& file, double energyKeV, bool* outside = nullptr);

// The rows as (energy keV, sigma) pairs.
std::vector<std::pair<double, double>> r33Table(const R33File& file);

}  // namespace tarvex
