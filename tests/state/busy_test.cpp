// One command at a time, "Stop", and the notifications a window binds to.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

// Ion scattering, Gaussian model, two elements with a uniform layer: a run that processes
// events once per element and more.
struct GaussianRun : SessionFixture {
  GaussianRun() {
    meisMode();
    session.setCheckedAsClick("TFOptions.RadioGauss", true);
    addElement("O");
    addElement("Hf");
    for (auto& [name, p] : session.state().elementProfiles) {
      for (double& v : p.values)
        v = 1.0;
    }
  }
};

TEST(Busy, CommandsArrivingDuringACommandAreRefusedWithNoEffect) {
  GaussianRun f;
  f.set("TFMEIS.EditElname", "O");
  int tried = 0;
  int accepted = 0;
  std::vector<bool> enabled;
  f.host.onProcessEvents = [&] {
    if (!f.session.busy()) return;
    ++tried;
    // Deleting the element the engine is iterating over would pull it from under the run.
    accepted += f.session.click("TFMEIS.ButtonDel");
    accepted += f.session.run("ClearPlots");
    accepted += f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
    accepted += f.session.applyChecked("TFOptions.CheckConv", false);
    accepted += f.session.select("TFrameMEISSample.ComboEl_list", 1);
    accepted += f.session.guarded([&] { f.session.invoke("DeleteElement"); });
    enabled.push_back(f.session.actionEnabled("Preview"));
    enabled.push_back(!f.session.actionEnabled("Stop"));
  };
  EXPECT_TRUE(f.session.run("CalcSimulation"));
  EXPECT_GT(tried, 0);
  EXPECT_EQ(accepted, 0);
  EXPECT_EQ(std::count(enabled.begin(), enabled.end(), true), 0);
  EXPECT_EQ(f.session.state().elementMap.size(), 2u);
  EXPECT_TRUE(f.session.controls().checked("TFOptions.RadioMEIS"));
  EXPECT_TRUE(f.session.controls().checked("TFOptions.CheckConv"));
  EXPECT_EQ(f.session.state().gaussianSpectra.size(), 2u);
  EXPECT_FALSE(f.series("ChartPrinc.SeriesGauss").points.empty());
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_FALSE(f.session.lastCommandFailed());
  // Once the command has ended the same click goes through.
  f.host.onProcessEvents = nullptr;
  EXPECT_TRUE(f.session.click("TFMEIS.ButtonDel"));
  EXPECT_EQ(f.session.state().elementMap.count("O"), 0u);
}

TEST(Busy, CommandsAreRefusedWhileAMessageOfACommandIsOpen) {
  struct Host : testing::RecordingHost {
    Session* session = nullptr;
    bool accepted = true;
    void showMessage(const std::string& text) override {
      RecordingHost::showMessage(text);
      accepted = session->run("Preview");
    }
  } host;
  Session s(host);
  registerAllActions(s);
  host.session = &s;
  s.setCheckedAsClick("TFOptions.RadioGauss", true);
  s.run("CalcSimulation");  // "Gaussian calculation not ready for NRP"
  EXPECT_FALSE(host.accepted);
  EXPECT_TRUE(s.lastCommandFailed());
}

TEST(Busy, TheHostIsToldOncePerCommand) {
  SessionFixture f;
  f.session.run("Preview");  // runs nested plot actions
  f.session.click("TFNRP.Button3");
  EXPECT_EQ(f.host.busyChanges, (std::vector<bool>{true, false, true, false}));
  bool busyInside = false;
  f.session.registerAction("Probe", [&] { busyInside = f.session.busy(); });
  f.session.run("Probe");
  EXPECT_TRUE(busyInside);
  EXPECT_FALSE(f.session.busy());
}

TEST(Stop, EndsTheCommandAtItsNextCancelPointWithoutAMessage) {
  SessionFixture f;  // resonant NRA, numeric model
  f.host.onProcessEvents = [&] {
    if (f.session.busy()) f.session.run("Stop");
  };
  EXPECT_TRUE(f.session.actionEnabled("Stop"));
  f.session.run("CalcSimulation");
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"), "Stopped");
  EXPECT_EQ(f.text("TFrameNRPSample.StatusDraw"), "Stopped");
  EXPECT_TRUE(f.session.lastCommandFailed());
  EXPECT_EQ(f.session.state().numericExcitation.size(), 0);
  EXPECT_TRUE(f.series("ChartPrinc.SeriesPrinc").points.empty());

  // The next command starts with the stop forgotten.
  f.host.onProcessEvents = nullptr;
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"),
            "The profile is empty: draw a layer in the Sample window first");
  EXPECT_FALSE(f.session.lastCommandFailed());
  EXPECT_GT(f.session.state().numericExcitation.size(), 0);
}

TEST(Stop, AStopRequestedBetweenCommandsIsForgotten) {
  SessionFixture f;
  f.session.run("Stop");
  f.session.requestStop();
  f.session.run("CalcSimulation");
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"),
            "The profile is empty: draw a layer in the Sample window first");
}

TEST(Stop, EventPointAndStatusAreCancelPoints) {
  SessionFixture f;
  int reached = 0;
  f.session.registerAction("Long", [&] {
    f.session.eventPoint();
    ++reached;
    f.session.requestStop();
    f.session.SetStatus("half-way");
    ++reached;
  });
  f.session.registerAction("Longer", [&] {
    f.session.requestStop();
    f.session.eventPoint();
    ++reached;
  });
  f.session.run("Long");
  EXPECT_EQ(reached, 1);
  f.session.run("Longer");
  EXPECT_EQ(reached, 1);
  EXPECT_EQ(f.host.statuses.back(), "Stopped");
  // Outside a command nothing is stopped.
  f.session.requestStop();
  f.session.eventPoint();
  f.session.SetStatus("idle");
}

// A long loop with no event point of its own (a table build, the depth weighting) still lets
// the window's events through where it looks for a stop, so "Stop" reaches it; other commands
// arriving there are refused as at any event point. Those events are counted apart from the
// event points, whose places do not depend on the machine's speed.
TEST(Stop, TheLongLoopsLetEventsThroughWhereTheyLookForAStop) {
  SessionFixture f;
  long long checks = 0;
  int refused = 0;
  f.host.onServeEvents = [&] {
    refused += !f.session.run("ClearPlots");
    if (f.host.eventsServed == 3) f.session.run("Stop");
  };
  f.session.registerAction("Spin", [&] {
    for (; checks < 100'000'000; ++checks)
      checkCancel();
  });
  const int points = f.host.eventsProcessed;
  f.session.run("Spin");
  EXPECT_LT(checks, 100'000'000);
  EXPECT_EQ(f.host.eventsServed, 3);
  EXPECT_EQ(f.host.eventsProcessed, points);
  EXPECT_EQ(refused, 3);
  EXPECT_EQ(f.host.statuses.back(), "Stopped");
  // Outside a command a check for a stop serves no events.
  f.host.onServeEvents = nullptr;
  checkCancel();
  EXPECT_EQ(f.host.eventsServed, 3);
}

TEST(Failure, ErrorsMessagesAndErrorStatusesMarkTheCommand) {
  SessionFixture f;
  f.session.registerAction("Fine", [&] { f.session.SetStatus("Done!"); });
  f.session.registerAction("Status", [&] { f.session.SetStatus("Numeric ERROR!"); });
  f.session.registerAction("Message", [&] { f.session.host().showMessage("File Error!"); });
  f.session.registerAction("Throws", [] { throw std::runtime_error("bad"); });
  for (const char* name : {"Status", "Message", "Throws"}) {
    f.session.run("Fine");
    EXPECT_FALSE(f.session.lastCommandFailed()) << name;
    f.session.run(name);
    EXPECT_TRUE(f.session.lastCommandFailed()) << name;
  }
  EXPECT_FALSE(f.session.guarded([] { throw std::runtime_error("bad"); }));
  EXPECT_TRUE(f.session.guarded([] {}));
}

TEST(Actions, DescribedAndRegisteredOnce) {
  SessionFixture f;
  EXPECT_THROW(f.session.registerAction("Preview", [] {}), std::logic_error);
  ASSERT_NE(f.session.actionSpec("CalcSimulation"), nullptr);
  EXPECT_STREQ(f.session.actionSpec("CalcSimulation")->caption, "Calculate");
  EXPECT_STREQ(f.session.actionSpec("Loaddata")->category, "File-Load");
  EXPECT_EQ(f.session.actionSpec("NoSuchAction"), nullptr);
  EXPECT_TRUE(f.session.actionEnabled("Preview"));
  EXPECT_FALSE(f.session.actionEnabled("NoSuchAction"));
  // Every action of the list that the program has is registered under its name.
  for (const ActionSpec& a : actionCatalogue()) {
    if (f.session.hasAction(a.name)) {
      EXPECT_EQ(f.session.actionSpec(a.name), &a);
    }
  }
}

TEST(Sigma, CrossSectionRelativeToItsValueAt100keV) {
  SessionFixture f;
  f.session.run("Sigma");
  const auto& pts = f.series("ChartPrinc.SeriesGauss").points;
  ASSERT_EQ(pts.size(), 241u);
  EXPECT_EQ(pts.front().x, 60.0);
  EXPECT_EQ(pts.back().x, 300.0);
  EXPECT_DOUBLE_EQ(pts[40].y, 1.0);
  // Rutherford scattering falls as 1/E^2; screening takes a few percent off at low energy.
  EXPECT_NEAR(pts[140].y, 0.25, 0.25 * 0.03);
  EXPECT_LT(pts[0].y, 1.0 / 0.36);
  EXPECT_GT(pts[0].y, 0.97 / 0.36);
  for (std::size_t i = 1; i < pts.size(); ++i)
    EXPECT_LT(pts[i].y, pts[i - 1].y);
}

TEST(Notifications, ObserversCanBeRemovedEvenWhileBeingTold) {
  ControlStore c;
  std::vector<std::string> seen;
  int self = 0;
  const int a = c.observe([&](const std::string& k) { seen.push_back("a " + k); });
  self = c.observe([&](const std::string& k) {
    seen.push_back("b " + k);
    c.unobserve(self);  // a window that closes in reaction to a change
  });
  c.setText("TFNRP.EditEnrg", "150");
  c.setText("TFNRP.EditEnrg", "149");
  c.unobserve(a);
  c.setText("TFNRP.EditEnrg", "148");
  EXPECT_EQ(seen,
            (std::vector<std::string>{"a TFNRP.EditEnrg", "b TFNRP.EditEnrg", "a TFNRP.EditEnrg"}));

  ChartStore charts;
  int told = 0;
  const int id = charts.observe([&](const std::string&) { ++told; });
  charts.add("ChartPrinc.SeriesExp", 1, 2);
  charts.unobserve(id);
  charts.add("ChartPrinc.SeriesExp", 1, 2);
  EXPECT_EQ(told, 1);
}

TEST(Notifications, TheLogTellsWhatWasAppended) {
  SessionFixture f;
  std::string shown;
  const int id =
      f.session.controls().observeAppend([&](const std::string& key, const std::string& appended) {
        if (key == "TFLog.EditLog") shown += "[" + appended + "]";
      });
  f.session.logAppend("a");
  f.session.logAppend("b\n");
  f.session.controls().unobserveAppend(id);
  f.session.logAppend("c");
  EXPECT_EQ(shown, "[a][b\n]");
  EXPECT_EQ(f.session.logText(), "ab\nc");
}

TEST(Notifications, APlotSetsEachSeriesOnce) {
  SessionFixture f;
  std::map<std::string, int> told;
  f.session.charts().observe([&](const std::string& key) { ++told[key]; });
  f.session.run("Plotprofile");
  f.session.run("Sigma");
  EXPECT_EQ(told["ChartNRPProf.SeriesAmostra"], 1);
  EXPECT_EQ(told["ChartPrinc.SeriesGauss"], 1);
  EXPECT_EQ(f.series("ChartNRPProf.SeriesAmostra").points.size(), 2000u);

  GaussianRun m;
  told.clear();
  m.session.charts().observe([&](const std::string& key) { ++told[key]; });
  m.session.run("Plotprofile");
  EXPECT_EQ(told["ChartMEISProf.SeriesAmostra"], 1);
  EXPECT_EQ(told["ChartMEISProf.SeriesSum"], 1);
}

}  // namespace
}  // namespace tarvex
