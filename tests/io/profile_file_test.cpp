#include "io/profile_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>

#include "file_fixture.h"
#include "io/files.h"

namespace tarvex {
namespace {

using testing::FileFixture;
using testing::SessionFixture;
using testing::slurp;

profile sampleProfile(int count, double step, double start) {
  profile p;
  p.step = step;
  p.count = count;
  p.values.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    p.values[static_cast<std::size_t>(i)] = 0.5 + 0.25 * std::sin(0.37 * i);
  p.startDepth = start;
  return p;
}

// The image an earlier writer made: floor(depth/step) values, as many as it computed.
std::string olderImage(const profile& p, const ProfileHeader& h) {
  std::string out = encodeProfile(p, h);
  const double m = std::floor(p.count * p.step / p.step);
  out.resize(48 + 8 * static_cast<std::size_t>(m));
  return out;
}

void expectSameProfile(const profile& q, const profile& p, int valuesFromFile) {
  ASSERT_EQ(q.count, p.count) << "step " << p.step;
  EXPECT_EQ(q.step, p.step);
  EXPECT_EQ(q.startDepth, p.startDepth);
  std::vector<double> want(static_cast<std::size_t>(p.count), 0.0);
  for (int i = 0; i < valuesFromFile; ++i)
    want[static_cast<std::size_t>(i)] = static_cast<float>(p.values[static_cast<std::size_t>(i)]);
  EXPECT_EQ(q.values, want) << "count " << p.count << " step " << p.step;
}

TEST(ProfileFiles, TheSmallExample) {
  profile p(2.5, 0.5);
  p.values = {0, 0, 0.2, 0.7, 1};
  p.startDepth = 1;
  const std::string bin = encodeProfile(p, {});
  EXPECT_EQ(bin.size(), 88u);
  double h[3];
  std::memcpy(h, bin.data(), 24);
  EXPECT_EQ(h[0], 1.0);
  EXPECT_EQ(h[1], 0.5);
  EXPECT_EQ(h[2], 2.5);
  EXPECT_EQ(profileText(p), "1   0.2\n1.5   0.7\n2   1\n");
}

// A start at or beyond the last point (a header can say anything) lists no point instead of
// reading before the values.
TEST(ProfileFiles, AStartBeyondTheLastPointListsNothing) {
  profile p = sampleProfile(4, 0.5, 1.5);
  EXPECT_EQ(profileText(p), "1.5   " + formatG6(p.values[3]) + "\n");
  for (double start : {2.0, 7.0, 3.5e57, 1e300}) {
    p.startDepth = start;
    EXPECT_EQ(profileText(p), "") << start;
  }
}

// Every point count up to 20000 comes back from the header the writer writes, at steps whose
// products round up and down. Counts up to 600, and a sample of the larger ones for which the
// ceiling of depth/step was wrong (thickness 5.1 at step 0.005 gave 1021 points for 1020, one
// count in seven) or the earlier writer fell one value short, make the whole trip through the
// file image, as do the images of the earlier writer.
TEST(ProfileFiles, EveryPointCountLoadsBackWhole) {
  for (double step : {0.005, 0.01, 0.1, 0.003, 0.0123, 1.0 / 3.0, 0.5}) {
    int trips = 0, awkward = 0;
    for (int count = 1; count <= 20000; ++count) {
      const double depth = count * step;
      ASSERT_EQ(pointsOfDepth(depth, step), count) << "step " << step;
      const bool ceilWrong = std::ceil(depth / step) != count;
      const bool floorShort = std::floor(depth / step) != count;
      if (ceilWrong || floorShort) ++awkward;
      if (count > 600 && !((ceilWrong || floorShort) && awkward % 97 == 0)) continue;
      ++trips;
      const profile p = sampleProfile(count, step, count % 3 == 0 ? 0.0 : step * 2.5);
      const ProfileHeader h{1.5, 8.0, -0.25};
      const std::string image = encodeProfile(p, h);
      ASSERT_EQ(image.size(), 48u + 8u * static_cast<std::size_t>(count));
      ProfileHeader back;
      expectSameProfile(decodeProfile(image, &back), p, count);
      EXPECT_EQ(back.background, 1.5);
      EXPECT_EQ(back.dose, 8.0);
      EXPECT_EQ(back.shift, -0.25);
      const std::string older = olderImage(p, h);
      expectSameProfile(decodeProfile(older, &back), p, static_cast<int>((older.size() - 48) / 8));
    }
    EXPECT_GE(trips, 600);
  }
  EXPECT_EQ(pointsOfDepth(5.1, 0.005), 1020);             // the thickness as typed, too
  EXPECT_EQ(pointsOfDepth(1020.4 * 0.005, 0.005), 1021);  // not a whole number of steps
}

// The largest profile, 5e7 points, passes the header check whatever its step: its depth
// divided by the step may round just above 5e7. (Only the header is given here, so the file
// is then refused for its missing points, not for its grid.)
TEST(ProfileFiles, TheLargestGridPassesTheHeaderCheckForEveryStep) {
  int rounded = 0;
  for (int k = 1; k <= 400; ++k) {
    const double step = 0.001 * k + 0.0001 * (k % 7);
    const double depth = 5.0e7 * step;
    rounded += depth / step > 5.0e7;
    profile p(1, step);
    std::string header = encodeProfile(p, {0, 1, 0}).substr(0, 48);
    std::string d;
    appendDouble(d, depth);
    header.replace(16, 8, d);
    ProfileHeader h;
    try {
      decodeProfile(header, &h);
      ADD_FAILURE() << step;
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()).find("depth grid"), std::string::npos) << step << e.what();
    }
  }
  EXPECT_GT(rounded, 0);  // the case the check must let through occurs
}

TEST(ProfileFiles, SaveAndLoadBackInResonantNra) {
  FileFixture f;
  f.session.state().nraProfile = sampleProfile(1020, 0.005, 0.0);  // thickness 5.1
  const profile p = f.session.state().nraProfile;
  f.set("TFOptions.EditBack", "3");
  f.set("TFOptions.EditMult", "2.5");
  f.set("TFOptions.EditShift", "-0.25");
  f.host.fileAnswers = {f.path("x.pro")};
  f.session.run("SaveProfile");
  EXPECT_EQ(f.host.statuses.back(), "Profile saved!");
  EXPECT_EQ(slurp(f.path("x.pro")).size(), 48u + 8u * 1020u);
  std::istringstream text(slurp(f.path("x_profile.txt")));
  int lines = 0;
  std::string last;
  for (std::string l; std::getline(text, l); ++lines)
    last = l;
  EXPECT_EQ(lines, 1020);
  EXPECT_EQ(last.substr(0, 8), "5.095   ");

  SessionFixture g;
  g.host.fileAnswers = {f.path("x.pro")};
  g.session.run("LoadProfile");
  EXPECT_TRUE(g.host.messages.empty()) << g.host.messages.front();
  expectSameProfile(g.session.state().nraProfile, p, 1020);
  EXPECT_EQ(g.text("TFOptions.EditBack"), "3");
  EXPECT_EQ(g.text("TFOptions.EditMult"), "2.5");
  EXPECT_EQ(g.text("TFOptions.EditShift"), "-0.25");
  EXPECT_EQ(g.text("TFrameNRPSample.StatusDraw"), "Profile loaded from file!");
}

// A profile whose start lies above the surface (a negative "Contamination") is written and
// read back whole, like every profile the program writes.
TEST(ProfileFiles, AProfileStartingAboveTheSurfaceLoadsBack) {
  FileFixture f;
  f.set("TFNRP.EditCont", "-1");
  f.session.run("Updateplot");
  const profile p = f.session.state().nraProfile;
  ASSERT_LT(p.startDepth, 0.0);
  f.host.fileAnswers = {f.path("neg.pro")};
  f.session.run("SaveProfile");
  ASSERT_EQ(f.host.statuses.back(), "Profile saved!");
  SessionFixture g;
  g.host.fileAnswers = {f.path("neg.pro")};
  g.session.run("LoadProfile");
  EXPECT_TRUE(g.host.messages.empty()) << g.host.messages.front();
  EXPECT_EQ(g.session.state().nraProfile.startDepth, p.startDepth);
  expectSameProfile(g.session.state().nraProfile, p, p.count);
}

TEST(ProfileFiles, TheStartUpProfileSavesAsTheFormatSays) {
  FileFixture f;
  f.host.fileAnswers = {f.path("start.pro")};
  f.session.run("SaveProfile");
  EXPECT_EQ(slurp(f.path("start.pro")).size(), 48u + 16000u);
  std::istringstream text(slurp(f.path("start_profile.txt")));
  int lines = 0;
  std::string first, last;
  for (std::string l; std::getline(text, l); ++lines) {
    if (lines == 0) first = l;
    last = l;
  }
  EXPECT_EQ(lines, 2000);
  EXPECT_EQ(first, "0   0");
  EXPECT_EQ(last, "9.995   0");
}

// A refused file: a message naming it, the profile and the Options fields as they were, no
// "Profile loaded from file!".
TEST(ProfileFiles, BadFilesAreRefusedAndChangeNothing) {
  const profile good = sampleProfile(5, 0.5, 0.0);
  const std::string bytes = encodeProfile(good, {1, 2, 3});
  const auto withDouble = [&](std::size_t at, double v) {
    std::string b = bytes;
    std::string d;
    appendDouble(d, v);
    b.replace(at, 8, d);
    return b;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    const char* name;
    std::string content;
    const char* why;
  } cases[] = {
      {"short.pro", bytes.substr(0, 60), "shorter than its header announces"},
      {"header.pro", bytes.substr(0, 40), "shorter than a profile header"},
      {"empty.pro", "", "shorter than a profile header"},
      {"nanstep.pro", withDouble(8, nan), "does not describe a depth grid"},
      {"infdepth.pro", withDouble(16, inf), "does not describe a depth grid"},
      {"nanstart.pro", withDouble(0, nan), "does not describe a depth grid"},
      {"nanback.pro", withDouble(24, nan), "background"},
      {"infdose.pro", withDouble(32, inf), "ion dose"},
      {"nanshift.pro", withDouble(40, -nan), "energy shift"},
      {"nanvalue.pro", withDouble(48 + 8 * 2, nan), "point 2"},
      {"infvalue.pro", withDouble(48 + 8 * 4, -inf), "point 4"},
      {"hugevalue.pro", withDouble(48, 1e300), "point 0"},
      {"farstart.pro", withDouble(0, 1e300), "does not describe a depth grid"},
      // Finite, but its field shows it as a text that no longer reads back.
      {"maxdose.pro", withDouble(32, std::numeric_limits<double>::max()), "ion dose"},
  };
  for (const auto& c : cases) {
    FileFixture f;
    const profile before = f.session.state().nraProfile;
    f.host.fileAnswers = {f.write(c.name, c.content)};
    f.session.run("LoadProfile");
    ASSERT_EQ(f.host.messages.size(), 1u) << c.name;
    EXPECT_NE(f.host.messages[0].find(f.path(c.name)), std::string::npos) << f.host.messages[0];
    EXPECT_NE(f.host.messages[0].find(c.why), std::string::npos) << f.host.messages[0];
    EXPECT_EQ(f.session.state().nraProfile.values, before.values) << c.name;
    EXPECT_EQ(f.session.state().nraProfile.count, before.count) << c.name;
    EXPECT_EQ(f.text("TFOptions.EditMult"), "8") << c.name;
    EXPECT_EQ(f.text("TFOptions.EditBack"), "0") << c.name;
    EXPECT_EQ(f.text("TFrameNRPSample.StatusDraw"), "") << c.name;
  }
  for (const char* missing : {"nothing-here.pro", ""}) {
    FileFixture f;
    const std::string name = missing[0] ? f.path(missing) : f.dir;  // a folder is no file
    f.host.fileAnswers = {name};
    f.session.run("LoadProfile");
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_NE(f.host.messages[0].find(name), std::string::npos);
    EXPECT_EQ(f.session.state().nraProfile.count, 2000);
  }
}

TEST(ProfileFiles, IonScatteringWritesOneTextFilePerElement) {
  FileFixture f;
  f.meisMode();
  f.addElement("O");
  f.addElement("Hf");
  f.host.fileAnswers = {f.path("s.pro")};
  f.session.run("SaveProfile");
  EXPECT_TRUE(std::filesystem::exists(f.path("s_Hf_profile.txt")));
  EXPECT_TRUE(std::filesystem::exists(f.path("s_O_profile.txt")));
  EXPECT_FALSE(std::filesystem::exists(f.path("s.pro")));
}

TEST(ProfileFiles, Buffers) {
  SessionFixture f;
  f.session.run("LoadBuffer2");
  EXPECT_EQ(f.session.state().nraProfile.count, 0);
  EXPECT_EQ(f.session.state().nraProfile.step, 0.1);
  f.session.state().nraProfile = profile(3.0, 0.01);
  f.session.state().nraProfile.setStart(1.0);
  f.session.state().nraProfile.values[250] = 0.5;
  const profile stored = f.session.state().nraProfile;
  f.session.run("StoreBuffer1");
  f.session.state().nraProfile.values[250] = 0.0;
  f.session.run("LoadBuffer1");
  EXPECT_EQ(f.session.state().nraProfile.values, stored.values);
  EXPECT_EQ(f.session.state().nraProfile.startDepth, 1.0);
}

}  // namespace
}  // namespace tarvex
