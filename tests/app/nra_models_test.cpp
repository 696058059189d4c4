// The resonant NRA commands and the model functions they call give the same curves, bit for
// bit; and the models run, cache and stop without a session.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/nra_commands.h"
#include "cli/script.h"
#include "core/cancel.h"
#include "nra/analytic.h"
#include "nra/numeric.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Compares the curve the last calculation stored with the model function's on the same fields.
// Returns whether a comparison was made (the session is in resonant NRA after a successful run).
bool sameAsModel(Session& s, const std::string& where) {
  if (!s.nraMode() || s.lastCommandFailed()) return false;
  const ControlStore& c = s.controls();
  if (c.checked("TFOptions.RadioNumeric")) {
    NraNumericCache cache;
    const NraNumericResult r = numericExcitationCurve(readNraNumericInput(s), cache);
    EXPECT_EQ(r.curve.values, s.state().numericExcitation.values) << where;
    EXPECT_EQ(r.curve.step, s.state().numericExcitation.step) << where;
    EXPECT_EQ(r.curve.offset, s.state().numericExcitation.offset) << where;
    return true;
  }
  if (c.checked("TFOptions.RadioAnalitic")) {
    const spectro curve = analyticExcitation(readNraAnalyticInput(s));
    EXPECT_EQ(curve.values, s.state().analyticExcitation.values) << where;
    EXPECT_EQ(curve.offset, s.state().analyticExcitation.offset) << where;
    return true;
  }
  return false;
}

// Every calculation of the resonant NRA examples, and variations of their fields.
TEST(NraModels, TheExamplesGiveTheCommandsCurvesBitForBit) {
  const std::filesystem::path examples = std::filesystem::path(TARVEX_SOURCE_DIR) / "examples";
  int compared = 0;
  for (const char* name : {"numeric-nra.tvx", "bessel-10A.tvx", "thick-film.tvx"}) {
    std::ifstream in(examples / name);
    ASSERT_TRUE(in) << name;
    std::ostringstream out, err;
    ScriptRunner runner(out, err);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      runner.line(line, ++number);
      if (line.rfind("run Calc", 0) == 0 && sameAsModel(runner.session(), line)) ++compared;
    }
    // The same sample through the other model and the manual grid, with and without the
    // broadenings.
    Session& s = runner.session();
    for (const char* model : {"TFOptions.RadioNumeric", "TFOptions.RadioAnalitic"}) {
      s.controls().setChecked(model, true);
      for (const bool convolve : {true, false}) {
        s.controls().setChecked("TFOptions.CheckConv", convolve);
        s.run("CalcSimulation");
        if (sameAsModel(s, std::string(name) + " " + model)) ++compared;
      }
    }
    s.controls().setChecked("TFOptions.RadioNumeric", true);
    s.controls().setChecked("TFNRP.CheckAuto", false);
    s.controls().setText("TFNRP.EditNc", "40");
    s.run("CalcSimulation");
    if (sameAsModel(s, std::string(name) + " manual grid")) ++compared;
  }
  EXPECT_GE(compared, 15);
}

profile layer(double thickness) {
  profile p = defaultProfile();
  for (int i = 0; i < p.count; ++i)
    p.values[static_cast<std::size_t>(i)] = i * p.step < thickness ? 1.0 : 0.0;
  return p;
}

NraNumericInput numericInput() {
  NraNumericInput in;
  in.table = {151.0, 10.0, 548.56, 6.62};
  in.broadening = {true, 100.0, 150.0};
  in.depth = layer(10.0);
  return in;
}

// Counts the stages and pauses a model reports, and stops it at a chosen pause.
struct CountingProgress : Progress {
  int tables = 0, lorentzian = 0, gaussian = 0, pauses = 0, advances = 0;
  int stopAtPause = -1;
  CancelToken* token = nullptr;
  void stage(ModelStage s, const std::string&) override {
    tables += s == ModelStage::collisionTable;
    lorentzian += s == ModelStage::lorentzian;
    gaussian += s == ModelStage::gaussian;
  }
  void advance(int, int) override { ++advances; }
  void pause() override {
    if (++pauses == stopAtPause && token != nullptr) token->request();
  }
};

TEST(NraModels, TheNumericModelKeepsItsTableForTheSameValuesOnly) {
  NraNumericInput in = numericInput();
  NraNumericCache cache;
  CountingProgress progress;
  const NraNumericResult first = numericExcitationCurve(in, cache, {&progress, nullptr});
  ASSERT_TRUE(first.tableBuilt);
  EXPECT_EQ(progress.tables, 1);
  EXPECT_EQ(progress.lorentzian, 1);
  EXPECT_EQ(progress.gaussian, 1);
  EXPECT_EQ(first.tableStats.size(), static_cast<std::size_t>(first.grid.nc));
  EXPECT_EQ(progress.advances, static_cast<int>(first.grid.nc));
  // The curve's area goes with concentration x thickness, whatever the broadenings.
  const double area = first.curve.integral();
  ASSERT_GT(area, 0.0);

  // Another profile or other widths reuse the table; another stopping builds a new one.
  in.depth = layer(5.0);
  in.broadening.beamSpread = 300.0;
  const NraNumericResult second = numericExcitationCurve(in, cache);
  EXPECT_FALSE(second.tableBuilt);
  EXPECT_NEAR(second.curve.integral() / area, 0.5, 2e-3);
  in.table.stopping = 500.0;
  const NraNumericResult third = numericExcitationCurve(in, cache);
  EXPECT_TRUE(third.tableBuilt);
  NraNumericCache fresh;
  EXPECT_EQ(numericExcitationCurve(in, fresh).curve.values, third.curve.values);
}

TEST(NraModels, ALentTableServesWhileItsKeyMatches) {
  NraNumericInput in = numericInput();
  NraNumericCache own;
  const NraNumericResult built = numericExcitationCurve(in, own);
  NraNumericCache borrower;
  borrower.lent = &own.tables.table;
  borrower.lentKey = own.tables.key;
  const NraNumericResult lent = numericExcitationCurve(in, borrower);
  EXPECT_FALSE(lent.tableBuilt);
  EXPECT_TRUE(borrower.tables.table.empty());
  EXPECT_EQ(lent.curve.values, built.curve.values);
  // Other values than the lent table's: a table of the cache's own.
  in.table.stopping = 500.0;
  EXPECT_TRUE(numericExcitationCurve(in, borrower).tableBuilt);
  EXPECT_FALSE(borrower.tables.table.empty());
}

TEST(NraModels, AStoppedTableBuildKeepsTheCachedTable) {
  NraNumericInput in = numericInput();
  NraNumericCache cache;
  const NraNumericResult before = numericExcitationCurve(in, cache);
  const std::vector<spectro> table = cache.tables.table;
  in.table.straggling = 7.0;  // a new table is needed
  CancelToken token;
  CountingProgress progress;
  progress.token = &token;
  progress.stopAtPause = 5;
  EXPECT_THROW(numericExcitationCurve(in, cache, {&progress, &token}), Cancelled);
  ASSERT_EQ(cache.tables.table.size(), table.size());
  EXPECT_EQ(cache.tables.table[3].values, table[3].values);
  // The old values still find their table, untouched.
  in.table.straggling = 6.62;
  const NraNumericResult again = numericExcitationCurve(in, cache);
  EXPECT_FALSE(again.tableBuilt);
  EXPECT_EQ(again.curve.values, before.curve.values);
}

TEST(NraModels, RefusalsNameTheirValue) {
  struct Case {
    const char* what;
    void (*change)(NraNumericInput&);
    const char* words;
  };
  const Case cases[] = {
      {"negative spread", [](NraNumericInput& in) { in.broadening.beamSpread = -1.0; },
       "Gaussian spread (eV): -1 is not a width"},
      {"Emin below 0.5 eV", [](NraNumericInput& in) { in.table.straggling = 3.0; }, "below 0.5 eV"},
      {"too many collisions",
       [](NraNumericInput& in) {
         in.table.autoMode = false;
         in.table.step = 1.0;
         in.table.nc = 100000;
         in.table.bins = 100000;
       },
       "# Convolutions: 100000"},
  };
  for (const Case& c : cases) {
    NraNumericInput in = numericInput();
    c.change(in);
    NraNumericCache cache;
    try {
      numericExcitationCurve(in, cache);
      ADD_FAILURE() << c.what << ": no refusal";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos)
          << c.what << ": " << e.what();
    }
    EXPECT_FALSE(cache.tables.valid) << c.what;
  }
}

TEST(NraModels, TheAnalyticModelNeedsNoSession) {
  NraAnalyticInput in;
  in.maxEnergy = 10.0;
  in.stopping = 548.56;
  in.straggling = 6.62;
  in.depth = layer(10.0);
  in.broadening = {false, 0.0, 0.0};
  const spectro bare = analyticExcitation(in);
  EXPECT_EQ(bare.values, analyticExcitationCurve(in.depth, 10.0, 548.56, 6.62).values);
  in.broadening = {true, 100.0, 150.0};
  CountingProgress progress;
  const spectro broadened = analyticExcitation(in, {&progress, nullptr});
  EXPECT_EQ(progress.lorentzian + progress.gaussian, 2);
  EXPECT_GT(broadened.size(), bare.size());
  EXPECT_NEAR(broadened.integral() / bare.integral(), 1.0, 0.01);
  in.stopping = 0.0;
  EXPECT_THROW(analyticExcitation(in), std::invalid_argument);
}

}  // namespace
}  // namespace tarvex
