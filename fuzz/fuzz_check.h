// The one check of the fuzz targets: a fault the fuzzer must report aborts, so that it keeps
// the input.
#pragma once

#include <cstdlib>

namespace tarvex::fuzz {

[[noreturn]] inline void fail() {
  std::abort();
}
inline void check(bool holds) {
  if (!holds) fail();
}

}  // namespace tarvex::fuzz
