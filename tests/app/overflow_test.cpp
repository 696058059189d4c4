// Concentrations or an ion dose far beyond any physical value (a profile drawn on a chart ranged
// by an earlier extreme one, or read from a file) must not give curves of NaN reported as done.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

std::map<std::string, std::vector<ChartPoint>> nonFiniteSeries(const ChartStore& charts) {
  std::map<std::string, std::vector<ChartPoint>> out;
  for (const auto& [key, s] : charts.all()) {
    for (const ChartPoint& p : s.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        out[key] = s.points;
        break;
      }
    }
  }
  return out;
}

bool samePoints(const std::vector<ChartPoint>& a, const std::vector<ChartPoint>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  }
  return true;
}

struct Model {
  bool meis;
  const char* radio;
  const char* error;   // the status of a failed run
  const char* series;  // the main chart's series of the model
};

const Model kModels[] = {
    {false, "TFOptions.RadioAnalitic", "Bessel calculation ERROR!", "ChartPrinc.SeriesBessel"},
    {false, "TFOptions.RadioNumeric", "Numeric ERROR!", "ChartPrinc.SeriesPrinc"},
    {true, "TFOptions.RadioGauss", "Gaussian calculation ERROR!", "ChartPrinc.SeriesGauss"},
    {true, "TFOptions.RadioAnalitic", "Bessel calculation ERROR!", "ChartPrinc.SeriesBessel"},
    {true, "TFOptions.RadioNumeric", "Numeric ERROR!", "ChartPrinc.SeriesPrinc"},
    {true, "TFOptions.RadioExternal", "Numeric ECS ERROR!", "ChartPrinc.SeriesExtCS"},
};

// A 10 A layer of concentration c in the model's mode (one element in ion scattering).
void prepare(SessionFixture& f, const Model& m) {
  if (m.meis) f.meisMode();
  f.session.setCheckedAsClick(m.radio, true);
  f.set("TFExternCS.EditCSFile",
        std::string(TARVEX_SOURCE_DIR) + "/examples/crosssection-10eV.dat");
  f.session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);  // no SCC file here
  if (m.meis) {
    f.addElement("Hf");
    f.set("TFMEIS.EditMaxDepth", "10");
    f.session.run("Updateplot");
  }
}

void fill(SessionFixture& f, double c) {
  const auto fillOne = [c](profile& p) {
    for (int i = 0; i < p.count; ++i)
      p.values[static_cast<std::size_t>(i)] = i % 2 == 1 ? c : -0.5 * c;
  };
  if (f.session.nraMode()) {
    fillOne(f.session.state().nraProfile);
  } else {
    for (auto& [name, p] : f.session.state().elementProfiles)
      fillOne(p);
  }
}

// Every model refuses a curve it cannot hold, says why, and keeps the curve it drew before.
TEST(Overflow, ACurveBeyondTheRangeOfNumbersIsRefusedAndTheLastOneKept) {
  for (const Model& m : kModels) {
    SCOPED_TRACE(std::string(m.meis ? "ion scattering " : "resonant NRA ") + m.radio);
    SessionFixture f;
    prepare(f, m);
    fill(f, 1.0);
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.session.lastCommandFailed()) << f.host.messages.size();
    const std::vector<ChartPoint> before = f.series(m.series).points;
    ASSERT_FALSE(before.empty());
    fill(f, 1e307);
    f.session.run("CalcSimulation");
    EXPECT_TRUE(f.session.lastCommandFailed());
    EXPECT_EQ(f.host.statuses.back(), m.error);
    ASSERT_FALSE(f.host.messages.empty());
    EXPECT_NE(f.host.messages.back().find("goes beyond the range of numbers a curve holds"),
              std::string::npos)
        << f.host.messages.back();
    EXPECT_NE(f.host.messages.back().find("largest concentration is 1E307"), std::string::npos)
        << f.host.messages.back();
    EXPECT_TRUE(nonFiniteSeries(f.session.charts()).empty());
    EXPECT_TRUE(samePoints(f.series(m.series).points, before));
  }
}

// A dose that takes a finite curve beyond the range of numbers: the redraw is refused and the
// chart keeps what it showed.
TEST(Overflow, ADoseBeyondTheRangeOfNumbersLeavesTheChartAsItWas) {
  for (const Model& m : {kModels[0], kModels[2]}) {
    SCOPED_TRACE(m.radio);
    SessionFixture f;
    prepare(f, m);
    fill(f, 1e10);
    f.session.run("CalcSimulation");
    ASSERT_FALSE(f.session.lastCommandFailed());
    const std::vector<ChartPoint> before = f.series(m.series).points;
    f.set("TFOptions.EditMult", "1e308");
    f.session.run("Preview");
    EXPECT_TRUE(f.session.lastCommandFailed());
    ASSERT_FALSE(f.host.messages.empty());
    EXPECT_EQ(f.host.messages.back(),
              "The curve cannot be drawn: with \"Ion dose:\" 1e308 and the background its values "
              "go beyond the range of numbers");
    EXPECT_TRUE(nonFiniteSeries(f.session.charts()).empty());
    EXPECT_TRUE(samePoints(f.series(m.series).points, before));
  }
}

// Saving that curve is refused the same way: no file of "inf" is written.
TEST(Overflow, ADoseBeyondTheRangeOfNumbersWritesNoCurveFile) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() /
      ("tarvex-overflow-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       "-" + std::to_string(reinterpret_cast<std::uintptr_t>(&dir)));
  fs::create_directories(dir);
  SessionFixture f;
  prepare(f, kModels[0]);
  fill(f, 1e10);
  f.session.run("CalcSimulation");
  ASSERT_FALSE(f.session.lastCommandFailed());
  f.set("TFOptions.EditMult", "1e308");
  const std::string file = (dir / "curve.simulation").string();
  f.host.fileAnswers = {file};
  f.session.run("SaveAnaliticExcitation");
  EXPECT_TRUE(f.session.lastCommandFailed());
  EXPECT_FALSE(fs::exists(file));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvex
