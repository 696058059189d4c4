#include "io/files.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>
#include <system_error>

namespace tarvex {

namespace {

// The file a name stands for: a symbolic link is followed (a chain of them, within reason), so
// that saving over a link replaces the file it points to and the link stays.
std::filesystem::path linkTarget(const std::filesystem::path& path) {
  std::filesystem::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return p;
    const std::filesystem::path to = std::filesystem::read_symlink(p, ec);
    if (ec) return p;
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  return p;
}

// A sibling name no other writer uses: the process, a counter and a random part.
std::filesystem::path temporarySibling(const std::filesystem::path& target, unsigned attempt) {
  static std::atomic<unsigned long long> serial{0};
  static const unsigned long long seed = [] {
    std::random_device rd;
    return (static_cast<unsigned long long>(rd()) << 32) ^ rd();
  }();
  const unsigned long long n = serial++;
  char tag[64];
  std::snprintf(
      tag, sizeof tag, ".%llx.%llx.%x.tmp~",
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()),
      seed ^ (n * 0x9E3779B97F4A7C15ULL), attempt);
  std::filesystem::path name = target.filename();
  name += tag;
  return target.parent_path() / name;
}

void removeQuietly(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::remove(p, ec);
}

// When this process started, on the clock of file times: a temporary older than that belongs
// to a save that was cut short (killed, or the machine went down), never to one in progress
// here, and the temporaries of saves in progress in other processes are fresher still (they
// are being written).
const std::filesystem::file_time_type kProcessStart = std::filesystem::file_time_type::clock::now();

bool isHex(std::string_view s) {
  if (s.empty() || s.size() > 16) return false;
  for (const char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Whether name is one of the temporaries temporarySibling makes for a file named base:
// base + ".<hex>.<hex>.<hex>.tmp~".
bool isTemporaryOf(const std::string& name, const std::string& base) {
  constexpr std::string_view kEnd = ".tmp~";
  if (name.size() <= base.size() + kEnd.size() || name.compare(0, base.size(), base) != 0 ||
      name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) != 0) {
    return false;
  }
  std::string_view tag(name);
  tag = tag.substr(base.size(), tag.size() - base.size() - kEnd.size());  // ".a.b.c"
  for (int part = 0; part < 3; ++part) {
    if (tag.empty() || tag[0] != '.') return false;
    tag.remove_prefix(1);
    const std::size_t dot = part < 2 ? tag.find('.') : tag.size();
    if (dot == std::string_view::npos || !isHex(tag.substr(0, dot))) return false;
    tag.remove_prefix(dot);
  }
  return tag.empty();
}

// Removes the temporaries of earlier saves of target that were cut short: plain files of this
// program's naming pattern for that very file, last written before this process started.
// Anything that cannot be listed or removed is left as it is.
void removeStaleTemporaries(const std::filesystem::path& target) {
  const std::string base = target.filename().string();
  if (base.empty()) return;
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) return;
  std::vector<std::filesystem::path> stale;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const std::filesystem::path& p = it->path();
    if (!isTemporaryOf(p.filename().string(), base)) continue;
    std::error_code e;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(p, e)) || e) continue;
    const auto written = std::filesystem::last_write_time(p, e);
    // A margin for file systems whose times lag the clock by a tick.
    if (!e && written < kProcessStart - std::chrono::seconds(2)) stale.push_back(p);
  }
  for (const std::filesystem::path& p : stale)
    removeQuietly(p);
}

std::atomic<bool (*)(const std::string&)> writeFault{nullptr};

struct Pending {
  std::filesystem::path target;
  std::filesystem::path temporary;
  std::string shown;  // the name the caller gave, for messages
};

// Writes content into a new temporary sibling of the file; throws FileError naming `shown`.
Pending writeTemporary(const std::string& shown, const std::string& content) {
  Pending w;
  w.shown = shown;
  w.target = linkTarget(shown);
  std::error_code ec;
  if (std::filesystem::is_directory(w.target, ec)) {
    throw FileError("Cannot write \"" + shown + "\": a folder of that name is in the way");
  }
  // Space first: what saves of this file cut short left behind goes before a new one is made.
  removeStaleTemporaries(w.target);
  std::FILE* f = nullptr;
  int openError = 0;
  for (unsigned attempt = 0; attempt < 100 && f == nullptr; ++attempt) {
    w.temporary = temporarySibling(w.target, attempt);
    // "x": created here or not at all, so two writers never share a temporary.
    errno = 0;
    f = std::fopen(w.temporary.string().c_str(), "wbx");
    openError = errno;
    if (f == nullptr && openError != EEXIST) break;
  }
  if (f == nullptr) {
    throw FileError("Cannot write \"" + shown + "\": " + std::strerror(openError));
  }
  bool (*const fault)(const std::string&) = writeFault.load();
  const bool refused = fault != nullptr && fault(shown);
  const std::size_t size = refused ? std::min<std::size_t>(content.size(), 1) : content.size();
  const bool written = std::fwrite(content.data(), 1, size, f) == size && !refused;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    removeQuietly(w.temporary);
    throw FileError("Cannot write \"" + shown + "\": the disk refused the data");
  }
  // A file that is replaced keeps its permissions.
  const auto st = std::filesystem::status(w.target, ec);
  if (!ec && std::filesystem::is_regular_file(st)) {
    std::filesystem::permissions(w.temporary, st.permissions(), ec);
  }
  return w;
}

void publish(const Pending& w) {
  std::error_code ec;
  std::filesystem::rename(w.temporary, w.target, ec);
  if (ec) {
    removeQuietly(w.temporary);
    throw FileError("Cannot write \"" + w.shown + "\": " + ec.message());
  }
}

}  // namespace

void setWriteFaultForTesting(bool (*fails)(const std::string& path)) {
  writeFault.store(fails);
}

void writeFileAtomically(const std::string& path, const std::string& content) {
  publish(writeTemporary(path, content));
}

void writeFilesTogether(const std::vector<FileImage>& files) {
  std::vector<Pending> pending;
  pending.reserve(files.size());
  try {
    for (const FileImage& f : files)
      pending.push_back(writeTemporary(f.path, f.content));
  } catch (...) {
    for (const Pending& w : pending)
      removeQuietly(w.temporary);
    throw;
  }
  // Every temporary is complete: now the renames, which do not fail for want of space.
  std::string failed;
  for (const Pending& w : pending) {
    try {
      publish(w);
    } catch (const FileError& e) {
      if (failed.empty()) failed = e.what();
    }
  }
  if (!failed.empty()) throw FileError(failed);
}

bool readWholeFile(const std::string& path, std::string* content, std::size_t maxBytes) {
  std::error_code ec;
  // Only a regular file (or a link to one) is read: a folder opens as a stream on some systems
  // and reads as nothing, a device such as /dev/zero never ends. A file larger than the limit
  // is refused before a byte of it is read.
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::is_regular_file(status)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > maxBytes) return false;
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
