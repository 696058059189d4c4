// Stopping tables of any content: refused with a message naming the file, or read into a table
// of positive, finite stopping against strictly increasing positive energies whose source names
// the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "io/stopping_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  try {
    const StoppingFile f = parseStoppingText(content, "fuzz.txt");
    fuzz::check(f.format == "two-column table" || f.format == "SRIM stopping table");
    fuzz::check(f.perAtom.source() == "user table fuzz.txt (" + f.format + ")");
    const auto& e = f.perAtom.energies();
    const auto& v = f.perAtom.values();
    fuzz::check(e.size() >= 2 && e.size() == v.size());
    for (std::size_t k = 0; k < e.size(); ++k) {
      fuzz::check(e[k] > 0.0 && std::isfinite(e[k]) && v[k] > 0.0 && std::isfinite(v[k]));
      if (k > 0) fuzz::check(e[k] > e[k - 1]);
    }
    for (const auto& p : f.parts)
      fuzz::check(p.z >= 1 && p.z <= kLastElement && p.count > 0.0);
    if (f.atomsPerCm3) fuzz::check(*f.atomsPerCm3 > 0.0 && std::isfinite(*f.atomsPerCm3));
  } catch (const std::invalid_argument& refused) {
    fuzz::check(std::string_view(refused.what()).substr(0, 8) == "fuzz.txt");
  }
  return 0;
}
