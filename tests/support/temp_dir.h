// A temporary folder of a test's own, removed with everything in it when the test ends: tests
// that run in parallel never share a file.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tarvex::testing {

class TempDir {
 public:
  explicit TempDir(const std::string& name) {
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("tarvex-" + name + "-" + std::to_string(::getpid()) + "-" +
                      std::to_string(serial++) + "-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace tarvex::testing
