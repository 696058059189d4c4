#include "io/data_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "file_fixture.h"

namespace tarvex {
namespace {

using testing::FileFixture;

TEST(DataFiles, StreamSemantics) {
  struct {
    const char* text;
    std::vector<std::pair<float, float>> pairs;  // the entries consumers use (all but the last)
    std::size_t entries;
    bool ok;
  } cases[] = {
      {"; sample A, 400 keV, detector 2\n100.0 12\n100.5 15\n101.0 19 ; end of first block\n101.5 "
       "22\n",
       {{100.0f, 12}, {100.5f, 15}, {101.0f, 19}, {101.5f, 22}},
       5,
       true},
      {"", {}, 1, true},
      {";only a comment\n\n", {}, 1, true},
      {"1 2\n3 4\n", {{1, 2}, {3, 4}}, 3, true},
      {"1 2\n3 4", {{1, 2}}, 2, true},
      {"1\n2\n3\n4\n", {{1, 2}, {3, 4}}, 3, true},
      {";comment 5 6\n7 8\n", {{7, 8}}, 2, true},
      {"1e2 3.5E-1\n", {{100, 0.35f}}, 2, true},
      {"150.2\t1234\r\n", {{150.2f, 1234}}, 2, true},
      {"1 ;x\n2\n", {}, 1, false},
      {"1,5 2,5\n", {}, 1, false},
      {"1 2\n3 4\nend\n", {{1, 2}, {3, 4}}, 3, false},
      // Files written on Windows: CR LF line ends with comments after the data, a byte-order
      // mark, a tab before a comment.
      {"1 2\r\n; block 2\r\n3 4\r\n", {{1, 2}, {3, 4}}, 3, true},
      {"\xEF\xBB\xBF; head\r\n1 2\r\n3 4\r\n", {{1, 2}, {3, 4}}, 3, true},
      {"1 2\t; note\n3 4\n", {{1, 2}, {3, 4}}, 3, true},
      // '#' starts a comment as ';' does, wherever ';' may.
      {"# energy/keV counts\n1 2 # first\n#\n3 4\n", {{1, 2}, {3, 4}}, 3, true},
      {"\xEF\xBB\xBF#head\r\n1 2\r\n", {{1, 2}}, 2, true},
      {"1 #x\n2\n", {}, 1, false},
  };
  for (const auto& c : cases) {
    std::vector<datapoint> p;
    const bool ok = parseDataFile(c.text, &p);
    EXPECT_EQ(ok, c.ok) << c.text;
    ASSERT_EQ(p.size(), c.entries) << c.text;
    for (std::size_t i = 0; i < c.pairs.size(); ++i) {
      EXPECT_EQ(p[i].x, c.pairs[i].first) << c.text;
      EXPECT_EQ(p[i].y, c.pairs[i].second) << c.text;
    }
  }
}

// The limit counts pairs, as the message says: a file of 20000 pairs is read whole, whatever
// follows its last pair; at a 20001st pair the reading stops with the first 20000 kept and
// every one of them plotted.
TEST(DataFiles, ThePairLimit) {
  std::string full;
  for (int i = 0; i < 20000; ++i)
    full += std::to_string(i) + " 2\n";
  for (const std::string& text : {full, full + "; end\n\n", full + "# end\n"}) {
    const DataFileRead r = readDataText(text);
    EXPECT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.pairs, 20000);
    EXPECT_EQ(r.points.size(), 20001u);  // the pairs and the entry no consumer uses
  }
  const DataFileRead r = readDataText(full + "20000 2\n20001 2\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.pairs, 20000);
  EXPECT_EQ(r.points.size(), 20001u);
  EXPECT_EQ(r.points[19999].x, 19999.0f);
  EXPECT_EQ(r.reason, "line 20001: more than 20000 pairs, the first 20000 are kept");
  // Loaded: all 20000 pairs are plotted, with and without the message.
  for (const std::string& text : {full, full + "20000 2\n"}) {
    testing::FileFixture f;
    f.host.fileAnswers = {f.write("big.dat", text)};
    f.session.run("Loaddata");
    EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 20000u);
    EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.back().x, 19999.0);
    EXPECT_EQ(f.host.messages.size(), text == full ? 0u : 1u);
  }
}

TEST(DataFiles, LoadPlotsAndNamesTheFile) {
  FileFixture f;
  f.host.fileAnswers = {f.write("spec.dat", "1 2\n3 4\n")};
  f.set("TFOptions.EditShift", "0.5");
  f.session.run("Loaddata");
  EXPECT_TRUE(f.host.messages.empty());
  EXPECT_EQ(f.text("TFTarvex3.StatusBar1.2"), "spec.dat");
  const auto& pts = f.series("ChartPrinc.SeriesExp").points;
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[1].x, 3.5);
  EXPECT_EQ(f.host.dialogs[0].defaultExt, "dat");
  f.host.fileAnswers = {std::nullopt};
  f.session.run("Loaddata");
  EXPECT_EQ(f.session.state().measuredPoints.size(), 3u);  // cancelled: nothing changes
}

// A file that starts well keeps the pairs before the item that stopped it, plots them and
// names the file, the line and the item.
TEST(DataFiles, AFileThatStartsWellKeepsItsPairs) {
  struct {
    const char* content;
    std::size_t entries;
    const char* says;
  } cases[] = {
      {"5 6\n7 8\n1,5 2,5\n", 3, "line 3: ',5' is not a number"},  // read "1", stopped at ",5"
      {"5 6\n7 8\nend\n", 3, "line 3: 'end' is not a number"},
      {"5 6\n7 8\n1 nan\n", 3, "line 3: 'nan' is not a number"},
      {"5 6\n7 8\n1e39 3\n", 3, "line 3: '1e39' is not a finite single-precision number"},
  };
  for (const auto& c : cases) {
    FileFixture f;
    f.host.fileAnswers = {f.write("part.dat", c.content)};
    f.session.run("Loaddata");
    ASSERT_EQ(f.host.messages.size(), 1u) << c.content;
    const std::string& m = f.host.messages[0];
    EXPECT_EQ(m.rfind("File Error! \"" + f.path("part.dat") + "\", ", 0), 0u) << m;
    EXPECT_NE(m.find(c.says), std::string::npos) << m;
    EXPECT_EQ(f.session.state().measuredPoints.size(), c.entries) << c.content;
    EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 2u) << c.content;
    EXPECT_EQ(f.text("TFTarvex3.StatusBar1.2"), "part.dat");
  }
}

// A file that cannot be read or holds no pair: a message naming it (and the line and item that
// stopped the reading, where there is one); the loaded points, their plot and status panel 2
// stay as they were, and no success shows.
TEST(DataFiles, AFileWithNoPairChangesNothing) {
  struct {
    const char* name;
    std::string content;  // written unless the name is a folder or missing
    const char* says;
  } cases[] = {
      {"missing.dat", "", "Cannot read"},
      {"folder", "", "Cannot read"},
      {"empty.dat", "", "holds no data pair"},
      {"comments.dat", ";only\r\n; comments\r\n", "holds no data pair"},
      {"one.dat", "150\n", "holds no data pair"},
      {"comma.dat", "1,5 2,5\n", "line 1: ',5' is not a number"},
      {"header.dat", "Energy Counts\n1 2\n", "line 1: 'Energy' is not a number"},
      {"nan.dat", "\n\nnan 3\n", "line 3: 'nan' is not a number"},
      {"inf.dat", "1 -inf\n", "line 1: '-inf' is not a number"},
      {"huge.dat", "1e40 3\n", "line 1: '1e40' is not a finite single-precision number"},
      {"utf16.dat",
       std::string("\xFF\xFE"
                   "1\0 \0"
                   "2\0\n\0",
                   10),
       "UTF-16"},
      {"nul.dat",
       std::string("1\0 \0"
                   "2\0\n\0",
                   8),
       "NUL bytes"},
  };
  for (const auto& c : cases) {
    FileFixture f;
    f.host.fileAnswers = {f.write("good.dat", "10 20\n30 40\n")};
    f.session.run("Loaddata");
    const auto before = f.session.state().measuredPoints;
    ASSERT_EQ(before.size(), 3u);
    std::string path = f.path(c.name);
    if (std::string(c.name) == "folder") {
      std::filesystem::create_directory(path);
    } else if (std::string(c.name) != "missing.dat") {
      f.write(c.name, c.content);
    }
    f.host.fileAnswers = {path};
    f.session.run("Loaddata");
    ASSERT_EQ(f.host.messages.size(), 1u) << c.name;
    const std::string& m = f.host.messages[0];
    EXPECT_EQ(m.rfind("File Error! ", 0), 0u) << m;
    EXPECT_NE(m.find("\"" + path + "\""), std::string::npos) << m;
    EXPECT_NE(m.find(c.says), std::string::npos) << m;
    const auto& after = f.session.state().measuredPoints;
    ASSERT_EQ(after.size(), before.size()) << c.name;
    EXPECT_EQ(after[1].x, 30.0f);
    EXPECT_EQ(after[1].y, 40.0f);
    EXPECT_EQ(f.series("ChartPrinc.SeriesExp").points.size(), 2u) << c.name;
    EXPECT_EQ(f.text("TFTarvex3.StatusBar1.2"), "good.dat") << c.name;
  }
}

}  // namespace
}  // namespace tarvex
