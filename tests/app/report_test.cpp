// The report pages: their labels for each model and option, the ion-scattering page's energy
// window, the profile chart of the resonant page, and the pages the report commands touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/report.h"
#include "core/numtext.h"
#include "core/physics.h"
#include "io/data_file.h"
#include "support/recording_host.h"

namespace tarvex {
namespace {

// Every action registered, the report commands included.
struct SessionFixture : testing::SessionFixture {
  SessionFixture() {
    if (!session.hasAction("Report")) registerReportActions(session);
  }
};

std::map<std::string, std::string> finalTexts(const std::vector<ReportLabel>& labels) {
  std::map<std::string, std::string> m;
  for (const ReportLabel& l : labels)
    m[l.key] = l.text;
  return m;
}

TEST(ReportTest, ResonantPageShowsTheFrameAsTypedInItsOrder) {
  SessionFixture f;
  f.set("TFNRP.EditEnrg", "429.6");
  f.set("TFNRP.EditGauss", "1,5");  // shown as typed, not converted
  f.set("TFOptions.EditBack", "abc");
  f.set("TFTarvex3.StatusBar1.2", "n15.dat");
  f.session.state().lastDataFile = "/data/n15.dat";
  for (const auto& [radio, model] : {std::pair{"TFOptions.RadioNumeric", "Model: Numeric"},
                                     std::pair{"TFOptions.RadioAnalitic", "Model: Bessel"},
                                     std::pair{"TFOptions.RadioGauss", "Model: Bessel"}}) {
    f.session.controls().setChecked(radio, true);
    const std::vector<ReportLabel> labels = nraReportLabels(f.session);
    std::vector<std::string> keys;
    for (const ReportLabel& l : labels)
      keys.push_back(l.key.substr(std::string("TFReport.").size()));
    EXPECT_EQ(keys, (std::vector<std::string>{"QRSample", "QRDate", "QREr", "QREGauss", "QRELor",
                                              "QRDEDX", "QRS", "QRShift", "QRBack", "QRDose",
                                              "QRCalc", "QRFile"}));
    std::map<std::string, std::string> t = finalTexts(labels);
    EXPECT_FALSE(t["TFReport.QRDate"].empty());
    t.erase("TFReport.QRDate");
    EXPECT_EQ(t, (std::map<std::string, std::string>{
                     {"TFReport.QRSample", "n15.dat"},
                     {"TFReport.QREr", "Er (keV): 429.6"},
                     {"TFReport.QREGauss", "Gauss (eV): 1,5"},
                     {"TFReport.QRELor", "Lorentz (eV): 100"},
                     {"TFReport.QRDEDX", "Stopping: 548.56"},
                     {"TFReport.QRS", "Straggling: 6.62"},
                     {"TFReport.QRShift", "Shift (keV): 0"},
                     // The drawn background, not the Options field: no line applied yet.
                     {"TFReport.QRBack", "Background (counts): 0"},
                     {"TFReport.QRDose", "Dose: 8"},
                     {"TFReport.QRCalc", model},
                     {"TFReport.QRFile", "/data/n15.dat"},
                 }))
        << radio;
  }
}

// A session in ion-scattering mode with the named model and the given changes.
struct MeisCase {
  const char* name;
  const char* model;  // the radio button of the model
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> checks;
  std::map<std::string, std::string> expected;  // labels (without "TFReport.") and their texts
};

TEST(ReportTest, IonScatteringPageForEachModelAndOption) {
  const std::vector<MeisCase> cases = {
      {"numeric, auto",
       "TFOptions.RadioNumeric",
       {{"TFMEIS.EditNc", "7"}},
       {},
       {{"QRCalcMEIS", "MEIS: Amsel calculation"},
        {"QRNc", "Nc: 7"},
        {"QRDeltaE", "Delta E (keV): 5"},
        {"QRGaussMEIS", "Instr FWHM (eV): 180"},
        {"QRDEDXMEIS", " (eV/nm): 192"},
        {"QRSMEIS", " (eV^2/nm): 20740"},
        {"QRFileSCCFile", ""},
        {"QRFileECSFile", ""},
        {"QRDensity", ""}}},
      {"numeric, manual grid",
       "TFOptions.RadioNumeric",
       {{"TFMEIS.EditVecsize", "1000"}, {"TFMEIS.EditStep", "10"}, {"TFMEIS.EditDeltaE", "7"}},
       {{"TFMEIS.CheckAuto", false}},
       {{"QRDeltaE", "Delta E (keV): 10"}}},
      {"numeric, manual grid of two digits",
       "TFOptions.RadioNumeric",
       {{"TFMEIS.EditVecsize", "1234"}, {"TFMEIS.EditStep", "10"}},
       {{"TFMEIS.CheckAuto", false}},
       {{"QRDeltaE", "Delta E (keV): 12"}}},
      {"bessel",
       "TFOptions.RadioAnalitic",
       {},
       {},
       {{"QRCalcMEIS", "MEIS: Bessel calculation"}, {"QRNc", "Nc: -"}}},
      {"gaussian, no convolution",
       "TFOptions.RadioGauss",
       {{"TFMEIS.EditGauss", "350"}},
       {{"TFOptions.CheckConv", false}},
       {{"QRCalcMEIS", "MEIS: Gaussian calculation"},
        {"QRNc", "Nc: -"},
        {"QRGaussMEIS", "Instr. FWHM (eV): 0"}}},
      {"external, SCC file",
       "TFOptions.RadioExternal",
       {{"TFExternCS.Editdedx", "300"},
        {"TFExternCS.Editdw2dx", "9000"},
        {"TFExternCS.EditSigmaExtSCC", "12"},
        {"TFExternCS.EditNcExt", "50"}},
       {},
       {{"QRCalcMEIS", "MEIS External cross section"},
        {"QRDEDXMEIS", " (eV/nm): 300"},
        {"QRSMEIS", " (eV^2/nm): 9000"},
        {"QRMEISSigma", "1/alpha (eV): 12"},
        {"QRNc", "Nc: 50"},
        {"QRDensity", "Density: (molecules/cm^3): 2.8e22"},
        {"QRFileSCCFile", "scc.dat"},
        {"QRFileECSFile", "crosssection.dat"}}},
      {"external, basic SCC",
       "TFOptions.RadioExternal",
       {},
       {{"TFExternCS.RadioSCCBasic", true}},
       {{"QRFileSCCFile", "SCC = alpha*exp(-alpha*E)"}, {"QRFileECSFile", "crosssection.dat"}}},
      {"external, no SCC",
       "TFOptions.RadioExternal",
       {},
       {{"TFMEIS.CheckSCCorr", false}},
       {{"QRMEISSigma", "1/alpha (eV): -"},
        {"QRFileSCCFile", "No SCC"},
        {"QRFileECSFile", "crosssection.dat"}}},
      {"numeric, no SCC",
       "TFOptions.RadioNumeric",
       {},
       {{"TFMEIS.CheckSCCorr", false}},
       {{"QRMEISSigma", "1/alpha (eV): -"}, {"QRFileSCCFile", "No SCC"}}},
      {"bessel, no SCC",
       "TFOptions.RadioAnalitic",
       {},
       {{"TFMEIS.CheckSCCorr", false}},
       {{"QRMEISSigma", "1/alpha (eV): -"}, {"QRFileSCCFile", "No SCC"}}},
      {"gaussian, no SCC",
       "TFOptions.RadioGauss",
       {},
       {{"TFMEIS.CheckSCCorr", false}},
       {{"QRMEISSigma", "1/alpha (eV): -"}, {"QRFileSCCFile", "No SCC"}}},
  };
  for (const MeisCase& c : cases) {
    SessionFixture f;
    f.meisMode();
    f.session.controls().setChecked(c.model, true);
    for (const auto& [k, v] : c.texts)
      f.set(k, v);
    for (const auto& [k, on] : c.checks)
      f.session.controls().setChecked(k, on);
    const std::map<std::string, std::string> t = finalTexts(meisReportLabels(f.session));
    for (const auto& [label, text] : c.expected) {
      const auto it = t.find("TFReport." + std::string(label));
      ASSERT_NE(it, t.end()) << c.name << ": " << label;
      EXPECT_EQ(it->second, text) << c.name << ": " << label;
    }
  }
}

TEST(ReportTest, IonScatteringPageShowsTheSampleTheBackgroundAndTheGeometry) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.set("TFBackground.EditYs", "3");
  f.session.run("updatebkgrnd");
  f.set("TFrameMEISSample.ComboEl_list", "Hf");
  f.set("TFrameMEISSample.StatusDraw.0", "Total: 1.5");
  f.set("TFMEIS.EditTOut", "125.3");
  f.set("TFOptions.EditMult", "2e3");
  f.set("TFTarvex3.StatusBar1.2", "hfo2.dat");
  f.session.state().lastDataFile = "/data/hfo2.dat";
  const std::map<std::string, std::string> t = finalTexts(meisReportLabels(f.session));
  const std::map<std::string, std::string> expected = {
      {"QRLinback", "Linear Background= Es: 0  Ys: 3  Ef: 1  Yf: 3"},
      {"QRMEISSigma", "SCC 1/alpha (eV): 216.8"},
      {"QRTotal", "Total: 1.5"},
      {"QRThetaIn", "Theta in: 0"},
      {"QRThetaOut", "Theta out: 125.3"},
      {"QRIonMass", "Ion Mass: 1"},
      {"QRZ", "Ion Atomic #: 1"},
      {"QREnergyMEIS", "Ion Energy (keV): 100"},
      {"QRShiftMEIS", "Shift (keV): 0"},
      {"QRDoseMEIS", "Dose: 2e3"},
      {"QRMaxThick", "Sample thickness (angstrom): 10"},
      {"QRProfStep", "Stepsize (angstrom): 0.01"},
      {"QRSampleMEIS", "hfo2.dat"},
      {"QRFileMEIS", "/data/hfo2.dat"},
  };
  for (const auto& [label, text] : expected)
    EXPECT_EQ(t.at("TFReport." + label), text) << label;
  EXPECT_FALSE(t.at("TFReport.QRDateMEIS").empty());

  // An element that is no longer in the composition has no number, and stays out of it.
  f.set("TFrameMEISSample.ComboEl_list", "Zr");
  EXPECT_EQ(labelText(meisReportLabels(f.session), "TFReport.QRMEISSigma"), "SCC 1/alpha (eV): ");
  EXPECT_EQ(f.session.state().elementMap.count("Zr"), 0U);
}

TEST(ReportTest, ManualGridWithoutANumberStopsTheFillBeforeAnyLabel) {
  SessionFixture f;
  f.meisMode();
  f.session.controls().setChecked("TFMEIS.CheckAuto", false);
  f.set("TFMEIS.EditVecsize", "1k");
  EXPECT_THROW(
      {
        try {
          meisReportLabels(f.session);
        } catch (const ConversionError& e) {
          EXPECT_STREQ(e.what(),
                       "'1k' is not a valid floating point value (Options, Ion Scattering: "
                       "\"Vector size\")");
          throw;
        }
      },
      ConversionError);
  const std::map<std::string, Control> before = f.session.controls().all();
  f.session.run("PreviewMEISReport");
  EXPECT_TRUE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.messages.size(), 1U);
  EXPECT_EQ(f.host.messages[0],
            "'1k' is not a valid floating point value (Options, Ion Scattering: \"Vector size\")");
  for (const auto& [k, c] : f.session.controls().all())
    EXPECT_EQ(c.text, before.at(k).text) << k;

  // With Auto Mode the grid fields are not read.
  f.session.controls().setChecked("TFMEIS.CheckAuto", true);
  EXPECT_EQ(labelText(meisReportLabels(f.session), "TFReport.QRDeltaE"), "Delta E (keV): 5");
}

TEST(ReportTest, ResonantPageDrawsTheProfileAndEachModeFillsOnlyItsOwnPage) {
  SessionFixture f;
  profile& p = f.session.state().nraProfile;
  p.values = {0.0, 1.0, 0.5, 0.25};
  p.count = 4;
  p.step = 2.5;
  const auto snapshot = [&] {
    std::map<std::string, std::string> m;
    for (const auto& [k, c] : f.session.controls().all())
      if (k.rfind("TFReport.", 0) == 0) m[k] = c.text;
    return m;
  };

  // Ion-scattering mode: "Report" leaves the resonant page alone.
  f.meisMode();
  f.set("TFTarvex3.StatusBar1.2", "a.dat");
  auto before = snapshot();
  ASSERT_TRUE(f.session.run("Report"));
  EXPECT_FALSE(f.session.lastCommandFailed());
  EXPECT_TRUE(f.series("ChartNRPProf.SeriesProf").points.empty());
  for (const ReportLabel& l : nraReportLabels(f.session)) {
    if (before.count(l.key)) {
      EXPECT_EQ(f.text(l.key), before[l.key]) << l.key;
    }
  }

  // Resonant mode: the profile is drawn, the ion-scattering page keeps its texts.
  f.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  f.set("TFTarvex3.StatusBar1.2", "b.dat");
  before = snapshot();
  ASSERT_TRUE(f.session.run("Report"));
  EXPECT_FALSE(f.session.lastCommandFailed());
  const std::vector<ChartPoint>& area = f.series("ChartNRPProf.SeriesProf").points;
  ASSERT_EQ(area.size(), 4U);
  for (std::size_t i = 0; i < area.size(); ++i) {
    EXPECT_DOUBLE_EQ(area[i].x, 2.5 * static_cast<double>(i));
    EXPECT_DOUBLE_EQ(area[i].y, p.values[i]);
  }
  EXPECT_EQ(f.series("ChartNRPProf.Series1").points.size(), 4U);
  for (const ReportLabel& l : meisReportLabels(f.session)) {
    if (before.count(l.key)) {
      EXPECT_EQ(f.text(l.key), before[l.key]) << l.key;
    }
  }
  if (f.session.controls().has("TFReport.QRSample")) {
    EXPECT_EQ(f.text("TFReport.QRSample"), "b.dat");
    EXPECT_EQ(f.text("TFReport.QRSampleMEIS"), "a.dat");
    // "ShowReport" fills both.
    ASSERT_TRUE(f.session.run("ShowReport"));
    EXPECT_EQ(f.text("TFReport.QRSampleMEIS"), "b.dat");
  }
}

TEST(ReportTest, TheWindowHasEveryLabelTheCommandsWrite) {
  SessionFixture f;
  std::set<std::string> keys;
  for (const ControlSpec& c : reportControls()) {
    EXPECT_TRUE(keys.insert(c.key).second) << "twice: " << c.key;
  }
  std::vector<ReportLabel> written = nraReportLabels(f.session);
  for (ReportLabel& l : meisReportLabels(f.session))
    written.push_back(std::move(l));
  for (const ReportLabel& l : written)
    EXPECT_EQ(keys.count(l.key), 1U) << l.key;
  std::map<std::string, std::string> texts;
  for (const ControlSpec& c : reportControls())
    texts[c.key] = c.text;
  EXPECT_EQ(texts["TFReport.QRVersion"], "Tarvex 3.0 Beta");
  EXPECT_EQ(texts["TFReport.QRVersionMEIS"], "Tarvex 3.0 Beta Report");
  EXPECT_EQ(texts["TFReport.QRNRNA"], "Tarvex 3.0.0.12 - Resonant NRA mode");
  EXPECT_EQ(texts["TFReport.QRMEIS"], "Tarvex 3.0.0.12 - Ion Scattering mode");
}

TEST(ReportTest, DateInThePlainLocaleIsWrittenAsIsoDate) {
  const std::string old = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, "C");
  const std::string date = reportDate(std::time(nullptr));
  std::setlocale(LC_TIME, old.c_str());
  EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << date;
}

// A profile of two million points reaches the page as the extremes of a few thousand depth
// columns: every peak and dip stays, in depth order; a short one keeps every point.
TEST(ReportTest, ALongProfileReachesThePageAsColumnExtremes) {
  const auto shape = [](std::size_t i) {
    // A smooth slope with one narrow spike and one narrow dip between the samples of a column.
    if (i == 1234567) return 9.0;
    if (i == 777777) return -4.0;
    return 1.0 + 0.5 * std::sin(static_cast<double>(i) * 1e-5);
  };
  struct Case {
    std::size_t n;
    bool exact;
  } cases[] = {{5, true}, {8192, true}, {2000000, false}};
  for (const Case& c : cases) {
    std::vector<double> values(c.n);
    for (std::size_t i = 0; i < c.n; ++i)
      values[i] = shape(i);
    const std::vector<ChartPoint> points = reportProfilePoints(values, c.n, 0.5, 0x123456);
    if (c.exact) {
      ASSERT_EQ(points.size(), c.n);
      for (std::size_t i = 0; i < c.n; ++i) {
        EXPECT_DOUBLE_EQ(points[i].x, 0.5 * static_cast<double>(i));
        EXPECT_EQ(points[i].y, values[i]);
      }
      continue;
    }
    EXPECT_LE(points.size(), 8200U);
    EXPECT_DOUBLE_EQ(points.front().x, 0.0);
    EXPECT_DOUBLE_EQ(points.back().x, 0.5 * static_cast<double>(c.n - 1));
    double top = -1e9, bottom = 1e9;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (i > 0) {
        EXPECT_LT(points[i - 1].x, points[i].x);
      }
      EXPECT_EQ(points[i].y, shape(static_cast<std::size_t>(points[i].x / 0.5)));
      EXPECT_EQ(points[i].colour, 0x123456U);
      top = std::max(top, points[i].y);
      bottom = std::min(bottom, points[i].y);
    }
    EXPECT_EQ(top, 9.0);
    EXPECT_EQ(bottom, -4.0);
  }
  // The points beyond n are not shown.
  EXPECT_EQ(reportProfilePoints({1, 2, 3}, 2, 1.0, 0).size(), 2U);
}

// Measured points reach the page of the mode they were loaded in and no other (loaded anew in
// the other mode, they move to its page), and "Clear Plots" takes them away.
TEST(ReportTest, MeasuredPointsReachThePageOfTheirModeOnly) {
  SessionFixture f;
  f.set("TFOptions.EditShift", "0.5");
  loadDataContent(f.session, "/data/n15.dat", "1 2\n3 4\n5 6\n");
  ASSERT_FALSE(f.session.lastCommandFailed());
  const Series& nra = f.series("ChartNRPSpec.SeriesExp");
  ASSERT_EQ(nra.points.size(), 3U);
  EXPECT_DOUBLE_EQ(nra.points[1].x, 3.5);
  EXPECT_DOUBLE_EQ(nra.points[1].y, 4.0);
  EXPECT_EQ(nra.points[0].colour, nra.colour);
  EXPECT_TRUE(f.series("ChartMEISSpec.SeriesExp").points.empty());
  // A preview in the other mode keeps them where they belong.
  f.meisMode();
  ASSERT_TRUE(f.session.run("PlotExp"));
  EXPECT_EQ(f.series("ChartNRPSpec.SeriesExp").points.size(), 3U);
  EXPECT_TRUE(f.series("ChartMEISSpec.SeriesExp").points.empty());

  loadDataContent(f.session, "/data/hfo2.dat", "90 2\n91 4\n92 6\n93 1\n");
  EXPECT_TRUE(f.series("ChartNRPSpec.SeriesExp").points.empty());
  EXPECT_EQ(f.series("ChartMEISSpec.SeriesExp").points.size(), 4U);
  ASSERT_TRUE(f.session.run("ClearPlots"));
  EXPECT_TRUE(f.series("ChartNRPSpec.SeriesExp").points.empty());
  EXPECT_TRUE(f.series("ChartMEISSpec.SeriesExp").points.empty());
}

// The resonant page states the background the curves are drawn on: the "Background" window's
// line as the calculation applied it (flat or sloped), whatever the Options field holds.
TEST(ReportTest, ResonantPageStatesTheDrawnBackground) {
  struct Case {
    int shape;  // the background window's choice: 0 flat, 1 linear
    const char* ys;
    const char* yf;
    const char* expected;
  } cases[] = {
      {0, "1.75", "9", "Background (counts): 1.75"},
      {1, "1", "3", "Background (counts): 1 at 150 keV to 3 at 157 keV"},
  };
  for (const Case& c : cases) {
    SessionFixture f;
    f.set("TFOptions.EditBack", "0");
    f.session.controls().setItemIndex("TFBackground.Bkgrdradio", c.shape);
    f.set("TFBackground.EditEs", "150");
    f.set("TFBackground.EditEf", "157");
    f.set("TFBackground.EditYs", c.ys);
    f.set("TFBackground.EditYf", c.yf);
    spectro curve(3, 4.0);
    curve.values = {0.0, 1.0, 2.0};
    f.session.state().numericExcitation = curve;
    ASSERT_TRUE(f.session.run("Preview")) << c.shape;
    const double drawn = f.series("ChartNRPSpec.SeriesPrinc").points.front().y;
    EXPECT_EQ(labelText(nraReportLabels(f.session), "TFReport.QRBack"), c.expected) << c.shape;
    EXPECT_DOUBLE_EQ(drawn, lineValue(f.session.state().nraBackgroundLine, 151.0)) << c.shape;
    EXPECT_GT(drawn, 0.5) << c.shape;
  }
}

// The ion-scattering page shows the Gaussian model's curve, from the model's plot and from the
// cross-section check "Sigma"; "Clear Plots" empties it.
TEST(ReportTest, IonScatteringPageShowsTheGaussianCurve) {
  SessionFixture f;
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  f.set("TFMEIS.EditMaxDepth", "10");
  ASSERT_TRUE(f.session.run("Updateplot"));
  for (auto& [name, p] : f.session.state().elementProfiles) {
    for (double& v : p.values)
      v = 1.0;
  }
  ASSERT_TRUE(f.session.run("CalcSimulation"));
  const Series& report = f.series("ChartMEISSpec.SeriesGauss");
  const Series& main = f.series("ChartPrinc.SeriesGauss");
  ASSERT_EQ(report.points.size(), 1000U);
  ASSERT_EQ(report.points.size(), main.points.size());
  for (std::size_t i = 0; i < main.points.size(); ++i)
    EXPECT_EQ(report.points[i].y, main.points[i].y);
  EXPECT_GT(std::max_element(report.points.begin(), report.points.end(),
                             [](const ChartPoint& a, const ChartPoint& b) { return a.y < b.y; })
                ->y,
            1.0);
  ASSERT_TRUE(f.session.run("ClearPlots"));
  EXPECT_TRUE(f.series("ChartMEISSpec.SeriesGauss").points.empty());
  ASSERT_TRUE(f.session.run("Sigma"));
  EXPECT_EQ(f.series("ChartMEISSpec.SeriesGauss").points.size(), 241U);
}

// "Report" previews the page of the mode, "ShowReport" shows the window, and "Save report as
// PDF..." writes the page of the mode filled as "Report" fills it: each through the front end.
TEST(ReportTest, PreviewWindowAndPdfGoThroughTheFrontEnd) {
  SessionFixture f;
  ASSERT_TRUE(f.session.run("Report"));
  f.meisMode();
  ASSERT_TRUE(f.session.run("Report"));
  EXPECT_EQ(f.host.previews, (std::vector<std::string>{"RNRA", "MEIS"}));
  ASSERT_TRUE(f.session.run("ShowReport"));
  EXPECT_EQ(f.host.reportWindowShown, 1);
  EXPECT_TRUE(f.session.controls().get("TFReport").visible);

  // Cancelled: nothing is written, nothing is said.
  f.set("TFMEIS.EditEnrg", "123");
  f.set("TFReport.QREnergyMEIS", "");
  ASSERT_TRUE(f.session.run("SaveReportPdf"));
  EXPECT_FALSE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.dialogs.size(), 1U);
  EXPECT_EQ(f.host.dialogs[0].filter, "PDF documents (*.pdf)|*.pdf");
  EXPECT_EQ(f.host.dialogs[0].fileName, "report.pdf");
  EXPECT_TRUE(f.host.pdfs.empty());
  EXPECT_EQ(f.text("TFReport.QREnergyMEIS"), "");

  // Written: the page of the mode, filled first.
  f.host.pdfAnswer = ReportPdf::Written;
  f.host.fileAnswers.push_back("out/r.pdf");
  ASSERT_TRUE(f.session.run("SaveReportPdf"));
  EXPECT_FALSE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.pdfs.size(), 1U);
  EXPECT_EQ(f.host.pdfs[0], (std::pair<std::string, std::string>{"MEIS", "out/r.pdf"}));
  EXPECT_EQ(f.text("TFReport.QREnergyMEIS"), "Ion Energy (keV): 123");
  EXPECT_TRUE(f.host.messages.empty());

  // A file that cannot be written, and a front end without the page painter: said plainly.
  // The status no longer says that the earlier report was saved.
  struct Case {
    ReportPdf answer;
    std::string message;
    std::string status;
  } cases[] = {{ReportPdf::Failed, "Cannot write out/r.pdf", "Cannot write out/r.pdf"},
               {ReportPdf::Unsupported,
                "PDF reports need the libraries of the desktop program; this program was built "
                "without them",
                "No report saved"}};
  for (const Case& c : cases) {
    f.host.messages.clear();
    f.host.pdfAnswer = c.answer;
    f.host.fileAnswers.push_back("out/r.pdf");
    ASSERT_TRUE(f.session.run("SaveReportPdf"));
    EXPECT_TRUE(f.session.lastCommandFailed());
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(f.host.statuses.back(), c.status);
  }

  // A manual grid size that is not a number stops before the dialog.
  f.host.messages.clear();
  f.host.dialogs.clear();
  f.session.setCheckedAsClick("TFOptions.RadioNumeric", true);
  f.session.controls().setChecked("TFMEIS.CheckAuto", false);
  f.set("TFMEIS.EditVecsize", "abc");
  ASSERT_TRUE(f.session.run("SaveReportPdf"));
  EXPECT_TRUE(f.session.lastCommandFailed());
  EXPECT_TRUE(f.host.dialogs.empty());
  EXPECT_EQ(
      f.host.messages,
      std::vector<std::string>{
          "'abc' is not a valid floating point value (Options, Ion Scattering: \"Vector size\")"});
}

}  // namespace
}  // namespace tarvex
