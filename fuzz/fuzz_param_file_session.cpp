// Parameter files of any content, applied to a session: a refused file changes nothing and
// says which file; an applied one leaves fields that every later save can read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_session.h"
#include "io/param_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  fuzz::FuzzSession f;
  Session& s = f.session;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const fuzz::Snapshot before(s);
  bool refused = false;
  try {
    applyParameterBytes(s, bytes, "fuzz.ini");
  } catch (const ParameterFileError& e) {
    refused = true;
    fuzz::check(std::string(e.what()).find("\"fuzz.ini\"") != std::string::npos);
  }
  if (refused) {
    fuzz::checkSame(before, fuzz::Snapshot(s));
    return 0;
  }
  fuzz::check(f.host.messages.empty());
  // A second application of the same bytes changes nothing more ...
  const fuzz::Snapshot once(s);
  applyParameterBytes(s, bytes, "fuzz.ini");
  fuzz::checkSame(once, fuzz::Snapshot(s));
  // ... and whatever was applied gathers back: the edits hold numbers in the general format.
  fuzz::check(s.guarded([&] { s.gatherParameters(); }));
  return 0;
}
