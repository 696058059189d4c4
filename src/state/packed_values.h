// Profile values with runs of equal values stored once: the zeros past a film, its plateaus, the
// flat stretches a drawn line or an erfc step leaves. Used wherever a copy of a profile is kept
// aside (the edit history, the copy the resonant calculations keep for "Undo").
#pragma once

#include <cstddef>
#include <vector>

#include "core/profile.h"

namespace tarvex {

// The values of a stretch of a profile, a run of three or more equal values kept once. Values
// are compared bit for bit, so unpacking gives back exactly what was packed; values without
// runs cost what they cost unpacked, plus a few bytes.
class PackedValues {
 public:
  static PackedValues pack(const double* v, std::size_t n);
  void unpack(double* out) const;
  std::size_t size() const { return size_; }
  std::size_t bytes() const;

 private:
  struct Run {
    std::size_t length = 0;
    bool repeated = false;  // one value in values_ stands for the whole run
  };
  std::vector<double> values_;
  std::vector<Run> runs_;
  std::size_t size_ = 0;
};

// A whole profile kept packed.
class PackedProfile {
 public:
  PackedProfile() = default;
  explicit PackedProfile(const profile& p);
  profile unpack() const;
  double startDepth() const { return startDepth_; }
  int count() const { return count_; }
  double step() const { return step_; }
  std::size_t size() const { return values_.size(); }
  std::size_t bytes() const { return values_.bytes(); }

 private:
  PackedValues values_;
  double startDepth_ = 0.0;
  int count_ = 0;
  double step_ = 0.1;
};

}  // namespace tarvex
