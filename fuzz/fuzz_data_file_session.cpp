// Measured data files of any content loaded into a session: a load either keeps the pairs of
// a file that started well or changes nothing at all.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_session.h"
#include "io/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string content(reinterpret_cast<const char*>(data), size);
  const DataFileRead r = readDataText(content);
  fuzz::FuzzSession f;
  Session& s = f.session;
  s.state().measuredPoints = {{10, 20}, {30, 40}, {}};
  s.setPanel(2, "before.dat");
  const fuzz::Snapshot before(s);
  s.guarded([&] { loadDataContent(s, "fuzz.dat", content); });
  if (r.pairs == 0) {
    // Refused: one message naming the file, nothing else changed.
    fuzz::check(f.host.messages.size() == 1);
    fuzz::check(f.host.messages[0].rfind("File Error! \"fuzz.dat\"", 0) == 0);
    fuzz::checkSame(before, fuzz::Snapshot(s));
  } else {
    fuzz::check(f.host.messages.size() == (r.ok ? 0u : 1u));
    const auto& got = s.state().measuredPoints;
    fuzz::check(got.size() == r.points.size());
    for (std::size_t i = 0; i < got.size(); ++i)
      fuzz::check(got[i].x == r.points[i].x && got[i].y == r.points[i].y);
    fuzz::check(s.controls().text("TFTarvex3.StatusBar1.2") == "fuzz.dat");
  }
  return 0;
}
