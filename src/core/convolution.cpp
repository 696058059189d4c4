#include "core/convolution.h"

#include <fftw3.h>

#include "core/cancel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace tarvex {
namespace {

// The first and one past the last non-zero index of v.
std::pair<std::size_t, std::size_t> support(std::span<const double> v) {
  std::size_t lo = 0;
  while (lo < v.size() && v[lo] == 0.0)
    ++lo;
  std::size_t hi = v.size();
  while (hi > lo && v[hi - 1] == 0.0)
    --hi;
  return {lo, hi};
}

// The part of the product that can reach the outputs: a[alo, ahi) and b[blo, bhi), the outputs
// [olo, ohi). Empty when nothing reaches the outputs.
struct Overlap {
  std::size_t alo = 0, ahi = 0, blo = 0, bhi = 0, olo = 0, ohi = 0;
  bool empty() const { return ohi <= olo; }
};

Overlap overlap(std::span<const double> a, std::span<const double> b, std::size_t n) {
  Overlap o;
  auto [alo, ahi] = support(a);
  auto [blo, bhi] = support(b);
  if (alo == ahi || blo == bhi || alo + blo >= n) return o;
  // a[h] only reaches outputs below n when h + blo < n, and likewise for b.
  o.alo = alo;
  o.ahi = std::min(ahi, n - blo);
  o.blo = blo;
  o.bhi = std::min(bhi, n - alo);
  o.olo = alo + blo;
  o.ohi = std::min(o.ahi + o.bhi - 1, n);
  return o;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define TARVEX_VECTOR_CLONES __attribute__((target_clones("arch=haswell", "default")))
#else
#define TARVEX_VECTOR_CLONES
#endif

// y[k] += alpha * x[k]: no reduction, so it vectorises without reordering any sum.
TARVEX_VECTOR_CLONES
void axpy(double* __restrict y, const double* __restrict x, double alpha, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k)
    y[k] += alpha * x[k];
}

void directSum(std::span<const double> a, std::span<const double> b, std::span<double> out,
               const Overlap& o) {
  // The outer loop walks the shorter support, so the vectorised inner loop is the long one.
  const bool aOuter = (o.ahi - o.alo) <= (o.bhi - o.blo);
  const std::span<const double> outer = aOuter ? a : b;
  const std::span<const double> inner = aOuter ? b : a;
  const std::size_t lo = aOuter ? o.alo : o.blo;
  const std::size_t hi = aOuter ? o.ahi : o.bhi;
  const std::size_t ilo = aOuter ? o.blo : o.alo;
  const std::size_t ihi = aOuter ? o.bhi : o.ahi;
  const std::size_t n = out.size();
  // A stop is looked for after about a million multiply-adds (a fraction of a millisecond).
  constexpr std::size_t kWorkBetweenChecks = std::size_t{1} << 20;
  std::size_t work = 0;
  for (std::size_t h = lo; h < hi; ++h) {
    const double w = outer[h];
    // Zero and subnormal weights add nothing that a double can hold next to the largest value.
    if (std::fabs(w) < std::numeric_limits<double>::min()) continue;
    const std::size_t end = std::min(ihi, n - h);
    if (end <= ilo) break;
    axpy(out.data() + h + ilo, inner.data() + ilo, w, end - ilo);
    work += end - ilo;
    if (work >= kWorkBetweenChecks) {
      checkCancel();
      work = 0;
    }
  }
}

// Smallest size >= n of the form 2^k or 3*2^k: FFTW is fastest there, and the few sizes keep
// the plan cache small.
std::size_t fftSize(std::size_t n) {
  std::size_t m = 1;
  while (m < n)
    m *= 2;
  if (m % 4 == 0 && (m / 4) * 3 >= n) return (m / 4) * 3;
  return m;
}

struct FftwFree {
  void operator()(void* p) const { fftw_free(p); }
};
using RealBuffer = std::unique_ptr<double[], FftwFree>;
using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;

RealBuffer realBuffer(std::size_t n) {
  return RealBuffer(static_cast<double*>(fftw_malloc(sizeof(double) * n)));
}
ComplexBuffer complexBuffer(std::size_t n) {
  return ComplexBuffer(static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n)));
}

// Plans are made once per size and executed on fresh (equally aligned) buffers. Planning is
// not thread-safe in FFTW, hence the lock; execution is.
struct Plans {
  fftw_plan forward = nullptr;
  fftw_plan backward = nullptr;
};

class PlanCache {
 public:
  PlanCache() = default;
  PlanCache(const PlanCache&) = delete;
  PlanCache& operator=(const PlanCache&) = delete;
  ~PlanCache() {
    for (auto& [size, p] : plans_) {
      fftw_destroy_plan(p.forward);
      fftw_destroy_plan(p.backward);
    }
    fftw_cleanup();
  }

  Plans get(std::size_t m) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = plans_.find(m);
    if (it != plans_.end()) return it->second;
    RealBuffer r = realBuffer(m);
    ComplexBuffer c = complexBuffer(m / 2 + 1);
    Plans p;
    const int im = static_cast<int>(m);
    p.forward = fftw_plan_dft_r2c_1d(im, r.get(), c.get(), FFTW_ESTIMATE);
    p.backward = fftw_plan_dft_c2r_1d(im, c.get(), r.get(), FFTW_ESTIMATE);
    plans_.emplace(m, p);
    return p;
  }

 private:
  std::mutex mutex_;
  std::map<std::size_t, Plans> plans_;
};

Plans plansFor(std::size_t m) {
  static PlanCache cache;
  return cache.get(m);
}

// Returns false, leaving out untouched, when the FFT's rounding could exceed 1e-13 of the
// largest output: that happens when most of the product falls beyond the outputs kept.
bool fftSum(std::span<const double> a, std::span<const double> b, std::span<double> out,
            const Overlap& o) {
  const std::size_t la = o.ahi - o.alo;
  const std::size_t lb = o.bhi - o.blo;
  const std::size_t m = fftSize(la + lb - 1);
  const std::size_t mc = m / 2 + 1;
  const Plans plans = plansFor(m);

  RealBuffer ra = realBuffer(m);
  RealBuffer rb = realBuffer(m);
  ComplexBuffer ca = complexBuffer(mc);
  ComplexBuffer cb = complexBuffer(mc);
  // Subnormal inputs (deep tails of many-fold distributions) would slow every butterfly they
  // pass through a hundredfold; below 2.2e-308 they cannot matter next to the largest value.
  const auto load = [m](const double* from, std::size_t n, double* to) {
    for (std::size_t k = 0; k < n; ++k) {
      to[k] = std::fabs(from[k]) < std::numeric_limits<double>::min() ? 0.0 : from[k];
    }
    std::fill_n(to + n, m - n, 0.0);
  };
  load(a.data() + o.alo, la, ra.get());
  load(b.data() + o.blo, lb, rb.get());
  fftw_execute_dft_r2c(plans.forward, ra.get(), ca.get());
  fftw_execute_dft_r2c(plans.forward, rb.get(), cb.get());
  const double norm = 1.0 / static_cast<double>(m);
  for (std::size_t k = 0; k < mc; ++k) {
    const double re = ca[k][0] * cb[k][0] - ca[k][1] * cb[k][1];
    const double im = ca[k][0] * cb[k][1] + ca[k][1] * cb[k][0];
    ca[k][0] = re * norm;
    ca[k][1] = im * norm;
  }
  checkCancel();  // between the transforms: one FFT cannot be interrupted
  fftw_execute_dft_c2r(plans.backward, ca.get(), ra.get());

  // The FFT's rounding error in any output is of order eps*log2(m)*|a|_2*|b|_2 (measured
  // below a third of that here); keep it under 1e-13 of the largest output kept.
  double na = 0.0, nb = 0.0, peak = 0.0;
  for (std::size_t k = o.alo; k < o.ahi; ++k)
    na += a[k] * a[k];
  for (std::size_t k = o.blo; k < o.bhi; ++k)
    nb += b[k] * b[k];
  const std::size_t kept = o.ohi - o.olo;
  for (std::size_t k = 0; k < kept; ++k)
    peak = std::max(peak, std::fabs(ra[k]));
  const double error = std::numeric_limits<double>::epsilon() * std::log2(static_cast<double>(m)) *
                       std::sqrt(na * nb);
  if (!(error <= 1e-13 * peak)) return false;
  std::copy_n(ra.get(), kept, out.data() + o.olo);
  return true;
}

// Below this ratio of multiply-adds to FFT work the sparse direct sum is faster (measured
// with bench/convolution on this machine's class of x86-64 cores).
constexpr double kFftCrossover = 1.0;

bool preferFft(const Overlap& o) {
  const double la = static_cast<double>(o.ahi - o.alo);
  const double lb = static_cast<double>(o.bhi - o.blo);
  if (la < 32 || lb < 32) return false;
  const double m = static_cast<double>(fftSize(o.ahi - o.alo + o.bhi - o.blo - 1));
  return la * lb > kFftCrossover * m * std::log2(m);
}

}  // namespace

void causalConvolveDirect(std::span<const double> a, std::span<const double> b,
                          std::span<double> out) {
  checkCancel();
  std::fill(out.begin(), out.end(), 0.0);
  const Overlap o = overlap(a, b, out.size());
  if (!o.empty()) directSum(a, b, out, o);
}

void causalConvolveFft(std::span<const double> a, std::span<const double> b,
                       std::span<double> out) {
  checkCancel();
  std::fill(out.begin(), out.end(), 0.0);
  const Overlap o = overlap(a, b, out.size());
  if (!o.empty() && !fftSum(a, b, out, o)) directSum(a, b, out, o);
}

void causalConvolve(std::span<const double> a, std::span<const double> b, std::span<double> out) {
  checkCancel();
  std::fill(out.begin(), out.end(), 0.0);
  const Overlap o = overlap(a, b, out.size());
  if (o.empty()) return;
  if (!preferFft(o) || !fftSum(a, b, out, o)) directSum(a, b, out, o);
}

}  // namespace tarvex
