// Profile files of any content, decoded alone (bytes in, a profile or a refusal out): refused
// with a reason, or a profile that writes back to an image which decodes to the same profile.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "io/profile_file.h"

namespace {

bool sameProfile(const tarvex::profile& a, const tarvex::profile& b) {
  return a.count == b.count && a.step == b.step && a.startDepth == b.startDepth &&
         a.values == b.values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ProfileHeader h;
  bool accepted = false;
  try {
    const profile p = decodeProfile(bytes, &h);
    accepted = true;
    fuzz::check(p.count >= 0 && p.count == static_cast<int>(p.values.size()));
    for (double v : p.values)
      fuzz::check(std::isfinite(v) && v == static_cast<float>(v));
    fuzz::check(std::isfinite(h.background) && std::isfinite(h.dose) && std::isfinite(h.shift));
    // What the program writes of it loads back whole.
    ProfileHeader back;
    const profile q = decodeProfile(encodeProfile(p, h), &back);
    fuzz::check(sameProfile(p, q));
    fuzz::check(back.background == h.background && back.dose == h.dose && back.shift == h.shift);
    if (p.count < 200000) (void)profileText(p);
  } catch (const std::runtime_error& e) {
    fuzz::check(!accepted);  // the write-back must never be refused
    fuzz::check(*e.what() != '\0');
  }

  return 0;
}
