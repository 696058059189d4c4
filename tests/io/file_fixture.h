// A session whose working directory is a fresh folder of its own, with helpers to read and
// write the files of a test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "io/files.h"
#include "support/recording_host.h"
#include "temp_folder.h"

namespace tarvex::testing {

inline std::string slurp(const std::string& path) {
  std::string s;
  EXPECT_TRUE(readWholeFile(path, &s, 1 << 30)) << path;
  return s;
}

struct FileFixture : SessionFixture {
  TempFolder folder;
  std::string dir = folder.dir();
  FileFixture() { session.state().startDirectory = dir; }
  std::string path(const std::string& f) const { return folder.path(f); }
  std::string write(const std::string& f, const std::string& bytes) const {
    return folder.write(f, bytes);
  }
  // A second session that starts in the same folder (a later run of the program).
  struct Later : SessionFixture {
    explicit Later(const std::string& dir) { session.state().startDirectory = dir; }
  };
};

}  // namespace tarvex::testing
