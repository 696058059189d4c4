// Loss tables: the external cross-section file and the single-collision-correction (SCC) file,
// pairs of a loss index in eV and a value, read into a distribution on a 1 eV grid.
//
// The reading rule: pairs are taken in file order, a whole-number index then a decimal value
// stored in single precision; an index outside the grid 0..n-1 is not stored; the reading ends
// right after a pair whose index is n-1 or more, at the end of the data, or at an item that is
// not a number, keeping what was read. A file that follows this rule (indices 0..n-1, each
// once, the last one at most n-1) is read whole and silently.
//
// readLossTableReport reads by the same rule and tells the caller what it did not use:
//
//   LossTableRead r = readLossTableReport(file, t);
//   if (!r.ok())            -> r.error names the file (and the line): nothing was stored, t is
//                              as it was (a file that cannot be opened; a value that is not
//                              finite in single precision, such as 1e300, nan or inf).
//   else if (!r.notice.empty()) -> some pairs were not used (unsorted table, stray large index,
//                              negative or repeated index, pairs after the index that ended the
//                              reading, an item that is not a number): r.notice names the file,
//                              the number of pairs not used and the line of the first of them;
//                              the pairs used are in t. Show it in the status and the log.
//   r.stored  : pairs whose value is in the table (a repeated index counts once);
//   r.notUsed : pairs of the file whose value is not in the table;
//   r.firstUnusedLine : line (from 1) of the first pair not used, 0 when all were used.
#pragma once

#include <istream>
#include <string>

#include "core/spectro.h"

namespace tarvex {

struct LossTableRead {
  bool opened = false;
  long long stored = 0;
  long long notUsed = 0;
  long long firstUnusedLine = 0;
  std::string error;   // not empty: the file was refused and the table left as it was
  std::string notice;  // not empty: what was left out, for the status and the log
  bool ok() const { return error.empty(); }
};

// Reads the file into t (normally all zero on entry; bins not listed keep their values). A
// leading UTF-8 byte-order mark is skipped; line ends may be LF or CR LF.
LossTableRead readLossTableReport(const std::string& file, spectro& t);
// The same for a table held in memory; `name` stands for the file in the texts.
LossTableRead readLossTableText(const std::string& content, const std::string& name, spectro& t);

// The reading without the report (a refused file leaves t as it was).
void readLossTable(std::istream& in, spectro& t);
void readLossTable(const std::string& fileName, spectro& t);

// Stopping and straggling cross sections of a table as read: sum(i*s*v), sum((i*s)^2*v).
struct LossMoments {
  double first = 0.0;
  double second = 0.0;
};
LossMoments lossMoments(const spectro& t);

}  // namespace tarvex
