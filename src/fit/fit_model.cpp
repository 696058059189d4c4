#include "fit/fit_model.h"

#include "core/parallel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvex {
namespace {

// An antiderivative of erfc.
double erfcIntegral(double z) {
  return z * std::erfc(z) - std::exp(-z * z) / std::sqrt(std::numbers::pi);
}

// The mean over [t0, t1] of a step from 0 (above depth b) to 1 (below it) with an erfc edge of
// width sigma; a sharp step gives the part of the cell below b.
double stepMean(double t0, double t1, double b, double sigma) {
  if (!(sigma > 0.0)) return std::clamp((t1 - b) / (t1 - t0), 0.0, 1.0);
  const double a = std::numbers::sqrt2 * sigma;
  const double z0 = (t0 - b) / a;
  const double z1 = (t1 - b) / a;
  if (z0 > 8.0) return 1.0;
  if (z1 < -8.0) return 0.0;
  // U(t) = 1 - erfc((t - b)/a)/2, averaged over the cell.
  return 1.0 - 0.5 * a * (erfcIntegral(z1) - erfcIntegral(z0)) / (t1 - t0);
}

}  // namespace

FitModel defaultFitModel() {
  FitModel m;
  FitLayer l;
  l.thickness = {5.0, true, 0.0};
  l.concentration = {FitParameter{1.0, true, 0.0}};
  l.sigma = {0.0, false, 0.0};
  m.layers.push_back(l);
  m.spread.lower = 0.0;
  return m;
}

profile layeredProfile(profile p, const std::vector<FitLayer>& layers, std::size_t element) {
  profile out = std::move(p);
  const double h = out.step;
  const long long s0 = static_cast<long long>(std::floor(out.startDepth / h));
  const auto conc = [&](std::size_t k) {
    if (k >= layers.size() || element >= layers[k].concentration.size()) return 0.0;
    return layers[k].concentration[element].value;
  };
  std::fill(out.values.begin(), out.values.end(), 0.0);
  // Depths of the lower boundaries, from the surface of the sample (the profile's start).
  std::vector<double> bottom(layers.size());
  double depth = 0.0;
  for (std::size_t k = 0; k < layers.size(); ++k) {
    depth += std::max(0.0, layers[k].thickness.value);
    bottom[k] = depth;
  }
  // Cell i spans the depths between its edges i and i + 1 (the points' depths, less and plus half
  // a step); neighbouring cells share an edge, so each boundary keeps the integral of erfc at the
  // last edge it reached.
  const auto edge = [&](long long i) { return (static_cast<double>(i - s0) - 0.5) * h; };
  struct Edge {
    long long index = -1;
    double integral = 0.0;
  };
  // The points are independent: slices of them are computed on the worker threads.
  const long long first = std::max(0LL, s0 + 1);
  const long long points = std::max(0LL, static_cast<long long>(out.count) - first);
  parallelFor(static_cast<int>(points), [&](int, int begin, int end) {
    std::vector<Edge> last(layers.size());
    for (long long i = first + begin; i < first + end; ++i) {
      const double t0 = edge(i), t1 = edge(i + 1);
      double c = conc(0);
      for (std::size_t k = 0; k < layers.size(); ++k) {
        const double jump = conc(k + 1) - conc(k);
        if (jump == 0.0) continue;
        const double sigma = std::max(0.0, layers[k].sigma.value);
        if (!(sigma > 0.0)) {
          c += jump * stepMean(t0, t1, bottom[k], sigma);
          continue;
        }
        const double a = std::numbers::sqrt2 * sigma;
        const double z0 = (t0 - bottom[k]) / a;
        const double z1 = (t1 - bottom[k]) / a;
        double mean = 0.0;
        if (z0 > 8.0) {
          mean = 1.0;
        } else if (!(z1 < -8.0)) {
          // U(t) = 1 - erfc((t - b)/a)/2, averaged over the cell.
          Edge& e = last[k];
          const double lower = e.index == i ? e.integral : erfcIntegral(z0);
          e.index = i + 1;
          e.integral = erfcIntegral(z1);
          mean = 1.0 - 0.5 * a * (e.integral - lower) / (t1 - t0);
        }
        c += jump * mean;
      }
      out.values[static_cast<std::size_t>(i)] = c;
    }
  });
  return out;
}

std::vector<FitLayer> layersFromProfiles(const std::vector<const profile*>& profiles,
                                         const std::vector<FitLayer>& like) {
  std::vector<FitLayer> layers;
  if (profiles.empty() || profiles.front()->count <= 0) return layers;
  const profile& ref = *profiles.front();
  const double h = ref.step;
  const long long s0 = static_cast<long long>(std::floor(ref.startDepth / h));
  const long long first = std::max(0LL, s0 + 1);
  long long n = ref.count;
  for (const profile* p : profiles)
    n = std::min<long long>(n, p->count);
  if (first >= n) return layers;
  double largest = 0.0;
  for (const profile* p : profiles) {
    for (long long i = first; i < n; ++i)
      largest = std::max(largest, std::fabs(p->values[static_cast<std::size_t>(i)]));
  }
  // Equal within a thousandth of the largest concentration: the far tails of an edge belong to
  // the plateau they approach.
  const double tol = 1e-3 * std::max(largest, 1e-300);
  // A plateau is at least 0.1 Å long (and three points): inside a wide edge, neighbouring
  // points differ by less than the tolerance, but not over that length.
  const long long shortest = std::max(3LL, static_cast<long long>(std::ceil(0.1 / h)));
  const auto value = [&](std::size_t e, long long i) {
    return profiles[e]->values[static_cast<std::size_t>(i)];
  };
  const auto same = [&](long long i, long long j) {
    for (std::size_t e = 0; e < profiles.size(); ++e) {
      if (std::fabs(value(e, i) - value(e, j)) > tol) return false;
    }
    return true;
  };
  // Plateaus: runs of equal concentrations.
  struct Run {
    long long begin, end;  // [begin, end)
    long long middle() const { return begin + (end - begin) / 2; }
  };
  std::vector<Run> runs;
  for (long long i = first; i < n;) {
    long long j = i + 1;
    while (j < n && same(i, j))
      ++j;
    if (j - i >= shortest || (i == first && j == n)) {
      if (!runs.empty() && runs.back().end == i && same(runs.back().begin, i)) {
        runs.back().end = j;
      } else {
        runs.push_back({i, j});
      }
    }
    i = j;
  }
  // Whether every point of [from, to) lies within [lo - slack, hi + slack] of the levels of the
  // runs a and b, for every element.
  const auto within = [&](long long from, long long to, const Run& a, const Run& b, double slack) {
    for (std::size_t e = 0; e < profiles.size(); ++e) {
      const double va = value(e, a.begin), vb = value(e, b.begin);
      const double lo = std::min(va, vb) - slack, hi = std::max(va, vb) + slack;
      for (long long i = from; i < to; ++i) {
        const double v = value(e, i);
        if (v < lo || v > hi) return false;
      }
    }
    return true;
  };
  // Plateaus in the far tail of an edge lie close to the one they approach, and so does all that
  // lies between them: one layer. (Two plateaus of one level with a graded stretch or a bump
  // between them stay apart.)
  std::vector<Run> merged;
  for (const Run& r : runs) {
    bool close = !merged.empty();
    for (std::size_t e = 0; close && e < profiles.size(); ++e)
      close = std::fabs(value(e, r.begin) - value(e, merged.back().begin)) <= 20.0 * tol;
    if (close) close = within(merged.back().end, r.begin, merged.back(), r, 20.0 * tol);
    if (close) {
      merged.back().end = r.end;
    } else {
      merged.push_back(r);
    }
  }
  // A stretch between two plateaus that leaves the range of their levels is no edge between
  // them but a graded region or a bump (a drawn line): a layer of its own, at the level of its
  // middle.
  runs.clear();
  for (const Run& r : merged) {
    if (!runs.empty() && r.begin - runs.back().end >= shortest &&
        !within(runs.back().end, r.begin, runs.back(), r, 20.0 * tol)) {
      runs.push_back({runs.back().end, r.begin});
    }
    runs.push_back(r);
  }
  if (runs.empty()) return layers;
  const auto depthOf = [&](double i) { return (i - static_cast<double>(s0)) * h; };
  const bool lastIsSubstrate = [&] {
    const Run& r = runs.back();
    for (std::size_t e = 0; e < profiles.size(); ++e) {
      if (std::fabs(value(e, r.end - 1)) > tol) return false;
    }
    return runs.size() > 1 && r.end == n;
  }();
  const std::size_t count = lastIsSubstrate ? runs.size() - 1 : runs.size();
  double top = 0.0;
  for (std::size_t k = 0; k < count && static_cast<int>(k) < kMaxFitLayers; ++k) {
    FitLayer l = k < like.size() ? like[k] : (like.empty() ? FitLayer{} : like.back());
    l.concentration.resize(profiles.size(), l.concentration.empty() ? FitParameter{0.0, false, 0.0}
                                                                    : l.concentration.back());
    for (std::size_t e = 0; e < profiles.size(); ++e)
      l.concentration[e].value = value(e, runs[k].middle());
    double bottom = depthOf(static_cast<double>(runs[k].end) - 0.5);
    double sigma = 0.0;
    if (k + 1 < runs.size()) {
      const Run& a = runs[k];
      const Run& b = runs[k + 1];
      // The element with the largest step describes the edge.
      std::size_t e = 0;
      double jump = 0.0;
      for (std::size_t q = 0; q < profiles.size(); ++q) {
        const double d = value(q, b.middle()) - value(q, a.middle());
        if (std::fabs(d) > std::fabs(jump)) {
          jump = d;
          e = q;
        }
      }
      // Where the step has gone a fraction f of the way, between the plateaus.
      const auto crossing = [&](double f) {
        const double level = value(e, a.middle()) + f * jump;
        for (long long i = a.middle(); i < b.middle(); ++i) {
          const double v0 = value(e, i), v1 = value(e, i + 1);
          if ((v0 - level) * (v1 - level) <= 0.0 && v0 != v1) {
            return depthOf(static_cast<double>(i) + (level - v0) / (v1 - v0));
          }
        }
        return depthOf(static_cast<double>(a.end) - 0.5);
      };
      if (jump != 0.0) {
        bottom = crossing(0.5);
        // Between the 16 % and 84 % points an erfc edge spans two widths; a step over one cell
        // is sharp.
        const double width = 0.5 * (crossing(0.8413447460685429) - crossing(0.15865525393145707));
        sigma = b.begin - a.end > 1 ? std::max(0.0, width) : 0.0;
      }
    }
    l.thickness.value = std::max(0.0, bottom - top);
    l.sigma.value = sigma;
    top = bottom;
    layers.push_back(l);
  }
  return layers;
}

}  // namespace tarvex
