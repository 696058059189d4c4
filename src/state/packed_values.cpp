#include "state/packed_values.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace tarvex {
namespace {

std::uint64_t bitsOf(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// Calls f(first, length, repeated) for the runs of v: runs of three or more equal values, and
// the stretches between them.
template <class F>
void forEachRun(const double* v, std::size_t n, F&& f) {
  std::size_t literal = 0;  // where the stretch of unequal values began
  std::size_t i = 0;
  while (i < n) {
    const std::uint64_t b = bitsOf(v[i]);
    std::size_t j = i + 1;
    while (j < n && bitsOf(v[j]) == b)
      ++j;
    if (j - i >= 3) {
      if (literal < i) f(literal, i - literal, false);
      f(i, j - i, true);
      literal = j;
    }
    i = j;
  }
  if (literal < n) f(literal, n - literal, false);
}

}  // namespace

PackedValues PackedValues::pack(const double* v, std::size_t n) {
  PackedValues p;
  p.size_ = n;
  // Counted first, so each vector is allocated once at its size.
  std::size_t values = 0;
  std::size_t runs = 0;
  forEachRun(v, n, [&](std::size_t, std::size_t length, bool repeated) {
    values += repeated ? 1 : length;
    ++runs;
  });
  p.values_.reserve(values);
  p.runs_.reserve(runs);
  forEachRun(v, n, [&](std::size_t first, std::size_t length, bool repeated) {
    p.runs_.push_back({length, repeated});
    p.values_.insert(p.values_.end(), v + first, v + first + (repeated ? 1 : length));
  });
  return p;
}

void PackedValues::unpack(double* out) const {
  std::size_t at = 0;
  std::size_t next = 0;
  for (const Run& r : runs_) {
    if (r.repeated) {
      std::fill_n(out + at, r.length, values_[next++]);
    } else {
      std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(next), r.length, out + at);
      next += r.length;
    }
    at += r.length;
  }
}

std::size_t PackedValues::bytes() const {
  return values_.capacity() * sizeof(double) + runs_.capacity() * sizeof(Run);
}

PackedProfile::PackedProfile(const profile& p)
    : values_(PackedValues::pack(p.values.data(), p.values.size())),
      startDepth_(p.startDepth),
      count_(p.count),
      step_(p.step) {}

profile PackedProfile::unpack() const {
  profile p;
  p.values.resize(values_.size());
  values_.unpack(p.values.data());
  p.startDepth = startDepth_;
  p.count = count_;
  p.step = step_;
  return p;
}

}  // namespace tarvex
