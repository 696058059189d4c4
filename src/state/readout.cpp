#include "state/readout.h"

#include "core/numtext.h"

namespace tarvex {

std::string energyReadout(double keV, char decimalSeparator) {
  return "E: " + formatFixed(keV, 6, 3, decimalSeparator) + " keV";
}

std::string countsReadout(double counts, char decimalSeparator) {
  return "Counts: " + formatFixed(counts, 5, 1, decimalSeparator);
}

}  // namespace tarvex
