// Measured data files of any content.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<tarvex::datapoint> points;
  tarvex::parseDataFile(std::string(reinterpret_cast<const char*>(data), size), &points);
  if (points.empty() || points.size() > static_cast<std::size_t>(tarvex::kMaxDataEntries)) {
    __builtin_trap();  // there is always the entry of the last read, and never more than the limit
  }
  return 0;
}
