// Profile files of any content: refused with a reason, or a profile that lists and re-encodes.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "io/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  tarvex::ProfileHeader h;
  try {
    const tarvex::profile p = tarvex::decodeProfile(bytes, &h);
    if (p.count != static_cast<int>(p.values.size())) __builtin_trap();
    if (p.count < 200000) {
      (void)tarvex::profileText(p);
      (void)tarvex::encodeProfile(p, h);
    }
  } catch (const std::runtime_error&) {
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
