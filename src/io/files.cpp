#include "io/files.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarvex {

void writeFileAtomically(const std::string& path, const std::string& content) {
  const std::string tmp = path + ".tmp~";
  const auto fail = [&](const std::string& why) {
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    return FileError("Cannot write \"" + path + "\": " + why);
  };
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw fail(std::strerror(errno));
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
    f.flush();
    if (!f) throw fail("the disk refused the data");
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) throw fail(ec.message());
}

bool readWholeFile(const std::string& path, std::string* content, std::size_t maxBytes) {
  std::error_code ec;
  // A folder opens as a stream on some systems and reads as nothing: it is no file to read.
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string read;
  char buf[65536];
  while (f.read(buf, sizeof buf) || f.gcount() > 0) {
    read.append(buf, static_cast<std::size_t>(f.gcount()));
    if (read.size() > maxBytes) return false;
  }
  if (f.bad()) return false;
  *content = std::move(read);
  return true;
}

std::string formatG6(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  return std::string(buf, r.ptr);
}

std::string changeExtension(const std::string& path, const std::string& ext) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < start) return path + ext;
  return path.substr(0, dot) + ext;
}

void appendDouble(std::string& out, double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) {
    out.push_back(static_cast<char>(bits & 0xFF));
    bits >>= 8;
  }
}

double readDouble(const std::string& in, std::size_t at) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = (bits << 8) | static_cast<unsigned char>(in[at + i]);
  return std::bit_cast<double>(bits);
}

std::string fileNameOnly(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tarvex
