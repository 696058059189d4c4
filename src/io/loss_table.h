// Loss tables: the external cross-section file and the single-collision-correction (SCC) file,
// pairs of a loss index in eV and a value, read into a distribution on a 1 eV grid.
#pragma once

#include <istream>
#include <string>

#include "core/spectro.h"

namespace tarvex {

// Fills t from the pairs (index, value) in the stream: a whole-number index, then a decimal
// value stored in single precision. Indices outside the grid are not stored; an index of
// n-1 or more ends the reading after its pair. The reading also ends at the end of the data,
// at an item that is not a number, and at a file that cannot be opened, keeping what was read.
void readLossTable(std::istream& in, spectro& t);
void readLossTable(const std::string& fileName, spectro& t);

// Stopping and straggling cross sections of a table as read: sum(i*s*v), sum((i*s)^2*v).
struct LossMoments {
  double first = 0.0;
  double second = 0.0;
};
LossMoments lossMoments(const spectro& t);

}  // namespace tarvex
