// Cross-section and SCC files of any content: a refused table is left as it was; an accepted
// one holds only finite values, as many bins as pairs stored at most, and its report counts
// and names what it did not use.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "io/loss_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  const std::string content(reinterpret_cast<const char*>(data), size);
  spectro t(5000, 1.0);
  t.values[4321] = 0.5;  // a bin the file may or may not list
  const spectro before = t;
  const LossTableRead r = readLossTableText(content, "fuzz.dat", t);
  fuzz::check(r.opened);
  fuzz::check(t.size() == 5000 && t.step == 1.0 && t.offset == 0.0);
  if (!r.ok()) {
    fuzz::check(t.values == before.values);
    fuzz::check(r.error.rfind("\"fuzz.dat\", line ", 0) == 0);
    fuzz::check(r.stored == 0 && r.notUsed == 0 && r.notice.empty());
  } else {
    long long changed = 0;
    for (int i = 0; i < t.size(); ++i) {
      fuzz::check(std::isfinite(t.values[i]));
      if (!(t.values[i] == before.values[i])) ++changed;
    }
    fuzz::check(changed <= r.stored);
    fuzz::check((r.notUsed > 0) == (r.firstUnusedLine > 0));
    if (r.notUsed > 0) fuzz::check(r.notice.rfind("\"fuzz.dat\": ", 0) == 0);
    const LossMoments m = lossMoments(t);
    fuzz::check(std::isfinite(m.first) && std::isfinite(m.second));
  }
  // The reading without the report fills the table the same way.
  spectro u = before;
  std::istringstream in(content);
  readLossTable(in, u);
  fuzz::check(u.values == t.values);
  return 0;
}
