// Parameter files of any content: decoded and applied to a session's controls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/app.h"
#include "io/param_file.h"

namespace {
class NullHost : public tarvex::Host {
 public:
  void showMessage(const std::string&) override {}
  bool askYesNo(const std::string&) override { return false; }
  std::optional<std::string> openFile(const tarvex::FileDialog&) override { return {}; }
  std::optional<std::string> saveFile(const tarvex::FileDialog&) override { return {}; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NullHost host;
  tarvex::Session s(host);
  tarvex::registerAllActions(s);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  s.guarded([&] { tarvex::applyParameterBytes(s, bytes, "fuzz.ini"); });
  // Whatever was applied must gather back (the edits hold general-format numbers).
  s.guarded([&] { s.gatherParameters(); });
  return 0;
}
