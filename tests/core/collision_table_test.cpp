#include "core/collision_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "core/cancel.h"
#include "core/parallel.h"

namespace tarvex {
namespace {

class ThreadCount {
 public:
  explicit ThreadCount(int threads) : previous_(workerThreads()) { setWorkerThreads(threads); }
  ~ThreadCount() { setWorkerThreads(previous_); }
  ThreadCount(const ThreadCount&) = delete;
  ThreadCount& operator=(const ThreadCount&) = delete;

 private:
  int previous_;
};

// The single-collision distribution of the default resonance (1241 bins of 4.03 eV).
spectro defaultSingle() {
  spectro s;
  s.makeSingleCollision(1241, 4.02999, 5.7571, 328.948);
  return s;
}

spectro zeroLossOf(const spectro& single) {
  spectro z(single.size(), single.step);
  z.setValue(0, static_cast<float>(1.0 / single.step));
  return z;
}

std::vector<std::uint64_t> bitsOf(const std::vector<spectro>& table) {
  std::vector<std::uint64_t> b;
  for (const spectro& d : table) {
    for (double x : d.values)
      b.push_back(std::bit_cast<std::uint64_t>(x));
    b.push_back(std::bit_cast<std::uint64_t>(d.step));
    b.push_back(std::bit_cast<std::uint64_t>(d.offset));
  }
  return b;
}

// Large tables have their rows faulted in ahead by another core: the table is the chain of
// convolutions bit for bit, whether one thread builds it or two.
TEST(CollisionTable, RowsMadeAheadHoldTheChainOfConvolutions) {
  const spectro single = defaultSingle();
  const int nc = 258;
  std::vector<spectro> chain{zeroLossOf(single), single};
  for (int k = 2; k <= nc; ++k)
    chain.push_back(convolve(single, chain.back()));
  for (const int threads : {1, 2}) {
    const ThreadCount count(threads);
    int reported = 0;
    const std::vector<spectro> table = buildCollisionTable(
        zeroLossOf(single), single, nc,
        [&](int k, const std::vector<spectro>& t, const DistributionStats& stats) {
          EXPECT_EQ(k, ++reported);
          EXPECT_EQ(t.size(), static_cast<std::size_t>(k) + 1);
          EXPECT_EQ(stats.integral, t.back().integral());
        });
    EXPECT_EQ(reported, nc);
    EXPECT_EQ(bitsOf(table), bitsOf(chain)) << threads << " threads";
  }
}

// A stop during the build ends it (and the rows made ahead) at once; the next build is whole.
TEST(CollisionTable, AStopDuringTheBuildEndsItAndTheNextBuildIsWhole) {
  const ThreadCount count(2);
  const spectro single = defaultSingle();
  for (const int stopAt : {1, 2, 40, 257}) {
    CancelToken token;
    const CancelScope scope(token);
    int last = 0;
    EXPECT_THROW(
        buildCollisionTable(zeroLossOf(single), single, 258,
                            [&](int k, const std::vector<spectro>&, const DistributionStats&) {
                              last = k;
                              if (k == stopAt) token.request();
                            }),
        Cancelled)
        << "stop at " << stopAt;
    EXPECT_EQ(last, stopAt);
  }
  const std::vector<spectro> table = buildCollisionTable(zeroLossOf(single), single, 258, {});
  ASSERT_EQ(table.size(), 259u);
  EXPECT_EQ(bitsOf({table.back()}), bitsOf({convolve(single, table[257])}));
}

}  // namespace
}  // namespace tarvex
