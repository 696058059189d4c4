#include "io/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "file_fixture.h"
#include "temp_folder.h"

namespace tarvex {
namespace {

using testing::slurp;
using testing::TempFolder;

// Everything in a folder but the named files: temporaries left behind show up here.
std::vector<std::string> others(const TempFolder& t, const std::vector<std::string>& keep) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(t.dir())) {
    const std::string name = e.path().filename().string();
    if (std::find(keep.begin(), keep.end(), name) == keep.end()) found.push_back(name);
  }
  return found;
}

TEST(Files, NumbersAsPercentG) {
  struct {
    double v;
    const char* want;
  } cases[] = {{95.123456, "95.1235"},
               {100, "100"},
               {1234567, "1.23457e+06"},
               {0.00001, "1e-05"},
               {90.01, "90.01"},
               {-2.5, "-2.5"},
               {0, "0"},
               {99.99, "99.99"}};
  for (auto c : cases)
    EXPECT_EQ(formatG6(c.v), c.want) << c.v;
}

TEST(Files, ChangingExtensions) {
  EXPECT_EQ(changeExtension("run.pro", "_profile.txt"), "run_profile.txt");
  EXPECT_EQ(changeExtension("C:\\runs\\s12", "-Bessel.simulation"),
            "C:\\runs\\s12-Bessel.simulation");
  EXPECT_EQ(changeExtension("/a.b/run", ".exp"), "/a.b/run.exp");
  EXPECT_EQ(changeExtension("/a/run.x.simulation", ".pro"), "/a/run.x.pro");
  EXPECT_EQ(changeExtension("", "-Gauss.simulation"), "-Gauss.simulation");
  EXPECT_EQ(fileNameOnly("/data/x/spec.dat"), "spec.dat");
}

TEST(Files, AtomicWritesReplaceAndLeaveNoTemporary) {
  TempFolder t;
  const std::string p = t.path("a.txt");
  writeFileAtomically(p, "one");
  writeFileAtomically(p, "two");
  EXPECT_EQ(slurp(p), "two");
  EXPECT_EQ(others(t, {"a.txt"}), std::vector<std::string>{});
  // A failure names the file and leaves nothing behind.
  try {
    writeFileAtomically(t.path("missing/b.txt"), "x");
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("missing/b.txt"), std::string::npos);
  }
  // A rename that fails (a folder in the way) removes its temporary and keeps the folder.
  std::filesystem::create_directory(t.path("dir.txt"));
  std::filesystem::create_directory(t.path("dir.txt/inside"));
  EXPECT_THROW(writeFileAtomically(t.path("dir.txt"), "x"), FileError);
  EXPECT_TRUE(std::filesystem::is_directory(t.path("dir.txt")));
  EXPECT_EQ(others(t, {"a.txt", "dir.txt"}), std::vector<std::string>{});
}

// A save cut short (the program killed half-way) leaves its temporary behind, a name of the
// writer's pattern; the next save of the same file removes those that are older than the
// running program, and nothing else: not the temporaries of other files, nor fresh ones (a
// save in progress elsewhere), nor names that only look alike, nor folders.
TEST(Files, ASaveRemovesTheTemporariesOfEarlierSavesCutShort) {
  TempFolder t;
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  const auto make = [&](const std::string& name, bool stale) {
    t.write(name, std::string(4096, 'x'));
    if (stale) std::filesystem::last_write_time(t.path(name), old);
  };
  const std::vector<std::string> removed = {"a.pro.18c3f2a9b17.9e3779b97f4a7c15.0.tmp~",
                                            "a.pro.1.0.63.tmp~"};
  const std::vector<std::string> kept = {
      "a.pro.18c3f2a9b18.9e3779b97f4a7c16.0.tmp~",  // fresh: a save in progress
      "b.pro.18c3f2a9b17.9e3779b97f4a7c15.0.tmp~",  // another file's
      "xa.pro.1.2.3.tmp~",                          // another file's
      "a.pro.tmp~",                                 // not the pattern
      "a.pro.1.2.tmp~",
      "a.pro.1.2.3.4.tmp~",
      "a.pro.1.zz.3.tmp~",
      "a.pro.1.2.3.tmp",
      "a.pro.1.2.3.tmp~.bak",
  };
  for (const std::string& n : removed)
    make(n, true);
  for (std::size_t i = 0; i < kept.size(); ++i)
    make(kept[i], i > 0);
  std::filesystem::create_directory(t.path("a.pro.5.6.7.tmp~"));
  std::filesystem::last_write_time(t.path("a.pro.5.6.7.tmp~"), old);
  writeFileAtomically(t.path("a.pro"), "new");
  EXPECT_EQ(slurp(t.path("a.pro")), "new");
  for (const std::string& n : removed)
    EXPECT_FALSE(std::filesystem::exists(t.path(n))) << n;
  for (const std::string& n : kept)
    EXPECT_TRUE(std::filesystem::exists(t.path(n))) << n;
  EXPECT_TRUE(std::filesystem::is_directory(t.path("a.pro.5.6.7.tmp~")));
  // Saving another file leaves a.pro's temporaries alone.
  make(removed[0], true);
  writeFileAtomically(t.path("c.pro"), "c");
  EXPECT_TRUE(std::filesystem::exists(t.path(removed[0])));
  // Files saved together clean up after themselves too.
  writeFilesTogether({{t.path("a.pro"), "1"}, {t.path("b.pro"), "2"}});
  EXPECT_FALSE(std::filesystem::exists(t.path(removed[0])));
  EXPECT_FALSE(std::filesystem::exists(t.path(kept[1])));
}

// Several writers in one folder each finish with a whole file of their own; none takes
// another's temporary.
TEST(Files, WritersInOneFolderDoNotCollide) {
  TempFolder t;
  constexpr int kWriters = 4;
  std::vector<std::thread> threads;
  threads.reserve(kWriters);
  std::vector<int> failures(kWriters, 0);
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      const std::string mine = t.path("w" + std::to_string(w) + ".txt");
      const std::string content(20000 + w, static_cast<char>('a' + w));
      for (int k = 0; k < 50; ++k) {
        try {
          writeFileAtomically(mine, content);
          writeFileAtomically(t.path("shared.txt"), content);
        } catch (const FileError&) {
          ++failures[static_cast<std::size_t>(w)];
        }
      }
    });
  }
  for (auto& th : threads)
    th.join();
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(failures[static_cast<std::size_t>(w)], 0);
    EXPECT_EQ(slurp(t.path("w" + std::to_string(w) + ".txt")),
              std::string(20000 + w, static_cast<char>('a' + w)));
  }
  const std::string shared = slurp(t.path("shared.txt"));
  ASSERT_FALSE(shared.empty());
  EXPECT_EQ(shared, std::string(shared.size(), shared[0]));  // one writer's whole file
  EXPECT_EQ(shared.size(), 20000u + static_cast<std::size_t>(shared[0] - 'a'));
  EXPECT_EQ(others(t, {"w0.txt", "w1.txt", "w2.txt", "w3.txt", "shared.txt"}),
            std::vector<std::string>{});
}

TEST(Files, SavingOverALinkReplacesTheFileItPointsTo) {
  TempFolder t;
  std::filesystem::create_directory(t.path("data"));
  const std::string real = t.write("data/run.pro", "old");
  std::filesystem::create_symlink("data/run.pro", t.path("link.pro"));
  std::filesystem::create_symlink(t.path("link.pro"), t.path("link2.pro"));  // a chain
  writeFileAtomically(t.path("link.pro"), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(t.path("link.pro")));
  EXPECT_EQ(slurp(real), "new");
  writeFileAtomically(t.path("link2.pro"), "newer");
  EXPECT_TRUE(std::filesystem::is_symlink(t.path("link2.pro")));
  EXPECT_EQ(slurp(real), "newer");
  EXPECT_EQ(others(t, {"data", "link.pro", "link2.pro"}), std::vector<std::string>{});
}

TEST(Files, FilesWrittenTogetherAreAllNewOrAllOld) {
  TempFolder t;
  const std::string a = t.write("x.pro", "old pro");
  const std::string b = t.write("x_profile.txt", "old text");
  writeFilesTogether({{a, "new pro"}, {b, "new text"}});
  EXPECT_EQ(slurp(a), "new pro");
  EXPECT_EQ(slurp(b), "new text");
  // The second cannot be written: the first keeps its old content too.
  try {
    writeFilesTogether({{a, "newer pro"}, {t.path("gone/x_profile.txt"), "newer text"}});
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("gone/x_profile.txt"), std::string::npos);
  }
  EXPECT_EQ(slurp(a), "new pro");
  EXPECT_EQ(others(t, {"x.pro", "x_profile.txt"}), std::vector<std::string>{});
}

// Only regular files are read: a folder, a missing file, a device that never ends (chosen by
// mistake in a file dialog) and a file over the limit fail at once and leave the content alone.
TEST(Files, ReadingAFolderADeviceOrAMissingFileFails) {
  TempFolder t;
  std::string content = "kept";
  EXPECT_FALSE(readWholeFile(t.dir(), &content, 100));
  EXPECT_FALSE(readWholeFile(t.path("none"), &content, 100));
  EXPECT_FALSE(readWholeFile(t.write("big", std::string(101, 'x')), &content, 100));
  if (std::filesystem::exists("/dev/zero")) {
    EXPECT_FALSE(readWholeFile("/dev/zero", &content, std::size_t{1} << 40));
  }
  EXPECT_EQ(content, "kept");
  EXPECT_TRUE(readWholeFile(t.write("ok", "abc"), &content, 100));
  EXPECT_EQ(content, "abc");
  std::filesystem::create_symlink(t.path("ok"), t.path("link"));
  EXPECT_TRUE(readWholeFile(t.path("link"), &content, 100));
  EXPECT_EQ(content, "abc");
}

}  // namespace
}  // namespace tarvex
