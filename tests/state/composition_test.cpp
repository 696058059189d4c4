#include <gtest/gtest.h>

#include "core/numtext.h"
#include "state/profile_fit.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

std::vector<std::string> items(SessionFixture& f, const std::string& key) {
  return f.session.controls().get(key).items;
}

TEST(Composition, NamesAreOrderedByteWise) {
  SessionFixture f;
  f.meisMode();
  for (const char* n : {"hf", "Zr", "O", "Si", "Hf"})
    f.addElement(n);
  const std::vector<std::string> want{"Hf", "O", "Si", "Zr", "hf"};
  EXPECT_EQ(items(f, "TFMEIS.ListElements"), want);
  EXPECT_EQ(items(f, "TFrameMEISSample.ComboEl_list"), want);
  EXPECT_EQ(f.text("TFrameMEISSample.ComboEl_list"), "Hf");
}

TEST(Composition, AddingSelectsTheFirstNameAndReplacesARecord) {
  SessionFixture f;
  f.meisMode();
  for (const char* n : {"O", "Hf", "Si"})
    f.addElement(n);
  f.session.select("TFrameMEISSample.ComboEl_list", 2);
  f.session.state().elementProfiles["Zr"];
  f.addElement("Zr");
  EXPECT_EQ(items(f, "TFMEIS.ListElements"), (std::vector<std::string>{"Hf", "O", "Si", "Zr"}));
  EXPECT_EQ(f.text("TFrameMEISSample.ComboEl_list"), "Hf");
  EXPECT_EQ(f.session.state().currentProfile.element, "Hf");

  f.session.state().elementProfiles["O"].values[5] = 0.75;
  f.set("TFMEIS.EditZ", "8");
  f.set("TFMEIS.EditMass", "16");
  f.addElement("O");
  const element& o = f.session.state().elementMap.at("O");
  EXPECT_EQ(o.Z, 8.0);
  EXPECT_EQ(o.mass, 16.0);
  EXPECT_EQ(f.session.state().elementProfiles["O"].values[5], 0.75);
}

TEST(Composition, DeleteKeepsTheProfileForALaterAdd) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.addElement("O");
  f.session.state().elementProfiles["O"].values[10] = 0.5;
  f.set("TFMEIS.EditElname", "O");
  f.session.click("TFMEIS.ButtonDel");
  EXPECT_EQ(items(f, "TFMEIS.ListElements"), std::vector<std::string>{"Hf"});
  EXPECT_EQ(items(f, "TFrameMEISSample.ComboEl_list"), (std::vector<std::string>{"Hf", "O"}));
  f.set("TFMEIS.EditElname", "Nope");
  f.session.click("TFMEIS.ButtonDel");
  EXPECT_EQ(f.session.state().elementMap.size(), 1u);
  f.addElement("O");
  EXPECT_EQ(f.session.state().elementProfiles["O"].values[10], 0.5);
}

TEST(Composition, DeletingTheOnlyElementLeavesAZeroTotal) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.session.state().elementProfiles["Hf"].values.assign(1000, 1.0);
  f.session.click("TFMEIS.ButtonDel");
  EXPECT_TRUE(items(f, "TFMEIS.ListElements").empty());
  EXPECT_EQ(items(f, "TFrameMEISSample.ComboEl_list"), std::vector<std::string>{"Hf"});
  f.session.Plotprofile();
  for (const ChartPoint& p : f.series("ChartMEISProf.SeriesSum").points)
    ASSERT_EQ(p.y, 0.0);
}

TEST(Composition, ShowElementWritesTheShortestForms) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.set("TFMEIS.EditZ", "1");
  f.set("TFMEIS.EditElname", "x");
  f.session.select("TFMEIS.ListElements", 0);
  EXPECT_EQ(f.text("TFMEIS.EditElname"), "Hf");
  EXPECT_EQ(f.text("TFMEIS.EditZ"), "72");
  EXPECT_EQ(f.text("TFMEIS.EditMass"), "178.5");
  EXPECT_EQ(f.text("TFMEIS.EditSCL"), "216.8");
}

TEST(Composition, AStepChangeKeepsValuesAtTheirIndex) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  profile& p = f.session.state().elementProfiles["Hf"];
  ASSERT_EQ(p.count, 1000);
  p.values[400] = 1.0;  // an edge at depth 4
  p.values[700] = 1.0;  // something below depth 5
  f.set("TFMEIS.EditProfstep", "0.02");
  f.session.click("TFMEIS.Button1");
  EXPECT_EQ(p.count, 500);
  EXPECT_EQ(p.values[400], 1.0);  // now at depth 8
  EXPECT_DOUBLE_EQ(400 * p.step, 8.0);
}

TEST(Composition, FailureOrder) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.session.parametersChanged();
  const double energy = f.session.state().paramValues[param::meisIonEnergy];
  f.set("TFMEIS.EditZ", "7.5");
  f.addElement("N");
  EXPECT_EQ(f.host.messages.back(),
            "'7.5' is not a valid integer value (Options, Ion Scattering: \"Z\")");
  EXPECT_EQ(f.session.state().elementMap.count("N"), 0u);
  EXPECT_DOUBLE_EQ(f.session.state().paramValues[param::meisIonEnergy], energy + 0.01);
}

// A profile step or thickness that cannot give a profile is refused before the composition,
// the element list, the element box or any profile changes.
TEST(Composition, BadProfileFieldsChangeNothing) {
  struct {
    const char* step;
    const char* thickness;
    const char* message;  // the start of the message
  } cases[] = {{"0", "10", "\"Step:\" must be a positive depth step"},
               {"-0.01", "10", "\"Step:\" must be a positive depth step"},
               {"fine", "10", "'fine' is not a valid floating point value"},
               {"0.01", "ten", "'ten' is not a valid floating point value"},
               {"1e-9", "10", "\"Thickness\" of 10 Å at a depth step of 1E-9 Å needs"},
               {"0.01", "1e12", "\"Thickness\" of 1000000000000 Å"}};
  for (auto c : cases) {
    SessionFixture f;
    f.meisMode();
    f.addElement("Hf");
    f.session.state().elementProfiles["Hf"].values[3] = 0.5;
    const profile before = f.session.state().elementProfiles["Hf"];
    f.set("TFMEIS.EditProfstep", c.step);
    f.set("TFMEIS.EditMaxDepth", c.thickness);
    f.addElement("O");
    ASSERT_FALSE(f.host.messages.empty()) << c.step << " " << c.thickness;
    EXPECT_EQ(f.host.messages.back().rfind(c.message, 0), 0u) << f.host.messages.back();
    const WorkingState& st = f.session.state();
    EXPECT_EQ(st.elementMap.size(), 1u) << c.step << " " << c.thickness;
    EXPECT_EQ(items(f, "TFMEIS.ListElements"), std::vector<std::string>{"Hf"});
    EXPECT_EQ(items(f, "TFrameMEISSample.ComboEl_list"), std::vector<std::string>{"Hf"});
    EXPECT_EQ(f.text("TFrameMEISSample.ComboEl_list"), "Hf");
    EXPECT_EQ(st.elementProfiles.at("Hf").values, before.values);
    EXPECT_EQ(st.elementProfiles.at("Hf").step, before.step);
    EXPECT_EQ(st.elementProfiles.count("O"), 0u);
    // "^" and "Update plot" refuse the same fields without changing anything either.
    f.session.click("TFMEIS.Button1");
    f.session.run("Updateplot");
    EXPECT_EQ(st.elementProfiles.at("Hf").values, before.values);
    EXPECT_EQ(items(f, "TFMEIS.ListElements"), std::vector<std::string>{"Hf"});
  }
}

// Each element keeps a profile of the common thickness: the limit holds for all of them
// together, checked before any profile is built.
TEST(Composition, AllElementProfilesTogetherStayWithinTheLimit) {
  SessionFixture f;
  f.meisMode();
  for (const char* name : {"Hf", "O", "Zr"})
    f.addElement(name);
  const WorkingState& st = f.session.state();
  const std::map<std::string, profile> before = st.elementProfiles;
  const std::size_t n = before.size();
  ASSERT_GE(n, 3u);
  const auto message = [](std::size_t profiles, const char* thickness) {
    return std::to_string(profiles) + " element profiles need " +
           formatGeneral(2e7 * static_cast<double>(profiles)) +
           " points together, more than the 50000000 all depth profiles can hold (a larger "
           "\"Step:\" or a smaller " +
           thickness + " brings it down)";
  };
  f.host.messages.clear();
  // "Update plot" keeps each profile's step (0.01 Å): 2e7 points a profile.
  f.set("TFMEIS.EditMaxDepth", "200000");
  f.session.run("Updateplot");
  // A new element takes the step of the field for every profile: 2e7 points a profile again.
  f.set("TFMEIS.EditProfstep", "0.001");
  f.set("TFMEIS.EditMaxDepth", "20000");
  f.addElement("N");
  ASSERT_EQ(f.host.messages.size(), 2u);
  // Profiles kept at another step count for what they would hold.
  const std::string& update = f.host.messages[0];
  EXPECT_EQ(update.rfind(std::to_string(n) + " element profiles need ", 0), 0u) << update;
  EXPECT_NE(update.find("plus \"Contamination\" brings it down)"), std::string::npos) << update;
  EXPECT_EQ(f.host.messages[1], message(n + 1, "\"Thickness\""));
  EXPECT_EQ(st.elementMap.size(), 3u);
  ASSERT_EQ(st.elementProfiles.size(), n);
  for (const auto& [name, p] : before) {
    EXPECT_EQ(st.elementProfiles.at(name).values, p.values) << name;
    EXPECT_EQ(st.elementProfiles.at(name).step, p.step) << name;
  }
}

TEST(Composition, EmptyNameIsAnElementThatDrawsNothing) {
  SessionFixture f;
  f.meisMode();
  f.addElement("");
  EXPECT_EQ(f.session.state().elementMap.count(""), 1u);
  EXPECT_TRUE(f.series("ChartMEISProf.SeriesAmostra").points.empty());
}

TEST(Composition, ContaminationLeavesTheAddedProfileShorter) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.set("TFMEIS.EditCont", "2");
  f.addElement("O");
  const auto& profiles = f.session.state().elementProfiles;
  EXPECT_EQ(profiles.at("Hf").count, 1200);
  EXPECT_EQ(profiles.at("O").count, 1000);
  f.session.click("TFMEIS.Button1");  // "^" reshapes after "Update plot": no difference
  EXPECT_EQ(profiles.at("Hf").count, profiles.at("O").count);
}

TEST(ProfileUpdate, NraThicknessIsWrittenBackInWholePoints) {
  SessionFixture f;
  f.set("TFNRP.EditMaxDepth", "10.0001");
  f.session.run("Updateplot");
  EXPECT_EQ(f.session.state().nraProfile.count, 2001);
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10.005");
  const AxisRange depth = f.session.charts().axes("ChartNRPProf").bottom;
  EXPECT_FALSE(depth.automatic);
  EXPECT_DOUBLE_EQ(depth.max, 10.0001);
  // The thickness written back covers the same whole points when it is read again.
  for (int run = 0; run < 3; ++run) {
    f.session.run("Updateplot");
    EXPECT_EQ(f.session.state().nraProfile.count, 2001);
    EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10.005");
  }
}

// count*step, written as a field shows it and read back, covers count points again, over every
// count up to 20000 for the steps in use.
TEST(ProfileUpdate, WrittenBackThicknessGivesTheSamePoints) {
  for (double step : {0.005, 0.01, 0.003, 0.007, 0.02, 0.1, 0.33}) {
    int wrong = 0;
    for (int n = 0; n <= 20000; ++n) {
      const double shown = parseFloat(formatGeneral(n * step));
      if (pointsFor(shown, step, "step") != n) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << step;
  }
  EXPECT_EQ(pointsFor(10.0001, 0.005, "step"), 2001);  // a real excess still starts a point
  EXPECT_EQ(pointsFor(-1.0, 0.005, "step"), 0);
}

TEST(ProfileUpdate, ARefusedThicknessLeavesTheProfiles) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  p.values[10] = 0.5;
  const profile before = p;
  f.set("TFNRP.EditCont", "5");
  f.set("TFNRP.EditMaxDepth", "1e12");
  f.session.run("Updateplot");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0].rfind("\"Thickness\" plus \"Contamination\" of 1000000000005 Å", 0),
            0u)
      << f.host.messages[0];
  EXPECT_EQ(p.count, before.count);
  EXPECT_EQ(p.values, before.values);
  EXPECT_EQ(p.startDepth, before.startDepth);
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "1e12");

  f.meisMode();
  f.set("TFMEIS.EditMaxDepth", "10");
  f.addElement("Hf");
  f.addElement("O");
  const auto profiles = f.session.state().elementProfiles;
  f.set("TFMEIS.EditCont", "5");
  f.set("TFMEIS.EditMaxDepth", "1e12");
  f.session.run("Updateplot");
  EXPECT_EQ(f.host.messages.size(), 2u);
  for (const auto& [name, q] : profiles) {
    EXPECT_EQ(f.session.state().elementProfiles.at(name).values, q.values) << name;
    EXPECT_EQ(f.session.state().elementProfiles.at(name).startDepth, q.startDepth) << name;
  }
}

TEST(ProfileUpdate, ContaminationMovesTheProfileDeeper) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  p.values[0] = 0.5;
  p.values[1999] = 0.25;
  f.set("TFNRP.EditCont", "2");
  f.session.run("Updateplot");
  EXPECT_EQ(p.count, 2400);
  for (int i = 0; i < 400; ++i)
    ASSERT_EQ(p.values[i], 0.0);
  EXPECT_EQ(p.values[400], 0.5);
  EXPECT_EQ(p.values[2399], 0.25);
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10");
  const profile once = p;
  f.session.run("Updateplot");
  EXPECT_EQ(p.values, once.values);
  EXPECT_EQ(f.text("TFNRP.EditMaxDepth"), "10");
}

TEST(ProfileUpdate, IonScatteringAddsTheEditorElementFirst) {
  SessionFixture f;
  f.meisMode();
  f.session.run("Updateplot");
  EXPECT_EQ(f.session.state().elementMap.count("Hf"), 1u);
  EXPECT_EQ(f.session.state().elementProfiles.at("Hf").count, 1000);
  EXPECT_EQ(f.text("TFMEIS.EditMaxDepth"), "10");
  EXPECT_EQ(f.series("ChartMEISProf.SeriesAmostra").points.size(), 1000u);
}

}  // namespace
}  // namespace tarvex
