// Measured data files: a stream of number pairs (energy in keV, counts) with ';' comments
// between pairs, read in the "C" number syntax into single-precision points.
#pragma once

#include <string>
#include <vector>

#include "state/working_state.h"

namespace tarvex {

class Session;

constexpr int kMaxDataEntries = 20000;

// Parses a data file's content. The list ends with the entry of the read that met the end of
// the data (the consumers leave the last entry out). Returns false ("File Error!") for more than
// 20000 entries or an item that is not a number; the entries read before it stay, the entry the
// failed read started is the last one.
bool parseDataFile(const std::string& content, std::vector<datapoint>* points);

// "Load data": dialog, read, plot, file name in status panel 2.
void Loaddata(Session& s);

FileDialog dataFileDialog(const std::string& fileName);

}  // namespace tarvex
