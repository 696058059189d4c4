// Measured data files: a stream of number pairs (energy in keV, counts) with ';' or '#' comments
// between pairs, read in the "C" number syntax into single-precision points.
#pragma once

#include <string>
#include <vector>

#include "state/host.h"
#include "state/working_state.h"

namespace tarvex {

class Session;

// The most pairs a data file gives.
constexpr int kMaxDataEntries = 20000;

// What a data file gave. The list ends with the entry of the read that met the end of the data
// (the consumers leave the last entry out). Between pairs, ';' comments, blanks, tabs, carriage
// returns and line feeds are skipped; a leading UTF-8 byte-order mark is skipped.
struct DataFileRead {
  std::vector<datapoint> points;
  int pairs = 0;       // entries whose two numbers were both read
  bool ok = true;      // false: the reading stopped early ("File Error!")
  long long line = 0;  // where it stopped (from 1), 0 when it did not
  std::string token;   // the item that stopped it, as printable text; empty at the limit
  std::string reason;  // why it stopped, in words that name the line and the item
};

// Reads a data file's content. The reading stops with ok false at an item that is not a finite
// single-precision number (the entry it started is the last one) and at a pair beyond the
// first 20000 (those stay, followed by an entry that is no pair). Lines starting with ';' or
// '#' (and the rest of a line after a pair) are comments.
DataFileRead readDataText(const std::string& content);

// The same, as a list and a verdict (false: "File Error!").
bool parseDataFile(const std::string& content, std::vector<datapoint>* points);

// The part of "Load data" after the file was read: the points, the plot and status panel 2,
// or a message "File Error! ..." naming path; content without a pair changes nothing.
void loadDataContent(Session& s, const std::string& path, const std::string& content);

// "Load data": dialog, read, plot, file name in status panel 2. A file that cannot be read or
// holds no pair changes nothing; every failure names the file.
void Loaddata(Session& s);

FileDialog dataFileDialog(const std::string& fileName);

}  // namespace tarvex
