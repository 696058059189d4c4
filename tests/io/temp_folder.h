// A folder of its own for one test's files: unique per process and test, removed afterwards,
// so tests that write files can run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

namespace tarvex::testing {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> serial{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "io";
    for (char& c : name) {
      if (c == '/' || c == '\\') c = '_';
    }
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
      path_ = std::filesystem::temp_directory_path() /
              ("tarvex_" + name + "_" + std::to_string(::getpid()) + "_" +
               std::to_string(serial++) + "_" + std::to_string(tick));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) break;
      if (ec) throw std::filesystem::filesystem_error("cannot create a test folder", path_, ec);
    }
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string dir() const { return path_.string(); }
  std::string path(const std::string& file) const { return (path_ / file).string(); }
  // Writes a file of the folder byte for byte; returns its path.
  std::string write(const std::string& file, const std::string& bytes) const {
    const std::string p = path(file);
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tarvex::testing
