// Cross-section and SCC files of any content.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "io/loss_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarvex::spectro t(5000, 1.0);
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  tarvex::readLossTable(in, t);
  if (t.size() != 5000) __builtin_trap();
  (void)tarvex::lossMoments(t);
  return 0;
}
