// The Poisson weights of a depth profile, kept with what they were computed from.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/profile.h"

namespace tarvex {

// The weights of the last profile weighted through it: a re-run over an unchanged profile
// (millions of points for a thick film) reads them back instead of weighting every depth again;
// any change of a point, the step, the collision rate or the highest order computes them anew.
// Stored only once complete, so a stop during the weighting keeps nothing. Owned by its caller:
// one per session, per fit or per thread; not shared between threads.
class CollisionWeightsCache {
 public:
  // The weights profile::collisionWeights(nmax, a, 1) gives for prof.
  const std::vector<double>& weights(const profile& prof, int nmax, double a);

 private:
  struct Key {
    std::size_t points = 0;
    std::uint64_t step = 0;  // bit patterns: a value that is not a number matches itself only
    std::uint64_t rate = 0;
    int nmax = 0;
    std::array<std::uint64_t, 2> digest{};
    bool operator==(const Key&) const = default;
  };
  std::optional<Key> key_;
  std::vector<double> weights_;
};

}  // namespace tarvex
