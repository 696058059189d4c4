#include "core/convolution.h"

#include <fftw3.h>

#include "core/cancel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
#include <utility>
#include <vector>

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
#define TARVEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_VECTOR_CLONES
#endif

// y[k] += alpha * x[k]: no reduction, so it vectorises without reordering any sum.
TARVEX_VECTOR_CLONES
void axpy(double* __restrict y, const double* __restrict x, double alpha, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k)
    y[k] += alpha * x[k];
}

// Adds the products of the overlap into out[o.olo, o.ohi) of an array of n outputs (only that
// range is read or written).
void directSum(std::span<const double> a, std::span<const double> b, double* out, std::size_t n,
               const Overlap& o) {
  // The outer loop walks the shorter support, so the vectorised inner loop is the long one.
  const bool aOuter = (o.ahi - o.alo) <= (o.bhi - o.blo);
  const std::span<const double> outer = aOuter ? a : b;
  const std::span<const double> inner = aOuter ? b : a;
  const std::size_t lo = aOuter ? o.alo : o.blo;
  const std::size_t hi = aOuter ? o.ahi : o.bhi;
  const std::size_t ilo = aOuter ? o.blo : o.alo;
  const std::size_t ihi = aOuter ? o.bhi : o.ahi;
  // A stop is looked for after about a million multiply-adds (a fraction of a millisecond).
  constexpr std::size_t kWorkBetweenChecks = std::size_t{1} << 20;
  std::size_t work = 0;
  for (std::size_t h = lo; h < hi; ++h) {
    const double w = outer[h];
    // Zero and subnormal weights add nothing that a double can hold next to the largest value.
    if (std::fabs(w) < std::numeric_limits<double>::min()) continue;
    const std::size_t end = std::min(ihi, n - h);
    if (end <= ilo) break;
    axpy(out + h + ilo, inner.data() + ilo, w, end - ilo);
    work += end - ilo;
    if (work >= kWorkBetweenChecks) {
      checkCancel();
      work = 0;
    }
  }
}

// Smallest even size >= n of the form 2^k, 5*2^k or 25*2^k (at least 4). FFTW's estimating
// planner settles these in about 0.1 ms a size, where sizes with a factor 3 take 0.4 to 0.8 ms
// (a fresh process plans every size it meets), and they run as fast; the largest gap between
// two of them is 28%.
std::size_t fftSize(std::size_t n) {
  std::size_t best = 4;
  while (best < n)
    best *= 2;
  for (const std::size_t odd : {std::size_t{5}, std::size_t{25}}) {
    std::size_t m = odd * 2;
    while (m < n)
      m *= 2;
    best = std::min(best, m);
  }
  return best;
}

struct FftwFree {
  void operator()(void* p) const { fftw_free(p); }
};
using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;

ComplexBuffer complexBuffer(std::size_t n) {
  auto* p = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
  if (p == nullptr) throw std::bad_alloc();
  return ComplexBuffer(p);
}

// (x + i y)(u + i v), written out: std::complex's product checks every result for NaN.
struct Cx {
  double re, im;
};
inline Cx mul(Cx a, Cx b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// A real transform of even length N runs as a complex one of length N/2 on the even and odd
// samples packed as real and imaginary parts. FFTW plans complex transforms more than ten
// times faster than real ones (about 0.2 ms against 3 ms for a size of a few thousand), and a
// fresh process plans every size it meets. Each size is planned once per process, with its
// table of twiddle factors w^k = exp(-2 pi i k/N), k = 0..N/2.
struct Plans {
  fftw_plan forward = nullptr;
  fftw_plan backward = nullptr;
  std::vector<Cx> twiddle;
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

  // Planning is not thread-safe in FFTW, hence the lock; execution is. Entries stay in place
  // until the end of the process. in and out are the caller's buffers of at least n/2 values,
  // allocated by fftw_malloc like every buffer the plans run on later (estimating planners
  // read and write no array).
  const Plans& get(std::size_t n, fftw_complex* in, fftw_complex* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = plans_.find(n);
    if (it != plans_.end()) return it->second;
    const std::size_t half = n / 2;
    Plans p;
    const int h = static_cast<int>(half);
    p.forward = fftw_plan_dft_1d(h, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    p.backward = fftw_plan_dft_1d(h, in, out, FFTW_BACKWARD, FFTW_ESTIMATE);
    if (p.forward == nullptr || p.backward == nullptr) {
      if (p.forward != nullptr) fftw_destroy_plan(p.forward);
      if (p.backward != nullptr) fftw_destroy_plan(p.backward);
      throw std::bad_alloc();
    }
    // Angles up to pi/4 only, the rest by symmetry (w^(N/4-k) = -i conj w^k and
    // w^(N/2-k) = -conj w^k): small angles carry the least rounding, and each is taken once.
    const double turn = -2.0 * std::numbers::pi / static_cast<double>(n);
    const std::size_t quarter = n % 8 == 0 ? n / 4 : 0;
    std::vector<Cx> base(quarter > 0 ? quarter / 2 + 1 : half + 1);
    for (std::size_t j = 0; j < base.size(); ++j) {
      const double angle = turn * static_cast<double>(j);
      base[j] = {std::cos(angle), std::sin(angle)};
    }
    p.twiddle.resize(half + 1);
    for (std::size_t k = 0; k <= half; ++k) {
      std::size_t j = k;
      const bool pastQuarter = quarter > 0 && j > quarter;
      if (pastQuarter) j = half - j;
      const bool pastEighth = quarter > 0 && 2 * j > quarter;
      if (pastEighth) j = quarter - j;
      Cx v = base[j];
      if (pastEighth) v = {-v.im, -v.re};
      if (pastQuarter) v = {-v.re, v.im};
      p.twiddle[k] = v;
    }
    try {
      return plans_.emplace(n, std::move(p)).first->second;
    } catch (...) {
      fftw_destroy_plan(p.forward);
      fftw_destroy_plan(p.backward);
      throw;
    }
  }

 private:
  std::mutex mutex_;
  std::map<std::size_t, Plans> plans_;
};

const Plans& plansFor(std::size_t n, fftw_complex* in, fftw_complex* out) {
  static PlanCache cache;
  return cache.get(n, in, out);
}

// Buffers of the transforms, kept per thread and grown as needed: a table build runs hundreds
// of convolutions of similar size, and fresh buffers cost a page fault per page each time.
// The spectrum of the last operand of narrower support is kept too: an n-fold table convolves
// the same single-collision distribution with each new distribution, and its transform is then
// read back instead of recomputed (the very same numbers).
struct Workspace {
  std::size_t capacity = 0;
  ComplexBuffer a, b, product;
  std::vector<double> keptInput;  // the operand's support, as loaded
  std::size_t keptSize = 0;       // the transform size it was made for (0: none kept)
  std::vector<Cx> keptSpectrum;   // its real spectrum, bins 0..size/2

  void reserve(std::size_t half) {
    if (half + 1 <= capacity) return;
    a = complexBuffer(half + 1);
    b = complexBuffer(half + 1);
    product = complexBuffer(half + 1);
    capacity = half + 1;
  }

  bool holds(const double* v, std::size_t n, std::size_t m) const {
    return keptSize == m && keptInput.size() == n &&
           std::equal(keptInput.begin(), keptInput.end(), v);
  }
};

// The thread's buffers, lent to one convolution at a time. A convolution started while they are
// lent (by a window event served during a stop check of another) works on buffers of its own,
// so neither disturbs the other's transforms or sums.
class WorkspaceLease {
 public:
  WorkspaceLease() : thread_(threadBuffers()) {
    if (!thread_.lent) {
      thread_.lent = true;
      ws_ = &thread_.ws;
    } else {
      own_ = std::make_unique<Workspace>();
      ws_ = own_.get();
    }
  }
  ~WorkspaceLease() {
    if (!own_) thread_.lent = false;
  }
  WorkspaceLease(const WorkspaceLease&) = delete;
  WorkspaceLease& operator=(const WorkspaceLease&) = delete;

  Workspace& operator*() const { return *ws_; }

 private:
  struct ThreadBuffers {
    Workspace ws;
    bool lent = false;
  };
  static ThreadBuffers& threadBuffers() {
    thread_local ThreadBuffers t;
    return t;
  }
  ThreadBuffers& thread_;
  Workspace* ws_ = nullptr;
  std::unique_ptr<Workspace> own_;
};

// Packs n real values (then zeros up to 2*half) as half complex values: even samples in the
// real parts, odd ones in the imaginary parts. Subnormal inputs (deep tails of many-fold
// distributions) would slow every butterfly they pass through a hundredfold; below 2.2e-308
// they cannot matter next to the largest value.
void pack(const double* from, std::size_t n, fftw_complex* to, std::size_t half) {
  double* t = &to[0][0];
  for (std::size_t k = 0; k < n; ++k)
    t[k] = std::fabs(from[k]) < std::numeric_limits<double>::min() ? 0.0 : from[k];
  std::fill(t + n, t + 2 * half, 0.0);
}

// Bin k of the real transform X of the packed samples from their complex transform z:
// X[k] = E[k] + w^k O[k] with E[k] = (z[k] + conj z[half-k])/2 and
// O[k] = -i (z[k] - conj z[half-k])/2 the transforms of the even and odd samples (indices of z
// taken modulo half: j = k mod half, r = (half - k) mod half).
inline Cx realBin(const fftw_complex* z, Cx w, std::size_t j, std::size_t r) {
  const double sre = z[j][0] + z[r][0], sim = z[j][1] - z[r][1];
  const double dre = z[j][0] - z[r][0], dim = z[j][1] + z[r][1];
  const Cx odd{0.5 * dim, -0.5 * dre};
  const Cx wo = mul(w, odd);
  return {0.5 * sre + wo.re, 0.5 * sim + wo.im};
}

// The outputs [o.olo, o.ohi), unscaled, in the thread's transform buffer (valid until its next
// convolution); nullptr when the FFT's rounding could exceed 1e-13 of the largest output: that
// happens when most of the product falls beyond the outputs kept.
double* fftSum(std::span<const double> a, std::span<const double> b, const Overlap& o,
               Workspace& ws) {
  const std::size_t la = o.ahi - o.alo;
  const std::size_t lb = o.bhi - o.blo;
  const std::size_t m = std::max<std::size_t>(fftSize(la + lb - 1), 4);
  const std::size_t half = m / 2;
  ws.reserve(half);
  const Plans& plans = plansFor(m, ws.a.get(), ws.b.get());
  const Cx* w = plans.twiddle.data();
  fftw_complex* za = ws.a.get();
  fftw_complex* zb = ws.b.get();
  fftw_complex* p = ws.product.get();

  // The real spectrum of each operand: the kept one where it matches, else transformed now.
  const double* pa = a.data() + o.alo;
  const double* pb = b.data() + o.blo;
  const bool aKept = ws.holds(pa, la, m);
  const bool bKept = !aKept && ws.holds(pb, lb, m);
  if (!aKept) {
    pack(pa, la, p, half);
    fftw_execute_dft(plans.forward, p, za);
  }
  if (!bKept) {
    pack(pb, lb, p, half);
    fftw_execute_dft(plans.forward, p, zb);
  }
  // The product of the two real spectra, then the complex spectrum whose inverse transform
  // holds the even outputs in its real and the odd ones in its imaginary parts:
  // Z[k] = E[k] + i O[k], E[k] = (P[k] + conj P[half-k])/2, O[k] = (P[k] - conj P[half-k]) w^-k/2.
  // The 1/half of the inverse transform is applied here.
  if (aKept || bKept) {
    const Cx* kept = ws.keptSpectrum.data();
    fftw_complex* z = aKept ? zb : za;
    const auto product = [&](std::size_t k, std::size_t j, std::size_t r) {
      const Cx x = mul(kept[k], realBin(z, w[k], j, r));
      p[k][0] = x.re;
      p[k][1] = x.im;
    };
    product(0, 0, 0);
    for (std::size_t k = 1; k < half; ++k)
      product(k, k, half - k);
    product(half, 0, 0);
  } else {
    // Keep the spectrum of the narrower operand for the next convolution.
    const bool keepA = la <= lb;
    fftw_complex* zk = keepA ? za : zb;
    ws.keptSize = 0;  // nothing kept until both the input and its spectrum are stored
    ws.keptSpectrum.resize(half + 1);
    Cx* kept = ws.keptSpectrum.data();
    const auto product = [&](std::size_t k, std::size_t j, std::size_t r) {
      const Cx xa = realBin(za, w[k], j, r);
      const Cx xb = realBin(zb, w[k], j, r);
      kept[k] = zk == za ? xa : xb;
      const Cx x = mul(xa, xb);
      p[k][0] = x.re;
      p[k][1] = x.im;
    };
    product(0, 0, 0);
    for (std::size_t k = 1; k < half; ++k)
      product(k, k, half - k);
    product(half, 0, 0);
    ws.keptInput.assign(keepA ? pa : pb, (keepA ? pa : pb) + (keepA ? la : lb));
    ws.keptSize = m;
  }
  const double norm = 0.5 / static_cast<double>(half);
  for (std::size_t k = 0; k < half; ++k) {
    const std::size_t r = half - k;
    const double sre = p[k][0] + p[r][0], sim = p[k][1] - p[r][1];
    const Cx odd = mul({p[k][0] - p[r][0], p[k][1] + p[r][1]}, {w[k].re, -w[k].im});
    za[k][0] = norm * (sre - odd.im);
    za[k][1] = norm * (sim + odd.re);
  }
  checkCancel();  // between the transforms: one FFT cannot be interrupted
  fftw_execute_dft(plans.backward, za, zb);

  // The FFT's rounding error in any output is of order eps*log2(m)*|a|_2*|b|_2 (measured
  // below a third of that here); keep it under 1e-13 of the largest output kept.
  double na = 0.0, nb = 0.0, peak = 0.0;
  for (std::size_t k = o.alo; k < o.ahi; ++k)
    na += a[k] * a[k];
  for (std::size_t k = o.blo; k < o.bhi; ++k)
    nb += b[k] * b[k];
  const std::size_t kept = o.ohi - o.olo;
  double* result = &zb[0][0];  // output k at position k: even ones real, odd imaginary
  for (std::size_t k = 0; k < kept; ++k)
    peak = std::max(peak, std::fabs(result[k]));
  const double error = std::numeric_limits<double>::epsilon() * std::log2(static_cast<double>(m)) *
                       std::sqrt(na * nb);
  if (!(error <= 1e-13 * peak)) return nullptr;
  return result;
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

enum class Path { automatic, direct, fft };

// The direct sum times factor into out[o.olo, o.ohi) of an array of n outputs, each output the
// rounded sum times factor, as scaling a finished result would give; that range is cleared
// first unless it holds zeros already.
void directReach(std::span<const double> a, std::span<const double> b, double* out, std::size_t n,
                 const Overlap& o, double factor, bool zeroed) {
  if (!zeroed) std::fill(out + o.olo, out + o.ohi, 0.0);
  directSum(a, b, out, n, o);
  if (factor != 1.0) {
    for (std::size_t k = o.olo; k < o.ohi; ++k)
      out[k] *= factor;
  }
}

// The FFT's outputs [o.olo, o.ohi) times factor, in the transform buffer of ws (the very bits of
// scaling the finished result); nullptr where the direct sum must run instead.
const double* fftReach(std::span<const double> a, std::span<const double> b, const Overlap& o,
                       double factor, Path path, Workspace& ws) {
  if (path == Path::direct || (path == Path::automatic && !preferFft(o))) return nullptr;
  double* result = fftSum(a, b, o, ws);
  if (result != nullptr && factor != 1.0) {
    for (std::size_t k = 0; k < o.ohi - o.olo; ++k)
      result[k] = result[k] * factor;
  }
  return result;
}

// out = factor * (a * b). Every output is written once: zeros outside the reach of the
// operands, the sums inside it.
void convolveScaled(std::span<const double> a, std::span<const double> b, std::span<double> out,
                    double factor, Path path) {
  checkCancel();
  if (!std::isfinite(factor)) {
    // Even the zeros change (0 * inf is not a number).
    convolveScaled(a, b, out, 1.0, path);
    for (double& v : out)
      v *= factor;
    return;
  }
  const Overlap o = overlap(a, b, out.size());
  if (o.empty()) {
    std::fill(out.begin(), out.end(), 0.0);
    return;
  }
  std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(o.olo), 0.0);
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(o.ohi), out.end(), 0.0);
  const WorkspaceLease ws;
  if (const double* reach = fftReach(a, b, o, factor, path, *ws)) {
    std::copy(reach, reach + (o.ohi - o.olo), out.begin() + static_cast<std::ptrdiff_t>(o.olo));
  } else {
    directReach(a, b, out.data(), out.size(), o, factor, false);
  }
}

}  // namespace

void causalConvolveDirect(std::span<const double> a, std::span<const double> b,
                          std::span<double> out) {
  convolveScaled(a, b, out, 1.0, Path::direct);
}

void causalConvolveFft(std::span<const double> a, std::span<const double> b,
                       std::span<double> out) {
  convolveScaled(a, b, out, 1.0, Path::fft);
}

void causalConvolve(std::span<const double> a, std::span<const double> b, std::span<double> out) {
  convolveScaled(a, b, out, 1.0, Path::automatic);
}

void causalConvolve(std::span<const double> a, std::span<const double> b, std::span<double> out,
                    double factor) {
  convolveScaled(a, b, out, factor, Path::automatic);
}

std::vector<double> causalConvolution(std::span<const double> a, std::span<const double> b,
                                      std::size_t n, double factor) {
  if (!std::isfinite(factor)) {
    std::vector<double> r(n);
    convolveScaled(a, b, r, factor, Path::automatic);
    return r;
  }
  checkCancel();
  const Overlap o = overlap(a, b, n);
  std::vector<double> r;
  if (o.empty()) {
    r.resize(n);
    return r;
  }
  const WorkspaceLease ws;
  if (const double* reach = fftReach(a, b, o, factor, Path::automatic, *ws)) {
    // From the transform buffer, with the zeros on either side: each value written once.
    r.reserve(n);
    r.resize(o.olo);
    r.insert(r.end(), reach, reach + (o.ohi - o.olo));
    r.resize(n);
  } else {
    // The direct sum adds into its outputs, which start from zero.
    r.resize(n);
    directReach(a, b, r.data(), n, o, factor, true);
  }
  return r;
}

}  // namespace tarvex
