// Measured data files of any content, read alone (bytes in, points or a refusal out): the
// reader's list and verdict agree with each other.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "io/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string content(reinterpret_cast<const char*>(data), size);
  const DataFileRead r = readDataText(content);
  // There is always the entry of the last read, and never more pairs than the limit.
  fuzz::check(!r.points.empty());
  fuzz::check(r.points.size() <= static_cast<std::size_t>(kMaxDataEntries) + 1);
  fuzz::check(r.pairs <= kMaxDataEntries);
  fuzz::check(r.pairs >= 0 && static_cast<std::size_t>(r.pairs) <= r.points.size());
  fuzz::check(r.ok == r.reason.empty());
  fuzz::check(r.ok == (r.line == 0));
  for (const datapoint& p : r.points)
    fuzz::check(std::isfinite(p.x) && std::isfinite(p.y));

  return 0;
}
