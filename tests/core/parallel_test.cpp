#include "core/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/cancel.h"
#include "core/convolution.h"
#include "core/profile.h"
#include "core/spectro.h"
#include "meis/depth_sum.h"
#include "nra/analytic.h"

namespace tarvex {
namespace {

// Sets the thread count for one test and puts the previous one back.
class ThreadCount {
 public:
  explicit ThreadCount(int threads) : previous_(workerThreads()) { setWorkerThreads(threads); }
  ~ThreadCount() { setWorkerThreads(previous_); }
  ThreadCount(const ThreadCount&) = delete;
  ThreadCount& operator=(const ThreadCount&) = delete;

 private:
  int previous_;
};

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(Parallel, SlicesDependOnTheProblemOnly) {
  const std::vector<int> items = {0, 1, 2, 15, 16, 17, 1000, 2000000};
  std::vector<int> reference;
  reference.reserve(items.size());
  for (int n : items)
    reference.push_back(sliceCount(n));
  for (int threads : {1, 2, 3, 7}) {
    const ThreadCount t(threads);
    for (std::size_t k = 0; k < items.size(); ++k) {
      EXPECT_EQ(sliceCount(items[k]), reference[k]) << items[k];
      EXPECT_EQ(workerCount(items[k]), reference[k]) << items[k];
      EXPECT_GE(reference[k], 1);
    }
  }
}

TEST(Parallel, EverySliceRunsOnceInItsPlace) {
  for (int threads : {1, 2, 3}) {
    const ThreadCount t(threads);
    for (int items : {0, 1, 5, 16, 17, 1001}) {
      const int slices = sliceCount(items);
      std::vector<int> hits(static_cast<std::size_t>(items), 0);
      std::vector<int> bounds(static_cast<std::size_t>(2 * slices), -1);
      parallelFor(items, [&](int slice, int begin, int end) {
        bounds[2 * slice] = begin;
        bounds[2 * slice + 1] = end;
        for (int i = begin; i < end; ++i)
          ++hits[i];
      });
      for (int h : hits)
        EXPECT_EQ(h, 1) << threads << " threads, " << items << " items";
      if (items == 0) continue;
      EXPECT_EQ(bounds.front(), 0);
      EXPECT_EQ(bounds.back(), items);
      for (int s = 1; s < slices; ++s)
        EXPECT_EQ(bounds[2 * s], bounds[2 * s - 1]) << "slice " << s;
    }
  }
}

TEST(Parallel, AnExceptionOfASliceReachesTheCaller) {
  for (int threads : {1, 2, 3}) {
    const ThreadCount t(threads);
    std::atomic<int> ran{0};
    try {
      parallelFor(1000, [&](int slice, int, int) {
        ++ran;
        if (slice == 3 || slice == 11) throw std::runtime_error("slice " + std::to_string(slice));
      });
      ADD_FAILURE() << "no exception with " << threads << " threads";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_TRUE(what == "slice 3" || what == "slice 11") << what;
    }
    // Slices not started when the failure came are skipped.
    if (threads == 1) {
      EXPECT_EQ(ran.load(), 4);
    }
    // The pool is usable again after a failure.
    std::atomic<int> sum{0};
    parallelFor(100, [&](int, int begin, int end) { sum += end - begin; });
    EXPECT_EQ(sum.load(), 100);
  }
}

TEST(Parallel, NestedRunsDoNotWaitForThemselves) {
  const ThreadCount t(2);
  std::atomic<long> total{0};
  parallelFor(20, [&](int, int begin, int end) {
    for (int i = begin; i < end; ++i) {
      parallelFor(50, [&](int, int b, int e) { total += e - b; });
    }
  });
  EXPECT_EQ(total.load(), 20 * 50);
}

// A run whose slice waits for another thread (as an event pump waits for a lock that thread
// holds) must not keep that thread's own run waiting: the second caller does its slices itself,
// with the same results.
TEST(Parallel, ACallerNeverWaitsForAnotherCallersRun) {
  const ThreadCount t(2);
  std::promise<void> secondDone;
  std::future<void> done = secondDone.get_future();
  std::atomic<bool> waited{false};
  std::vector<int> second(64, 0);
  std::thread other;
  parallelFor(64, [&](int slice, int, int) {
    if (slice != 0) return;
    other = std::thread([&] {
      parallelFor(64, [&](int, int begin, int end) {
        for (int i = begin; i < end; ++i)
          second[static_cast<std::size_t>(i)] = i;
      });
      secondDone.set_value();
    });
    waited = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  });
  other.join();
  EXPECT_TRUE(waited);
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(second[static_cast<std::size_t>(i)], i);
}

// Two threads that run work at once each hear their own stop, and so do the workers of their
// parallel runs.
TEST(Parallel, EachThreadHearsItsOwnStop) {
  const ThreadCount t(2);
  CancelToken stopped, running;
  stopped.request();
  std::promise<void> bReady, aInstalled;
  std::future<void> bReadyF = bReady.get_future(), aInstalledF = aInstalled.get_future();
  bool aStopped = false, bStopped = false;
  std::thread b([&] {
    const CancelScope scope(running);
    bReady.set_value();
    aInstalledF.wait();  // the other thread has installed its token after this one
    try {
      parallelFor(64, [](int, int, int) { checkCancel(); });
    } catch (const Cancelled&) {
      bStopped = true;
    }
  });
  std::thread a([&] {
    bReadyF.wait();
    const CancelScope scope(stopped);
    aInstalled.set_value();
    try {
      parallelFor(64, [](int, int, int) { checkCancel(); });
    } catch (const Cancelled&) {
      aStopped = true;
    }
  });
  a.join();
  b.join();
  EXPECT_TRUE(aStopped);
  EXPECT_FALSE(bStopped);
}

TEST(Parallel, ThreadSettingsOutsideTheirRangeAreIgnored) {
  struct {
    const char* text;
    int want;
  } cases[] = {
      {"1", 1},   {"3", 3},   {" 2 ", 2}, {"100000", 256},      {"0", 0}, {"-2", 0}, {"", 0},
      {"two", 0}, {"2.5", 0}, {"4x", 0},  {"99999999999999", 0}};
  for (auto c : cases)
    EXPECT_EQ(threadsFromSetting(c.text), c.want) << "'" << c.text << "'";
  const ThreadCount t(0);
  EXPECT_EQ(workerThreads(), 1);
}

// A film whose deeper points cost more (wider Poisson windows) and a profile with gaps.
profile film() {
  profile p(20000.0, 1.0);
  for (int i = 0; i < p.count; ++i)
    p.values[i] = (i / 700) % 5 == 3 ? 0.0 : 0.3 + 0.7 * std::sin(0.001 * i) * std::sin(0.001 * i);
  return p;
}

TEST(Parallel, CollisionWeightsHaveTheSameBitsOnAnyNumberOfThreads) {
  const profile p = film();
  std::vector<std::vector<double>> results;
  for (int threads : {1, 2, 3}) {
    const ThreadCount t(threads);
    results.push_back(p.collisionWeights(5000, 0.17, 1.0));
  }
  EXPECT_TRUE(sameBits(results[0], results[1]));
  EXPECT_TRUE(sameBits(results[0], results[2]));
}

TEST(Parallel, DepthSumsHaveTheSameBitsOnAnyNumberOfThreads) {
  const profile p = film();
  const auto density = [](int i, double c, int j) {
    return c * std::exp(-0.5 * std::pow((j - 0.01 * i) / (3.0 + 0.001 * i), 2.0)) / (1.0 + i);
  };
  std::vector<std::vector<double>> results;
  for (int threads : {1, 2, 3}) {
    const ThreadCount t(threads);
    results.push_back(depthSum(p, 500, 0.37, density));
  }
  EXPECT_TRUE(sameBits(results[0], results[1]));
  EXPECT_TRUE(sameBits(results[0], results[2]));
}

TEST(Parallel, AnalyticExcitationCurvesHaveTheSameBitsOnAnyNumberOfThreads) {
  profile p(300.0, 0.5);
  for (int i = 0; i < p.count; ++i)
    p.values[i] = 1.0 + 0.01 * i;
  std::vector<std::vector<double>> results;
  for (int threads : {1, 2, 3}) {
    const ThreadCount t(threads);
    results.push_back(analyticExcitationCurve(p, 2.0, 3.365, 1.4287).values);
  }
  EXPECT_TRUE(sameBits(results[0], results[1]));
  EXPECT_TRUE(sameBits(results[0], results[2]));
}

// The pump of pending events runs on the thread that installed it, never on the workers and
// never inside itself; a stop it requests ends the loop at that same check.
TEST(Parallel, TheEventPumpRunsOnItsOwnThreadOnly) {
  const ThreadCount threads(2);
  struct Seen {
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> calls{0}, elsewhere{0}, nested{0};
    int depth = 0;
    CancelToken* stopAt = nullptr;
    int stopAfter = -1;
  } seen;
  const auto pump = [](void* context) {
    Seen& s = *static_cast<Seen*>(context);
    if (std::this_thread::get_id() != s.owner) ++s.elsewhere;
    if (++s.depth > 1) ++s.nested;
    ++s.calls;
    checkCancel();  // an event handler that looks for a stop itself
    --s.depth;
    if (s.stopAt != nullptr && s.calls == s.stopAfter) s.stopAt->request();
  };
  {
    const EventPumpScope scope(pump, &seen);
    checkCancel();
    EXPECT_EQ(seen.calls, 1);
    parallelFor(64, [](int, int begin, int end) {
      for (int i = begin; i < end; ++i)
        checkCancel();
    });
    EXPECT_EQ(seen.elsewhere, 0);
    EXPECT_EQ(seen.nested, 0);
    CancelToken token;
    const CancelScope cancel(token);
    seen.stopAt = &token;
    seen.stopAfter = seen.calls + 2;
    int loops = 0;
    EXPECT_THROW(for (; loops < 100; ++loops) checkCancel(), Cancelled);
    EXPECT_EQ(loops, 1);
  }
  const int calls = seen.calls;
  checkCancel();  // the scope is gone
  EXPECT_EQ(seen.calls, calls);
}

// A stop requested before or during the work ends it with Cancelled, from whichever thread
// looks first; without a stop the results are those of a run without a token.
class StopRequested : public ::testing::TestWithParam<int> {
 protected:
  ThreadCount threads_{GetParam()};
  CancelToken token_;
};

TEST_P(StopRequested, EndsTheLongLoops) {
  const profile p = film();
  const std::vector<double> a(3000, 1.0), b(3000, 0.5);
  std::vector<double> out(3000);
  spectro s(400, 10.0);
  s.values[200] = 1.0;
  const std::vector<double> weights = p.collisionWeights(500, 0.17, 1.0);
  {
    const CancelScope scope(token_);  // installed, not requested: nothing changes
    EXPECT_TRUE(sameBits(p.collisionWeights(500, 0.17, 1.0), weights));
    token_.request();
    EXPECT_THROW(p.collisionWeights(500, 0.17, 1.0), Cancelled);
    EXPECT_THROW(p.collisionWeight(3, 0.17, 1.0), Cancelled);
    EXPECT_THROW(causalConvolve(a, b, out), Cancelled);
    EXPECT_THROW(causalConvolveDirect(a, b, out), Cancelled);
    EXPECT_THROW(causalConvolveFft(a, b, out), Cancelled);
    EXPECT_THROW(depthSum(p, 10, 1.0, [](int, double c, int) { return c; }), Cancelled);
    const spectro before = s;
    EXPECT_THROW(s.broadenGaussian(30.0), Cancelled);
    EXPECT_THROW(s.broadenLorentzian(30.0), Cancelled);
    EXPECT_THROW(convolve(s, s), Cancelled);
    EXPECT_TRUE(sameBits(s.values, before.values));  // the curve is left as it was
    EXPECT_EQ(s.offset, before.offset);
  }
  // The scope is gone: the same calls run again.
  EXPECT_TRUE(sameBits(p.collisionWeights(500, 0.17, 1.0), weights));
}

TEST_P(StopRequested, ReachesTheWorkersHalfWay) {
  const profile p = film();
  const CancelScope scope(token_);
  std::atomic<int> points{0};
  std::atomic<int> after{0};
  EXPECT_THROW(depthSum(p, 50, 1.0,
                        [&](int, double c, int j) {
                          if (j == 0 && ++points == 100) token_.request();
                          if (j == 0 && token_.requested()) ++after;
                          return c;
                        }),
               Cancelled);
  // Each thread finishes at most the point it was working on when the stop came.
  EXPECT_LE(after.load(), GetParam());
  EXPECT_LT(points.load(), p.count / 2);
}

INSTANTIATE_TEST_SUITE_P(Threads, StopRequested, ::testing::Values(1, 2, 3));

}  // namespace
}  // namespace tarvex
