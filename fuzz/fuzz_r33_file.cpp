// R33 cross-section files of any content: a refused file names itself and a line; an accepted
// one holds a table of finite values with increasing energies and no negative cross section,
// in one of the known units, that interpolates between its own extremes.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "io/r33_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  R33File f;
  try {
    f = parseR33(content, "fuzz.r33");
  } catch (const std::invalid_argument& e) {
    fuzz::check(std::string(e.what()).rfind("fuzz.r33, line ", 0) == 0);
    return 0;
  }
  const std::size_t n = f.energyKeV.size();
  fuzz::check(n > 0 && f.energyError.size() == n && f.sigma.size() == n &&
              f.sigmaError.size() == n);
  fuzz::check(f.units == "mb" || f.units == "mb/sr" || f.units == "rr");
  fuzz::check(f.ratioToRutherford == (f.units == "rr"));
  fuzz::check(f.distribution == "Energy");
  fuzz::check(f.masses.size() <= 4 && f.zeds.size() <= 4);
  for (std::size_t k = 0; k < n; ++k) {
    fuzz::check(std::isfinite(f.energyKeV[k]) && f.energyKeV[k] >= 0.0);
    fuzz::check(k == 0 || f.energyKeV[k] > f.energyKeV[k - 1]);
    fuzz::check(std::isfinite(f.sigma[k]) && f.sigma[k] >= 0.0);
    fuzz::check(std::isfinite(f.energyError[k]) && f.energyError[k] >= 0.0);
    fuzz::check(std::isfinite(f.sigmaError[k]) && f.sigmaError[k] >= 0.0);
  }
  const auto [lo, hi] = std::minmax_element(f.sigma.begin(), f.sigma.end());
  for (std::size_t k = 0; k + 1 < n; ++k) {
    bool outside = true;
    const double s =
        r33Interpolate(f, f.energyKeV[k] + 0.5 * (f.energyKeV[k + 1] - f.energyKeV[k]), &outside);
    fuzz::check(!outside && s >= *lo && s <= *hi * (1 + 1e-12));
  }
  bool outside = false;
  fuzz::check(r33Interpolate(f, f.energyKeV.back() * 2 + 1, &outside) == 0.0 && outside);
  return 0;
}
