// The sample builders: the uniform and layered samples they build, the element presets, the
// export names and the batch runs with their output folder, marker responses and stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/builders.h"
#include "core/numtext.h"
#include "io/exports.h"
#include "io/files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::SessionFixture;
using testing::TempDir;

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file of a folder with its content.
std::map<std::string, std::string> folderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files[entry.path().filename().string()] = fileText(entry.path());
  return files;
}

// The files of one export of a sample of hafnium and oxygen.
std::vector<std::string> exportFiles(const std::string& base) {
  return {base + "-Bessel.simulation",
          base + "-Amsel.simulation",
          base + "-AO.simulation",
          base + "-Gauss.simulation",
          base + ".exp",
          base + ".pro",
          base + "_Hf_profile.txt",
          base + "_O_profile.txt"};
}

// The 21 exports of "Do a bit": three marker depths, each without "Convolve" and with six
// energy spreads.
struct BitExport {
  int depth;
  int spread;  // 0: without "Convolve"
  std::string base() const { return "x" + std::to_string(depth) + "g" + std::to_string(spread); }
};
std::vector<BitExport> bitExports() {
  std::vector<BitExport> all;
  for (int d : {5, 10, 20}) {
    for (int w : {0, 10, 20, 40, 100, 150, 200})
      all.push_back({d, w});
  }
  return all;
}

// The lines "depth   value" of a profile listing whose value is not 0.
std::vector<std::string> nonzeroPoints(const std::string& listing) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = listing.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::string line = listing.substr(from, end - from);
    if (line.substr(line.rfind(' ') + 1) != "0") lines.push_back(line);
  }
  return lines;
}

int indexOfItem(const Control& c, const std::string& item) {
  const auto it = std::find(c.items.begin(), c.items.end(), item);
  return it == c.items.end() ? -1 : static_cast<int>(it - c.items.begin());
}

// ---- "Uniform sample" ---------------------------------------------------------------------------

TEST(UniformSample, CalculateAddsTheCheckedRowsWithTheirProfilesAndRunsTheSelectedModel) {
  SessionFixture f;
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  ASSERT_TRUE(f.session.click("TFHG.Button1"));
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  EXPECT_FALSE(f.session.lastCommandFailed());
  EXPECT_EQ(f.text("TFMEIS.EditMaxDepth"), "2");

  const WorkingState& st = f.session.state();
  const std::map<std::string, double> rows = {
      {"Hafnium174", 0.146}, {"Hafnium176", 4.8},   {"Hafnium177", 17}, {"Hafnium178", 24.9},
      {"Hafnium179", 12.43}, {"Hafnium180", 32.03}, {"Zr", 10}};
  for (const auto& [name, q] : rows) {
    ASSERT_EQ(st.elementMap.count(name), 1u) << name;
    const profile& p = st.elementProfiles.at(name);
    ASSERT_EQ(p.count, 200) << name;  // down to 2 A in steps of 0.01 A
    EXPECT_EQ(p.values[0], 0.0) << name << ": the surface point is never drawn";
    for (int i = 1; i < p.count; ++i)
      ASSERT_DOUBLE_EQ(p.values[static_cast<std::size_t>(i)], q) << name << " point " << i;
    // The Gaussian model ran over the whole sample.
    EXPECT_GT(st.gaussianSpectra.at(name).integral(), 0.0) << name;
  }
  EXPECT_EQ(st.elementMap.count("Edit1"), 0u);
  const Series& gauss = f.series("ChartPrinc.SeriesGauss");
  EXPECT_FALSE(gauss.points.empty());
  // The sample window edits the profile its selector shows.
  EXPECT_EQ(st.currentProfile.element, f.text("TFrameMEISSample.ComboEl_list"));
}

TEST(UniformSample, ARowThatDoesNotConvertAddsNoElementAtAll) {
  SessionFixture f;
  f.meisMode();
  f.session.controls().setChecked("TFHG.Check8", true);  // its fields hold "Edit1"
  EXPECT_TRUE(f.session.click("TFHG.Button1"));
  EXPECT_TRUE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "'Edit1' is not a valid floating point value (Uniform sample: \"Qtd\", row 8)");
  EXPECT_TRUE(f.session.state().elementMap.empty());
  EXPECT_EQ(f.text("TFMEIS.EditMaxDepth"), "10");
}

TEST(UniformSample, NormalizeDividesEachCheckedQtdByTheirSum) {
  SessionFixture f;
  const char* initial[] = {"0.146", "4.8", "17", "24.9", "12.43", "32.03", "10"};
  ASSERT_TRUE(f.session.click("TFHG.Button2"));
  EXPECT_TRUE(f.host.messages.empty());
  double sum = 0.0;
  for (int r = 1; r <= 7; ++r) {
    const std::string key = "TFHG.EditQtd" + std::to_string(r);
    EXPECT_EQ(f.text(key), formatGeneral(parseFloat(initial[r - 1]) / 101.306, 15)) << key;
    sum += parseFloat(f.text(key));
  }
  EXPECT_NEAR(sum, 1.0, 1e-14);
  EXPECT_EQ(f.text("TFHG.EditQtd8"), "Edit1");  // unchecked: not read, not written
}

TEST(UniformSample, NormalizeRefusesAmountsThatSumToZeroAndKeepsThem) {
  SessionFixture f;
  f.set("TFHG.EditQtd1", "1");
  f.set("TFHG.EditQtd2", "-1");
  for (int r = 3; r <= 7; ++r)
    f.set("TFHG.EditQtd" + std::to_string(r), "0");
  f.session.click("TFHG.Button2");
  EXPECT_TRUE(f.session.lastCommandFailed());
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0], "The checked Qtd values sum to 0: they cannot be normalized");
  EXPECT_EQ(f.text("TFHG.EditQtd1"), "1");
  EXPECT_EQ(f.text("TFHG.EditQtd2"), "-1");
}

// The isotopes are written as the fields show numbers, so that a ',' locale reads them back.
TEST(UniformSample, TitaniumFillsRowsOneToFiveAndLeavesRowSixFilledButUnchecked) {
  for (const char sep : {'.', ','}) {
    SessionFixture f;
    f.session.setDecimalSeparator(sep);
    ASSERT_TRUE(f.session.click("TFHG.Button3"));
    const ControlStore& c = f.session.controls();
    for (int r = 1; r <= 5; ++r) {
      const std::string n = std::to_string(r);
      EXPECT_TRUE(c.checked("TFHG.Check" + n));
      EXPECT_EQ(f.text("TFHG.Editel" + n), "Titanium" + std::to_string(45 + r));
      EXPECT_EQ(f.text("TFHG.EditZ" + n), "22");
      EXPECT_EQ(f.text("TFHG.EditM" + n), std::to_string(45 + r));
    }
    EXPECT_EQ(f.text("TFHG.EditSigma1"), sep == '.' ? "137.4" : "137,4");
    EXPECT_EQ(f.text("TFHG.EditQtd3"), sep == '.' ? "0.7372" : "0,7372");
    EXPECT_FALSE(c.checked("TFHG.Check6"));
    EXPECT_EQ(f.text("TFHG.Editel6"), "Hafnium180");
    EXPECT_EQ(f.text("TFHG.EditQtd6"), "32.03");
    EXPECT_FALSE(c.checked("TFHG.Check7"));
    EXPECT_FALSE(c.checked("TFHG.Check8"));
    if (sep == ',') continue;
    f.meisMode();
    f.session.click("TFHG.Button1");
    EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
    EXPECT_EQ(f.session.state().elementMap.at("Titanium48").sigma, 137.4);
    EXPECT_EQ(f.session.state().elementMap.count("Hafnium180"), 0u);
  }
}

// ---- "Layered sample" ---------------------------------------------------------------------------

TEST(LayeredSample, PresetsWriteTheEditorAndAddTheElement) {
  SessionFixture f;
  f.meisMode();
  ASSERT_TRUE(f.session.click("TFLayers.Button7"));  // "Add All"
  EXPECT_TRUE(f.host.messages.empty());
  const auto& map = f.session.state().elementMap;
  struct Want {
    const char* name;
    double mass, z, sigma;
  };
  for (const Want& w :
       {Want{"Hf", 178.5, 72, 187}, Want{"Zr", 91.2, 40, 167.8}, Want{"Si", 28, 14, 121},
        Want{"O", 16, 8, 102.2}, Want{"Al", 27, 13, 122.7}}) {
    ASSERT_EQ(map.count(w.name), 1u) << w.name;
    EXPECT_EQ(map.at(w.name).mass, w.mass) << w.name;
    EXPECT_EQ(map.at(w.name).Z, w.z) << w.name;
    EXPECT_EQ(map.at(w.name).sigma, w.sigma) << w.name;
  }
  EXPECT_EQ(map.size(), 5u);
  // The editor shows the last preset.
  EXPECT_EQ(f.text("TFMEIS.EditElname"), "Al");
  EXPECT_EQ(f.text("TFMEIS.EditSCL"), "122.7");
}

TEST(LayeredSample, LayerAddDrawsBetweenTheDepthsOfTheLayersAbove) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  const profile& hf = f.session.state().elementProfiles.at("Hf");
  ASSERT_EQ(hf.count, 1000);

  // Layer 2 with the initial texts: "Hf" at 1 from depth 1 to 1.01, the one point at 1.
  ASSERT_TRUE(f.session.click("TFLayers.BitBtn2"));
  EXPECT_TRUE(f.host.messages.empty());
  for (int i = 0; i < hf.count; ++i)
    ASSERT_EQ(hf.values[static_cast<std::size_t>(i)], i == 100 ? 1.0 : 0.0) << i;

  // A layer of thickness 0 draws nothing; a name outside the composition gets an empty profile.
  f.set("TFLayers.EditEl1L3", "Hf");
  f.set("TFLayers.EditQtd1L3", "7");
  f.set("TFLayers.EditEl2L3", "Ta");
  f.session.click("TFLayers.BitBtn3");
  EXPECT_EQ(*std::max_element(hf.values.begin(), hf.values.end()), 1.0);
  EXPECT_EQ(f.session.state().elementProfiles.at("Ta").count, 0);
  EXPECT_EQ(f.session.state().elementMap.count("Ta"), 0u);

  // Layer 3 of 2 A lies below the 1.01 A of layers 1 and 2.
  f.set("TFLayers.EditThickL3", "2");
  f.session.click("TFLayers.BitBtn3");
  EXPECT_EQ(hf.values[101], 7.0);
  EXPECT_EQ(hf.values[300], 7.0);
  EXPECT_EQ(hf.values[301], 0.0);
}

TEST(LayeredSample, LayerAddReadsEveryFieldBeforeItDraws) {
  SessionFixture f;
  f.meisMode();
  f.addElement("Hf");
  f.set("TFLayers.EditEl2L2", "Hf");
  f.set("TFLayers.EditQtd2L2", "a lot");
  f.session.click("TFLayers.BitBtn2");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "'a lot' is not a valid floating point value (Layered sample: \"%\", layer 2, slot 2)");
  const auto& v = f.session.state().elementProfiles.at("Hf").values;
  EXPECT_EQ(*std::max_element(v.begin(), v.end()), 0.0);
}

TEST(LayeredSample, CalculateNamesTheRunAndRebuildsEveryProfileFromTheLayers) {
  SessionFixture f;
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  f.addElement("Hf");
  // What a profile loaded earlier may hold: a surface concentration and a tail below 1000 A.
  f.set("TFMEIS.EditProfstep", "0.1");
  f.set("TFMEIS.EditMaxDepth", "1010");
  f.session.click("TFMEIS.Button1");  // "^": the profiles take the new step and thickness
  f.set("TFLayers.EditThickL2", "0.5");
  std::vector<double>& hf = f.session.state().elementProfiles.at("Hf").values;
  std::fill(hf.begin(), hf.end(), 0.3);

  ASSERT_TRUE(f.session.click("TFLayers.Button6"));
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  EXPECT_EQ(f.text("TFLayers.EditFileName"), "x =1, FWHM= 180");
  ASSERT_EQ(hf.size(), 10100u);
  for (std::size_t i = 0; i < hf.size(); ++i)
    ASSERT_EQ(hf[i], i >= 10 && i < 15 ? 1.0 : 0.0) << i;  // layer 2: 1 to 1.5 A
  EXPECT_GT(f.session.state().gaussianSpectra.at("Hf").integral(), 0.0);

  f.session.setCheckedAsClick("TFOptions.CheckConv", false);
  f.set("TFLayers.EditThickL1", "0.5");
  f.session.click("TFLayers.Button6");
  EXPECT_EQ(f.text("TFLayers.EditFileName"), "x =0.5, FWHM= 0");
}

// ---- Output folder and exports ------------------------------------------------------------------

// A sample of hafnium and oxygen 25 A thick, with everything the four models need.
struct BatchFixture : SessionFixture {
  TempDir dir{"batch"};
  BatchFixture() {
    ::setenv("TARVEX_BATCH_DIR", dir.path().c_str(), 1);
    meisMode();
    set("TFMEIS.EditMaxDepth", "25");
    session.click("TFLayers.Button1");  // "Add Hf"
    session.click("TFLayers.Button4");  // "Add O"
    session.select("TFrameMEISSample.ComboEl_list",
                   indexOfItem(session.controls().get("TFrameMEISSample.ComboEl_list"), "Hf"));
    set("TFExternCS.EditCSFile",
        std::string(TARVEX_SOURCE_DIR) + "/examples/crosssection-10eV.dat");
    session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
  }
  // The response of a model to the marker at depth d alone, as its export writes it.
  std::string markerResponse(MeisModel model, const char* engine, int depth, int spread) {
    std::string text;
    session.guarded([&] {
      WorkingState& st = session.state();
      for (auto& [name, p] : st.elementProfiles)
        std::fill(p.values.begin(), p.values.end(), 0.0);
      st.elementProfiles.at("Hf").setValue(depth * 100, 1.0F);
      session.controls().setChecked("TFOptions.CheckConv", spread != 0);
      if (spread != 0) session.setNumber("TFMEIS.EditGauss", spread);
      session.invoke(engine);
      text = curveText(meisCurve(session, model));
    });
    return text;
  }
};

// Puts the environment variables a test changes back as they were.
class SavedEnvironment {
 public:
  explicit SavedEnvironment(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~SavedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  SavedEnvironment(const SavedEnvironment&) = delete;
  SavedEnvironment& operator=(const SavedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(BatchFolder, TheEnvironmentNamesTheFolderElseTheDocumentsFolderHoldsIt) {
  const SavedEnvironment saved{"TARVEX_BATCH_DIR", "XDG_DOCUMENTS_DIR", "HOME"};
  TempDir dir("folder");
  const std::filesystem::path own = dir.path() / "runs" / "today";
  ::setenv("TARVEX_BATCH_DIR", own.c_str(), 1);
  EXPECT_EQ(batchOutputFolder(), own);
  EXPECT_TRUE(std::filesystem::is_directory(own));  // created with its parents

  ::setenv("TARVEX_BATCH_DIR", "", 1);  // empty: not set
  ::setenv("XDG_DOCUMENTS_DIR", (dir.path() / "Dokumente").c_str(), 1);
  EXPECT_EQ(batchOutputFolder(), dir.path() / "Dokumente" / "tarvex-batch");
  ::unsetenv("XDG_DOCUMENTS_DIR");
  ::unsetenv("TARVEX_BATCH_DIR");
  ::setenv("HOME", dir.path().c_str(), 1);
  EXPECT_EQ(batchOutputFolder(), dir.path() / "Documents" / "tarvex-batch");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Documents" / "tarvex-batch"));

  // A file in the way of the folder is reported, not written into.
  { std::ofstream(dir.path() / "blocked") << "x"; }
  ::setenv("TARVEX_BATCH_DIR", (dir.path() / "blocked").c_str(), 1);
  EXPECT_THROW(batchOutputFolder(), std::runtime_error);
}

TEST(Ultraexport, WritesTheFourModelsUnderTheNameOfTheRunInTheOutputFolder) {
  BatchFixture f;
  ASSERT_TRUE(f.session.click("TFLayers.Button6"));  // the layered sample: x =1, FWHM= 180
  ASSERT_TRUE(f.session.click("TFLayers.ButtonUltra"));
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  EXPECT_FALSE(f.session.lastCommandFailed());
  EXPECT_EQ(f.text("TFLayers.EditFileName"), (f.dir.path() / "x1g180").string());
  EXPECT_TRUE(f.session.controls().checked("TFMEIS.CheckSCCorr"));
  const auto files = folderFiles(f.dir.path());
  const auto want = exportFiles("x1g180");
  EXPECT_EQ(std::set<std::string>(want.begin(), want.end()).size(), files.size());
  for (const std::string& name : want)
    EXPECT_EQ(files.count(name), 1u) << name;
  // Each model's curve file holds the curve it computed, and the listing the layered profile
  // the curves are of ("Hf" at 1 between 1 and 1.01 A).
  for (const char* suffix :
       {"-Bessel.simulation", "-Amsel.simulation", "-AO.simulation", "-Gauss.simulation"}) {
    EXPECT_NE(files.at(std::string("x1g180") + suffix).find("e-"), std::string::npos) << suffix;
  }
  EXPECT_NE(files.at("x1g180_Hf_profile.txt").find("\n1   1\n"), std::string::npos);
  // The sample is cleared afterwards.
  const auto& hf = f.session.state().elementProfiles.at("Hf").values;
  EXPECT_EQ(*std::max_element(hf.begin(), hf.end()), 0.0);
}

// x0.5g180 has a '.': the exports keep the whole name, and two runs that differ only after
// that '.' do not overwrite each other.
TEST(Ultraexport, ANameWithADecimalPointKeepsItsWholeName) {
  BatchFixture f;
  f.set("TFLayers.EditThickL1", "0.5");
  ASSERT_TRUE(f.session.click("TFLayers.ButtonUltra"));
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  EXPECT_EQ(f.text("TFLayers.EditFileName"), (f.dir.path() / "x0.5g180.simulation").string());
  f.set("TFLayers.EditThickL1", "0.7");
  ASSERT_TRUE(f.session.click("TFLayers.ButtonUltra"));
  const auto files = folderFiles(f.dir.path());
  EXPECT_EQ(files.size(), 16u);
  for (const char* base : {"x0.5g180", "x0.7g180"}) {
    for (const std::string& name : exportFiles(base))
      EXPECT_EQ(files.count(name), 1u) << name;
  }
}

TEST(Ultraexport, RefusesBeforeAnyModelRunsWhatCannotBeExported) {
  struct Case {
    const char* what;
    const char* key;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"dose", "TFOptions.EditMult", "eight",
       "'eight' is not a valid floating point value (Options: \"Ion dose\")"},
      {"window", "TFMEIS.EditSimMin", "90.5",
       "'90.5' is not a valid integer value (Options, Ion Scattering: \"Min (keV)\")"},
      {"mode", "TFOptions.RadioNRP", "",
       "The batch runs of the layered sample compute ion-scattering spectra: choose \"Ion "
       "Scattering\" in the Options first"},
  };
  for (const Case& c : cases) {
    BatchFixture f;
    if (*c.text) {
      f.set(c.key, c.text);
    } else {
      f.session.setCheckedAsClick(c.key, true);
    }
    f.host.statuses.clear();
    f.session.click("TFLayers.ButtonUltra");
    ASSERT_EQ(f.host.messages.size(), 1u) << c.what;
    EXPECT_EQ(f.host.messages[0], c.message) << c.what;
    EXPECT_TRUE(f.host.statuses.empty()) << c.what << ": " << f.host.statuses.front();
    EXPECT_TRUE(folderFiles(f.dir.path()).empty()) << c.what;
  }
}

// Without a cross-section file the external model fails: the other three curves are not
// exported as if they were the whole run.
TEST(Ultraexport, AFailedModelWritesNoExport) {
  BatchFixture f;
  f.set("TFExternCS.EditCSFile", "");
  f.session.click("TFLayers.ButtonUltra");
  EXPECT_TRUE(f.session.lastCommandFailed());
  ASSERT_FALSE(f.host.messages.empty());
  EXPECT_EQ(f.host.messages.back(), "No export written for " + (f.dir.path() / "x1g180").string() +
                                        ": the External CS calculation failed");
  EXPECT_TRUE(folderFiles(f.dir.path()).empty());
}

// ---- Batch runs ---------------------------------------------------------------------------------

TEST(DoABit, WritesTwentyOneExportsEachTheResponseToOneMarkerAlone) {
  BatchFixture f;
  // What the sample held before: a layer of oxygen and a surface concentration of hafnium.
  f.set("TFLayers.EditEl1L1", "O");
  f.set("TFLayers.EditQtd1L1", "0.5");
  f.session.click("TFLayers.Button6");
  f.session.state().elementProfiles.at("Hf").values[0] = 0.7;

  f.host.messages.clear();
  ASSERT_TRUE(f.session.click("TFLayers.Button9"));
  EXPECT_TRUE(f.host.messages.empty()) << f.host.messages.front();
  EXPECT_FALSE(f.session.lastCommandFailed());

  const auto files = folderFiles(f.dir.path());
  EXPECT_EQ(files.size(), 21u * 8u);
  for (const BitExport& e : bitExports()) {
    const std::string base = e.base();
    for (const std::string& name : exportFiles(base))
      ASSERT_EQ(files.count(name), 1u) << name;
    // The listings show the marker alone: a concentration of 1 at its depth.
    EXPECT_EQ(nonzeroPoints(files.at(base + "_Hf_profile.txt")),
              (std::vector<std::string>{std::to_string(e.depth) + "   1"}))
        << base;
    EXPECT_TRUE(nonzeroPoints(files.at(base + "_O_profile.txt")).empty()) << base;
    // Curves of thousands of lines: compared whole, reported by name.
    EXPECT_TRUE(files.at(base + "-Gauss.simulation") ==
                f.markerResponse(MeisModel::Gaussian, "CalcGaussianMEIS", e.depth, e.spread))
        << base;
    EXPECT_TRUE(files.at(base + "-Bessel.simulation") ==
                f.markerResponse(MeisModel::Bessel, "CalcAnaliticMEIS", e.depth, e.spread))
        << base;
  }
}

TEST(DoABit, RefusesMarkersBeyondTheProfileBeforeItStarts) {
  BatchFixture f;
  f.set("TFMEIS.EditMaxDepth", "15");
  f.session.run("Updateplot");
  f.session.click("TFLayers.Button9");
  ASSERT_EQ(f.host.messages.size(), 1u);
  EXPECT_EQ(f.host.messages[0],
            "No marker can be placed at depth 20: the profile of \"Hf\" ends at depth 15 "
            "(\"Thickness\" must reach beyond it, applied with \"Update plot\")");
  EXPECT_TRUE(folderFiles(f.dir.path()).empty());
  EXPECT_EQ(f.text("TFLayers.EditThickL1"), "1");
}

// Stopped anywhere, the batch leaves whole exports only, each file as the whole run writes it.
TEST(DoABit, AStopLeavesOnlyWholeExports) {
  std::map<std::string, std::string> reference;
  int events = 0;
  {
    BatchFixture f;
    f.host.eventsProcessed = 0;
    ASSERT_TRUE(f.session.click("TFLayers.Button9"));
    ASSERT_FALSE(f.session.lastCommandFailed());
    events = f.host.eventsProcessed;
    reference = folderFiles(f.dir.path());
  }
  ASSERT_EQ(reference.size(), 21u * 8u);

  const auto check = [&](BatchFixture& f, const std::string& when) {
    EXPECT_TRUE(f.session.lastCommandFailed()) << when;
    EXPECT_EQ(f.text("TFTarvex3.StatusBar1.3"), "Stopped") << when;
    EXPECT_TRUE(f.host.messages.empty()) << when;
    EXPECT_FALSE(f.session.busy());
    const auto files = folderFiles(f.dir.path());
    EXPECT_LT(files.size(), reference.size()) << when;
    for (const auto& [name, content] : files) {
      const auto same = reference.find(name);
      EXPECT_TRUE(same != reference.end() && same->second == content) << when << ": " << name;
    }
    for (const BitExport& e : bitExports()) {
      int present = 0;
      for (const std::string& name : exportFiles(e.base()))
        present += static_cast<int>(files.count(name));
      EXPECT_TRUE(present == 0 || present == 8) << when << ": " << e.base() << " " << present;
    }
    return files.size();
  };

  // Inside the models, early, midway and late.
  for (const double fraction : {0.02, 0.5, 0.97}) {
    BatchFixture f;
    const int stopAt = std::max(1, static_cast<int>(events * fraction));
    int n = 0;
    f.host.onProcessEvents = [&] {
      if (++n == stopAt) f.session.requestStop();
    };
    f.session.click("TFLayers.Button9");
    check(f, "stopped at event " + std::to_string(stopAt));
  }

  // While an export is being written (its files go to temporaries first, then all are
  // renamed): it is finished, and no other begins.
  BatchFixture f;
  static Session* writing = nullptr;
  writing = &f.session;
  setWriteFaultForTesting([](const std::string& path) {
    if (fileNameOnly(path) == "x5g10-Bessel.simulation") writing->requestStop();
    return false;
  });
  f.session.click("TFLayers.Button9");
  setWriteFaultForTesting(nullptr);
  EXPECT_EQ(check(f, "stopped while x5g10 was written"), 2u * 8u);
}

TEST(MarkerRuns, RunTheFourModelsOnAMarkerAtFiveAngstromsWithTheirCorrection) {
  struct Case {
    const char* button;
    bool sccAtEnd;
  };
  for (const Case& c : {Case{"TFLayers.Button11", false}, Case{"TFLayers.Button12", true}}) {
    BatchFixture f;
    f.host.statuses.clear();
    ASSERT_TRUE(f.session.click(c.button));
    EXPECT_TRUE(f.host.messages.empty()) << c.button << ": " << f.host.messages.front();
    EXPECT_EQ(f.session.controls().checked("TFMEIS.CheckSCCorr"), c.sccAtEnd) << c.button;
    EXPECT_FALSE(f.session.controls().checked("TFOptions.CheckConv")) << c.button;
    EXPECT_EQ(f.text("TFLayers.EditThickL1"), "5");
    EXPECT_EQ(f.text("TFLayers.EditFileName"), (f.dir.path() / "x5g0").string()) << c.button;
    // The marker stays, shown in the sample window; nothing is exported.
    const auto& hf = f.session.state().elementProfiles.at("Hf").values;
    EXPECT_EQ(std::count(hf.begin(), hf.end(), 0.0), static_cast<long>(hf.size()) - 1);
    EXPECT_EQ(hf[500], 1.0);
    EXPECT_TRUE(folderFiles(f.dir.path()).empty()) << c.button;
    for (const char* ready :
         {"Bessel calculation ready!", "External cross section calculation ready!",
          "Numeric calculation ready!", "Gaussian calculation ready"}) {
      EXPECT_NE(std::find(f.host.statuses.begin(), f.host.statuses.end(), ready),
                f.host.statuses.end())
          << c.button << ": " << ready;
    }
  }
}

// A batch is one command: what the user clicks while it runs is refused and changes nothing.
TEST(MarkerRuns, ClicksDuringABatchAreRefused) {
  BatchFixture f;
  std::vector<bool> accepted;
  f.host.onProcessEvents = [&] {
    if (accepted.size() < 3) {
      accepted.push_back(f.session.click("TFLayers.Button6"));
      accepted.push_back(f.session.click("TFLayers.BitBtn2"));
    }
  };
  ASSERT_TRUE(f.session.click("TFLayers.Button11"));
  ASSERT_FALSE(accepted.empty());
  EXPECT_EQ(std::count(accepted.begin(), accepted.end(), true), 0);
  EXPECT_EQ(f.text("TFLayers.EditFileName"), (f.dir.path() / "x5g0").string());
  const auto& hf = f.session.state().elementProfiles.at("Hf").values;
  EXPECT_EQ(hf[100], 0.0);  // no layer 2 drawn
  EXPECT_FALSE(f.session.lastCommandFailed());
}

// The single-collision correction of each model: off for all in "F(DE,1nm)"; in "Hf delta at
// 0.5nm" on for the first three and off for the Gaussian, whose spectrum therefore matches the
// one of "F(DE,1nm)" while the Bessel one does not.
TEST(MarkerRuns, TheCorrectionIsSwitchedPerModel) {
  std::map<std::string, std::pair<double, double>> means;  // button: Bessel, Gaussian integral
  for (const char* button : {"TFLayers.Button11", "TFLayers.Button12"}) {
    BatchFixture f;
    f.session.click(button);
    const WorkingState& st = f.session.state();
    means[button] = {st.besselSpectra.at("Hf").mean(), st.gaussianSpectra.at("Hf").mean()};
  }
  EXPECT_EQ(means["TFLayers.Button11"].second, means["TFLayers.Button12"].second);
  EXPECT_NE(means["TFLayers.Button11"].first, means["TFLayers.Button12"].first);
}

}  // namespace
}  // namespace tarvex
