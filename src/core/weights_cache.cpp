#include "core/weights_cache.h"

#include <algorithm>
#include <bit>
#include <span>

namespace tarvex {
namespace {

// Two independent 64-bit digests of the bit patterns of v, each over four interleaved lanes
// (multiply-xorshift steps, a splitmix64 finish), so that one pass runs at memory speed.
std::array<std::uint64_t, 2> digestOf(std::span<const double> v) {
  constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ULL, k2 = 0xC2B2AE3D27D4EB4FULL;
  std::array<std::uint64_t, 4> h1{1, 2, 3, 4}, h2{5, 6, 7, 8};
  const auto step = [](std::uint64_t h, std::uint64_t x, std::uint64_t k) {
    h = (h ^ x) * k;
    return h ^ (h >> 29);
  };
  const std::size_t n = v.size();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (std::size_t j = 0; j < 4; ++j) {
      const auto x = std::bit_cast<std::uint64_t>(v[i + j]);
      h1[j] = step(h1[j], x, k1);
      h2[j] = step(h2[j], x, k2);
    }
  }
  for (std::size_t j = 0; i < n; ++i, ++j) {
    const auto x = std::bit_cast<std::uint64_t>(v[i]);
    h1[j] = step(h1[j], x, k1);
    h2[j] = step(h2[j], x, k2);
  }
  const auto finish = [n](const std::array<std::uint64_t, 4>& h) {
    std::uint64_t r = n;
    for (const std::uint64_t x : h) {
      r = (r ^ x) + 0x9E3779B97F4A7C15ULL;
      r = (r ^ (r >> 30)) * 0xBF58476D1CE4E5B9ULL;
      r = (r ^ (r >> 27)) * 0x94D049BB133111EBULL;
      r ^= r >> 31;
    }
    return r;
  };
  return {finish(h1), finish(h2)};
}

}  // namespace

const std::vector<double>& CollisionWeightsCache::weights(const profile& prof, int nmax, double a) {
  const std::size_t points =
      std::min(prof.values.size(), static_cast<std::size_t>(std::max(prof.count, 0)));
  Key key;
  key.points = points;
  key.step = std::bit_cast<std::uint64_t>(prof.step);
  key.rate = std::bit_cast<std::uint64_t>(a);
  key.nmax = nmax;
  key.digest = digestOf(std::span<const double>(prof.values).first(points));
  if (key_ && *key_ == key) return weights_;
  std::vector<double> fresh = prof.collisionWeights(nmax, a, 1.0);
  key_.reset();
  weights_ = std::move(fresh);
  key_ = key;
  return weights_;
}

}  // namespace tarvex
