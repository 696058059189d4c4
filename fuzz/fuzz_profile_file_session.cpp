// Profile files of any content loaded into a session: refused with one message naming the
// file and no change to the session, or loaded with the status saying so.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz_session.h"
#include "io/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  bool accepted = false;
  try {
    ProfileHeader h;
    (void)decodeProfile(bytes, &h);
    accepted = true;
  } catch (const std::runtime_error&) {
  }

  fuzz::FuzzSession f;
  Session& s = f.session;
  const fuzz::Snapshot before(s);
  s.guarded([&] { loadProfileContent(s, "fuzz.pro", bytes); });
  if (!accepted) {
    fuzz::check(f.host.messages.size() == 1);
    fuzz::check(f.host.messages[0].rfind("\"fuzz.pro\" is not a profile file: ", 0) == 0);
    fuzz::checkSame(before, fuzz::Snapshot(s));
  } else {
    fuzz::check(f.host.messages.empty());
    fuzz::check(s.controls().text("TFrameNRPSample.StatusDraw") == "Profile loaded from file!");
  }
  return 0;
}
