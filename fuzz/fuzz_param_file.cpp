// Parameter files of any content, decoded alone (bytes in, the record out): every slot the
// bytes cover holds their bits, the others keep theirs, and a whole image encodes back to its
// own first 600 bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "io/param_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::array<double, 15> flags;
  std::array<double, 60> values;
  flags.fill(-7.25);
  values.fill(-7.25);
  decodeParameters(bytes, flags, values);
  const auto slot = [&](std::size_t at, double v) {
    if (at + 8 <= bytes.size()) {
      double expected = 0.0;
      std::memcpy(&expected, bytes.data() + at, 8);  // the files are little-endian, as is x86
      fuzz::check(std::memcmp(&expected, &v, 8) == 0);
    } else {
      fuzz::check(v == -7.25);
    }
  };
  for (std::size_t i = 0; i < flags.size(); ++i)
    slot(8 * i, flags[i]);
  for (std::size_t j = 0; j < values.size(); ++j)
    slot(120 + 8 * j, values[j]);
  if (bytes.size() >= kParameterFileSize) {
    fuzz::check(encodeParameters(flags, values) == bytes.substr(0, kParameterFileSize));
  }
  return 0;
}
