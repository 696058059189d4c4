// The cursor readout of the main chart: the energy and counts under the mouse as the status
// panels 0 and 1 show them.
#pragma once

#include <string>

namespace tarvex {

// "E: 95.123 keV": fixed with 3 decimals, exponent notation past 6 integer digits.
std::string energyReadout(double keV, char decimalSeparator = '.');
// "Counts: 1234.5": fixed with 1 decimal, exponent notation past 5 integer digits.
std::string countsReadout(double counts, char decimalSeparator = '.');

}  // namespace tarvex
