#include "nra/deep.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "core/cancel.h"
#include "core/parallel.h"
#include "nra/numeric.h"

namespace tarvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrt2Pi = 2.5066282746310002;
constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)
constexpr double kBoltzmannEvPerK = 8.617333262e-5;
constexpr double kMillibarnCm2 = 1e-27;
constexpr double kElementaryChargeC = 1.602176634e-19;

std::string fmt(double v) {
  std::ostringstream out;
  out.precision(6);
  out << v;
  return out.str();
}

// Linear interpolation of y(x) in log-log; clamped to the ends.
double logLog(const std::vector<double>& x, const std::vector<double>& y, double at) {
  if (at <= x.front()) return y.front();
  if (at >= x.back()) return y.back();
  const auto it = std::upper_bound(x.begin(), x.end(), at);
  const std::size_t i = static_cast<std::size_t>(it - x.begin()) - 1;
  const double t = std::log(at / x[i]) / std::log(x[i + 1] / x[i]);
  return std::exp(std::log(y[i]) + t * std::log(y[i + 1] / y[i]));
}

// 10-point Gauss-Hermite nodes and weights for the standard normal (probabilists'), so that
// E[f(X)] = sum w_k f(x_k).
constexpr std::array<double, 10> kHermiteX = {
    -4.859462828332312,  -3.581823483551927, -2.484325841638955, -1.465989094391158,
    -0.4849357075154977, 0.4849357075154977, 1.465989094391158,  2.484325841638955,
    3.581823483551927,   4.859462828332312};
constexpr std::array<double, 10> kHermiteW = {
    4.310652630718288e-06, 7.580709343122178e-04, 1.911158050077029e-02, 1.354837029802677e-01,
    3.446423349320191e-01, 3.446423349320191e-01, 1.354837029802677e-01, 1.911158050077029e-02,
    7.580709343122178e-04, 4.310652630718288e-06};

double gauss(double x, double mean, double sigma) {
  const double u = (x - mean) / sigma;
  return std::exp(-0.5 * u * u) / (kSqrt2Pi * sigma);
}

double normalCdf(double u) {
  return 0.5 * std::erfc(-u / std::sqrt(2.0));
}

// The average of the cross section over a Gaussian beam energy distribution of mean m and
// standard deviation s (eV).
class CrossSectionAverage {
 public:
  explicit CrossSectionAverage(const CrossSection& xs) : xs_(xs) {
    if (xs.kind == CrossSection::Kind::Table) {
      for (double e : xs.tableKeV)
        e_.push_back(e * 1000.0);
      y_ = xs.tableSigma;
      prepareTable();
    } else {
      er_ = xs.resonanceKeV * 1000.0;
      half_ = 0.5 * xs.widthEv;
    }
  }

  // The length over which the cross section changes near energy e (eV).
  double scaleAt(double e) const {
    if (xs_.kind != CrossSection::Kind::Table) return half_;
    const auto it = std::upper_bound(e_.begin(), e_.end(), e);
    if (it == e_.begin() || it == e_.end()) return e_.back() - e_.front();
    return feature_[static_cast<std::size_t>(it - e_.begin()) - 1];
  }

  double operator()(double m, double s) const {
    return xs_.kind == CrossSection::Kind::Table ? table(m, s) : resonance(m, s);
  }

 private:
  double peak() const { return xs_.kind == CrossSection::Kind::Lorentzian ? 1.0 : xs_.peak; }

  double lorentz(double e) const {
    const double x = (e - er_) / half_;
    return peak() / (1.0 + x * x);
  }

  // Integral of the Lorentzian and of (E - c) times it between a and b.
  double area(double a, double b) const {
    return peak() * half_ * (std::atan((b - er_) / half_) - std::atan((a - er_) / half_));
  }
  double moment(double a, double b, double c) const {
    const double h2 = half_ * half_;
    const double da = a - er_;
    const double db = b - er_;
    const double aboutEr = peak() * h2 * 0.5 * std::log((db * db + h2) / (da * da + h2));
    return aboutEr + (er_ - c) * area(a, b);
  }

  // A table's feature length per segment: the segment's length, or longer where the cross
  // section changes slowly; and the integrals of sigma and of E sigma from the first point to
  // each point.
  void prepareTable() {
    const std::size_t n = e_.size();
    // At each point: the length over which sigma changes by its own size, from its slope and
    // its curvature (sigma / |sigma'|, sqrt(sigma / |sigma''|)).
    std::vector<double> node(n, e_.back() - e_.front());
    for (std::size_t i = 0; i < n; ++i) {
      const double level = std::abs(y_[i]);
      if (i > 0 && i + 1 < n) {
        const double left = (y_[i] - y_[i - 1]) / (e_[i] - e_[i - 1]);
        const double right = (y_[i + 1] - y_[i]) / (e_[i + 1] - e_[i]);
        const double slope = 0.5 * std::abs(left + right);
        const double curvature = 2.0 * std::abs(right - left) / (e_[i + 1] - e_[i - 1]);
        if (slope > 0.0) node[i] = std::min(node[i], level / slope);
        if (curvature > 0.0) node[i] = std::min(node[i], std::sqrt(level / curvature));
      }
    }
    feature_.resize(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
      feature_[i] = std::max(e_[i + 1] - e_[i], std::min(node[i], node[i + 1]));
    c0_.assign(n, 0.0);
    c1_.assign(n, 0.0);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      c0_[i + 1] = c0_[i] + partial0(i, e_[i], e_[i + 1]);
      c1_[i + 1] = c1_[i] + partial1(i, e_[i], e_[i + 1]);
    }
  }

  // Integrals of sigma and E sigma over [a, b] inside segment i (sigma = alpha + beta E).
  double partial0(std::size_t i, double a, double b) const {
    const double beta = (y_[i + 1] - y_[i]) / (e_[i + 1] - e_[i]);
    const double alpha = y_[i] - beta * e_[i];
    return alpha * (b - a) + 0.5 * beta * (b * b - a * a);
  }
  double partial1(std::size_t i, double a, double b) const {
    const double beta = (y_[i + 1] - y_[i]) / (e_[i + 1] - e_[i]);
    const double alpha = y_[i] - beta * e_[i];
    return 0.5 * alpha * (b * b - a * a) + beta * (b * b * b - a * a * a) / 3.0;
  }
  // Cumulative integrals up to e (zero below the table, the totals above it).
  std::pair<double, double> cumulative(double e) const {
    if (e <= e_.front()) return {0.0, 0.0};
    if (e >= e_.back()) return {c0_.back(), c1_.back()};
    const std::size_t i =
        static_cast<std::size_t>(std::upper_bound(e_.begin(), e_.end(), e) - e_.begin()) - 1;
    return {c0_[i] + partial0(i, e_[i], e), c1_[i] + partial1(i, e_[i], e)};
  }

  // Bins of s/16 across +-8 s: the Gaussian at each bin's centre times the cross section's area
  // in the bin, plus the Gaussian's slope times the area's first moment about the centre.
  template <typename Area>
  static double binned(double m, double s, const Area& area) {
    constexpr int kBins = 256;
    const double window = 8.0 * s;
    const double h = 2.0 * window / kBins;
    double sum = 0.0;
    for (int i = 0; i < kBins; ++i) {
      const double a = m - window + i * h;
      const double c = a + 0.5 * h;
      const auto [zeroth, first] = area(a, a + h, c);
      const double g = gauss(c, m, s);
      sum += g * zeroth - g * (c - m) / (s * s) * first;
    }
    return sum;
  }

  double resonance(double m, double s) const {
    if (s <= 0.0) return lorentz(m);
    if (s < 0.25 * half_) {
      // The Lorentzian is smooth over the Gaussian: Gauss-Hermite.
      double sum = 0.0;
      for (std::size_t k = 0; k < kHermiteX.size(); ++k)
        sum += kHermiteW[k] * lorentz(m + s * kHermiteX[k]);
      return sum;
    }
    const double window = 8.0 * s;
    const double far = std::abs(m - er_) - window;
    if (far > 20.0 * half_) {
      // In the tail the Lorentzian is smooth over the whole window: its value plus the
      // curvature term of the Gaussian average, sigma + sigma'' s^2 / 2.
      const double x = (m - er_) / half_;
      const double l = lorentz(m);
      const double d2 = l * (6.0 * x * x - 2.0) / ((1.0 + x * x) * half_ * half_) * l / peak();
      return l + 0.5 * d2 * s * s;
    }
    // The Lorentzian beyond the window, where the Gaussian's weight is below 1e-15, is left out.
    return binned(m, s, [this](double a, double b, double c) {
      return std::pair{area(a, b), moment(a, b, c)};
    });
  }

  // Piecewise-linear table, zero outside: the Gaussian average in closed form segment by
  // segment: integral of (alpha + beta E) g(E) over [a, b].
  double table(double m, double s) const {
    if (s <= 0.0) return linear(m);
    const double lo = m - 8.0 * s;
    const double hi = m + 8.0 * s;
    if (hi <= e_.front() || lo >= e_.back()) return 0.0;
    std::size_t i = static_cast<std::size_t>(
        std::max<std::ptrdiff_t>(0, std::upper_bound(e_.begin(), e_.end(), lo) - e_.begin() - 1));
    const std::size_t last =
        static_cast<std::size_t>(std::lower_bound(e_.begin(), e_.end(), hi) - e_.begin());
    if (last > i + 32) {
      // Many points under the Gaussian: bins over the table's cumulative integrals.
      return binned(m, s, [this](double a, double b, double c) {
        const auto [a0, a1] = cumulative(a);
        const auto [b0, b1] = cumulative(b);
        return std::pair{b0 - a0, (b1 - a1) - c * (b0 - a0)};
      });
    }
    double sum = 0.0;
    for (; i + 1 < e_.size() && e_[i] < hi; ++i) {
      const double a = std::max(e_[i], lo);
      const double b = std::min(e_[i + 1], hi);
      if (b <= a) continue;
      const double beta = (y_[i + 1] - y_[i]) / (e_[i + 1] - e_[i]);
      const double alpha = y_[i] - beta * e_[i];
      const double pa = normalCdf((a - m) / s);
      const double pb = normalCdf((b - m) / s);
      const double ga = gauss(a, m, s);
      const double gb = gauss(b, m, s);
      // integral of E g(E) over [a, b] = m (Pb - Pa) - s^2 (g(b) - g(a))
      sum += alpha * (pb - pa) + beta * (m * (pb - pa) - s * s * (gb - ga));
    }
    return sum;
  }

  double linear(double e) const {
    if (e <= e_.front() || e >= e_.back()) return 0.0;
    const auto it = std::upper_bound(e_.begin(), e_.end(), e);
    const std::size_t i = static_cast<std::size_t>(it - e_.begin()) - 1;
    const double t = (e - e_[i]) / (e_[i + 1] - e_[i]);
    return y_[i] + t * (y_[i + 1] - y_[i]);
  }

  const CrossSection& xs_;
  std::vector<double> e_, y_;
  std::vector<double> feature_, c0_, c1_;
  double er_ = 0.0;
  double half_ = 0.0;
};

void checkInput(const DeepNraInput& in) {
  if (in.layers.empty()) throw std::invalid_argument("The target has no layers");
  for (std::size_t i = 0; i < in.layers.size(); ++i) {
    const DeepLayer& l = in.layers[i];
    const std::string name =
        "Layer " + std::to_string(i + 1) + (l.name.empty() ? std::string() : " (" + l.name + ")");
    if (!(l.arealDensity > 0.0) || !std::isfinite(l.arealDensity))
      throw std::invalid_argument(name + ": the thickness " + fmt(l.arealDensity) +
                                  " (1e15 atoms/cm2) is not positive");
    if (!(l.atomsPerCm3 > 0.0) || !std::isfinite(l.atomsPerCm3))
      throw std::invalid_argument(name + ": the layer has no density");
    if (!(l.reactingFraction >= 0.0 && l.reactingFraction <= 1.0))
      throw std::invalid_argument(name + ": the fraction of the reacting nuclide " +
                                  fmt(l.reactingFraction) + " is not between 0 and 1");
    if (l.loss.energyEv.empty() &&
        (!(l.loss.constantStopping > 0.0) || !(l.loss.constantStraggling >= 0.0)))
      throw std::invalid_argument(name + ": the stopping must be positive");
  }
  const CrossSection& xs = in.crossSection;
  if (xs.kind == CrossSection::Kind::Table) {
    if (xs.tableKeV.size() < 2 || xs.tableKeV.size() != xs.tableSigma.size())
      throw std::invalid_argument("The cross-section table has fewer than two points");
    for (std::size_t i = 1; i < xs.tableKeV.size(); ++i)
      if (!(xs.tableKeV[i] > xs.tableKeV[i - 1]))
        throw std::invalid_argument("The cross-section table's energies do not increase");
  } else {
    if (!(xs.resonanceKeV > 0.0))
      throw std::invalid_argument("The resonance energy is not positive");
    if (!(xs.widthEv > 0.0)) throw std::invalid_argument("The resonance width is not positive");
    if (xs.kind == CrossSection::Kind::BreitWigner && !(xs.peak > 0.0))
      throw std::invalid_argument("The Breit-Wigner peak cross section is not positive");
  }
  if (!(in.doppler.temperatureK >= 0.0) || !(in.doppler.debyeK >= 0.0))
    throw std::invalid_argument("The temperature " + fmt(in.doppler.temperatureK) +
                                " K is below 0");
  if (in.doppler.temperatureK > 0.0 && !(in.doppler.targetMassU > 0.0))
    throw std::invalid_argument("The Doppler broadening needs the target nuclide's mass");
  if (!(in.beamFwhmEv >= 0.0)) throw std::invalid_argument("The beam spread is negative");
  if (!(in.e0MinKeV > 0.0) || !(in.e0MaxKeV >= in.e0MinKeV) || !(in.e0StepEv > 0.0))
    throw std::invalid_argument("The beam energies of the curve are not a range");
  if ((in.e0MaxKeV - in.e0MinKeV) * 1000.0 / in.e0StepEv > 2e6)
    throw std::invalid_argument("The curve would have more than 2 million beam energies");
  if (!(in.widthFraction > 0.0 && in.widthFraction <= 1.0) || !(in.maxStepEv > 0.0))
    throw std::invalid_argument("The depth step settings are out of range");
}

// The single-collision statistics of the top layer: the table of n-fold loss densities and, per
// beam energy, the cross section averaged over each of them.
struct Surface {
  std::vector<spectro> table;
  double step = 0.0;         // eV per bin
  std::vector<double> mass;  // of each distribution on the grid (1 but where the grid ends)
  // The cross section averaged over the beam, the Doppler motion and one loss bin, on a grid of
  // an eighth of a bin from `gridStart`.
  std::vector<double> averaged;
  double gridStart = 0.0;
  double binAverage(double eEv) const {
    const double u = (eEv - gridStart) / (0.125 * step);
    if (u <= 0.0) return averaged.front();
    const auto i = static_cast<std::size_t>(u);
    if (i + 1 >= averaged.size()) return averaged.back();
    const double t = u - static_cast<double>(i);
    return averaged[i] + t * (averaged[i + 1] - averaged[i]);
  }
  double perAngstrom = 0.0;       // collisions per Å
  double lossPerCollision = 0.0;  // eV, the binned mean
  double handOver = 0.0;          // mu_h
  double reference = 0.0;         // eV: the resonance, or the peak of a tabulated cross section
  // Weight of the Gaussian curve at beam energy e0: by the collisions that take the beam from
  // e0 down to the resonance, 0 below a quarter of the hand-over, 1 above half of it.
  double gaussianWeight(double e0) const {
    const double mu = (e0 - reference) / lossPerCollision;
    const double t = (mu - 0.25 * handOver) / (0.25 * handOver);
    if (t <= 0.0) return 0.0;
    if (t >= 1.0) return 1.0;
    return t * t * (3.0 - 2.0 * t);
  }
};

struct Trace {
  double yield = 0.0;
  std::vector<double> topEnergy, topSigma;
  int steps = 0;
};

// Follows the beam of energy e0 (eV) down through the layers. Mean energy and variance by the
// midpoint rule in depth: dE/dx = -S(E), dV/dx = Omega^2(E) - 2 S'(E) V (the second term squeezes
// or stretches the distribution as the stopping changes across it).
Trace trace(const DeepNraInput& in, const CrossSectionAverage& xs, const Surface* surface,
            double e0, bool record) {
  Trace t;
  // The cross section averaged over the k-collision loss of the top layer, the beam and the
  // Doppler motion: c_k = sum_i table_k(i) step <sigma>(e0 - i step).
  std::vector<double> ck;
  if (surface != nullptr && !record) {
    const int bins = surface->table.front().size();
    std::vector<double> h(static_cast<std::size_t>(bins));
    for (int i = 0; i < bins; ++i)
      h[static_cast<std::size_t>(i)] = surface->binAverage(e0 - i * surface->step);
    for (std::size_t k = 0; k < surface->table.size(); ++k) {
      const spectro& d = surface->table[k];
      double c = 0.0;
      for (int i = 0; i < bins; ++i)
        c += d.values[static_cast<std::size_t>(i)] * h[static_cast<std::size_t>(i)];
      ck.push_back(c * surface->step / surface->mass[k]);
    }
  }
  double e = e0;
  const double beamSigma = in.beamFwhmEv / kFwhmPerSigma;
  double v = beamSigma * beamSigma;
  const double lowest = 1000.0;  // below 1 keV the beam is stopped for this purpose
  const auto [lo, hi] = in.crossSection.supportEv();
  const bool table = in.crossSection.kind == CrossSection::Kind::Table;
  const bool relative = in.crossSection.units == "relative";
  for (const DeepLayer& layer : in.layers) {
    if (record) {
      t.topEnergy.push_back(e / 1000.0);
      t.topSigma.push_back(std::sqrt(v));
    }
    const double thickness = layer.thicknessAngstrom();
    // atoms/cm^2 per Å; a relative cross section counts depth in Å of the reacting nuclide.
    const double perAngstrom = relative ? 1.0 : layer.atomsPerCm3 * 1e-8;
    double x = 0.0;
    while (x < thickness && e > lowest) {
      const double doppler = in.doppler.sigmaAt(e);
      // Away from the cross section's structure (in a resonance's tails) the steps grow with the
      // distance from it; below a table's lowest energy nothing more is reached.
      double scale = 0.0;
      if (layer.reactingFraction > 0.0) {
        const double spread = std::sqrt(v + doppler * doppler);
        if (table && !record && e + 8.0 * spread < lo) return t;
        const double distance = e < lo ? lo - e : (e > hi ? e - hi : 0.0);
        scale = std::max(xs.scaleAt(e), 0.5 * distance);
      }
      const double width = std::sqrt(v + doppler * doppler + scale * scale);
      const double s0 = layer.loss.stoppingAt(e);
      double dEv = std::min(in.maxStepEv, in.widthFraction * std::max(width, 1.0));
      if (layer.reactingFraction <= 0.0) dEv = std::min(in.maxStepEv, 0.02 * e);
      double dx = std::min(dEv / s0, thickness - x);
      // In the single-collision zone of the top layer: at most a tenth of a collision, or a
      // hundredth of the hand-over depth, per step.
      if (!ck.empty() && &layer == &in.layers.front() &&
          surface->perAngstrom * x < surface->handOver)
        dx = std::min(dx, std::max(0.1, 0.01 * surface->handOver) / surface->perAngstrom);
      // Profile points inside the layer are step boundaries.
      for (const auto& p : layer.profile)
        if (p.first > x + 1e-9 && p.first < x + dx) dx = p.first - x;
      // Midpoint.
      const double eMid = e - 0.5 * dx * s0;
      const double vMid =
          v + 0.5 * dx * (layer.loss.stragglingAt(e) - 2.0 * layer.loss.stoppingSlopeAt(e) * v);
      const double sMid = layer.loss.stoppingAt(eMid);
      if (layer.reactingFraction > 0.0) {
        const double f = layer.fractionAt(x + 0.5 * dx);
        if (f > 0.0) {
          const double dMid = in.doppler.sigmaAt(eMid);
          double w = 1.0;
          double stochastic = 0.0;
          if (!ck.empty() && &layer == &in.layers.front()) {
            // The collisions that make the mean loss so far (with the stopping at the beam's
            // energy all the way), so that the mixture's mean energy is the beam's.
            const double mu = (e0 - eMid) / surface->lossPerCollision;
            w = mu < surface->handOver ? 0.0 : 1.0;
            if (w < 1.0) {
              // Poisson weights of 0 .. nc collisions, by recurrence.
              double p = std::exp(-mu);
              for (std::size_t k = 0; k < ck.size(); ++k) {
                stochastic += p * ck[k];
                p *= mu / static_cast<double>(k + 1);
              }
            }
          }
          double gaussian = 0.0;
          if (w > 0.0) gaussian = xs(eMid, std::sqrt(std::max(0.0, vMid) + dMid * dMid));
          t.yield += f * perAngstrom * dx * ((1.0 - w) * stochastic + w * gaussian);
        }
      }
      v += dx * (layer.loss.stragglingAt(eMid) - 2.0 * layer.loss.stoppingSlopeAt(eMid) * vMid);
      v = std::max(v, 0.0);
      e -= dx * sMid;
      x += dx;
      ++t.steps;
    }
  }
  if (record) {
    t.topEnergy.push_back(e / 1000.0);
    t.topSigma.push_back(std::sqrt(v));
  }
  return t;
}

}  // namespace

// ---- LayerLoss ----

double LayerLoss::stoppingAt(double eEv) const {
  return energyEv.empty() ? constantStopping : logLog(energyEv, stopping, eEv);
}

double LayerLoss::stragglingAt(double eEv) const {
  return energyEv.empty() ? constantStraggling : logLog(energyEv, straggling, eEv);
}

double LayerLoss::stoppingSlopeAt(double eEv) const {
  if (energyEv.empty()) return 0.0;
  const double h = 0.01 * eEv;
  const double lo = std::max(energyEv.front(), eEv - h);
  const double hi = std::min(energyEv.back(), eEv + h);
  if (!(hi > lo)) return 0.0;
  return (logLog(energyEv, stopping, hi) - logLog(energyEv, stopping, lo)) / (hi - lo);
}

LayerLoss tabulatedLayerLoss(const StoppingSources& sources, const StoppingRequest& sample,
                             double loKeV, double hiKeV, int points) {
  const auto [dataLo, dataHi] = stoppingRange(sources, sample);
  const double lo = std::max(loKeV, dataLo);
  const double hi = std::min(hiKeV, dataHi);
  if (!(hi > lo))
    throw std::invalid_argument("The stopping data of " + sample.formula + " cover " + fmt(dataLo) +
                                " to " + fmt(dataHi) + " keV, not " + fmt(loKeV) + " to " +
                                fmt(hiKeV) + " keV");
  LayerLoss loss;
  StoppingRequest at = sample;
  for (int i = 0; i < points; ++i) {
    at.energyKeV = lo * std::pow(hi / lo, static_cast<double>(i) / (points - 1));
    const StoppingResult r = computeStopping(sources, at);
    loss.energyEv.push_back(at.energyKeV * 1000.0);
    loss.stopping.push_back(r.evPerAngstrom);
    loss.straggling.push_back(r.stragglingEv2PerAngstrom);
    if (i == 0)
      loss.source = r.compoundSource + ", straggling " + stragglingModelName(r.stragglingModel);
  }
  return loss;
}

// ---- DeepLayer ----

double DeepLayer::fractionAt(double depthAngstrom) const {
  if (profile.empty()) return reactingFraction;
  if (depthAngstrom <= profile.front().first) return reactingFraction * profile.front().second;
  for (std::size_t i = 1; i < profile.size(); ++i)
    if (depthAngstrom < profile[i].first) {
      const auto& [x0, c0] = profile[i - 1];
      const auto& [x1, c1] = profile[i];
      return reactingFraction * (c0 + (depthAngstrom - x0) / (x1 - x0) * (c1 - c0));
    }
  return reactingFraction * profile.back().second;
}

// ---- CrossSection ----

double CrossSection::at(double eEv) const {
  if (kind == Kind::Table) {
    const double e = eEv / 1000.0;
    if (e <= tableKeV.front() || e >= tableKeV.back()) return 0.0;
    const auto it = std::upper_bound(tableKeV.begin(), tableKeV.end(), e);
    const std::size_t i = static_cast<std::size_t>(it - tableKeV.begin()) - 1;
    const double t = (e - tableKeV[i]) / (tableKeV[i + 1] - tableKeV[i]);
    return tableSigma[i] + t * (tableSigma[i + 1] - tableSigma[i]);
  }
  const double x = (eEv - resonanceKeV * 1000.0) / (0.5 * widthEv);
  return (kind == Kind::Lorentzian ? 1.0 : peak) / (1.0 + x * x);
}

std::pair<double, double> CrossSection::supportEv() const {
  if (kind == Kind::Table) return {tableKeV.front() * 1000.0, tableKeV.back() * 1000.0};
  return {resonanceKeV * 1000.0 - 40.0 * widthEv, resonanceKeV * 1000.0 + 40.0 * widthEv};
}

// ---- Doppler ----

double debyeEffectiveTemperature(double temperatureK, double debyeK) {
  if (!(debyeK > 0.0)) return temperatureK;
  if (!(temperatureK > 0.0)) return 3.0 * debyeK / 8.0;  // zero-point motion alone
  // Simpson's rule over x in [0, theta/T]; the integrand x^3 (1/(e^x - 1) + 1/2) is smooth.
  const double top = debyeK / temperatureK;
  constexpr int n = 2000;
  const double h = top / n;
  const auto f = [](double x) {
    if (x < 1e-8) return 0.0;
    return x * x * x * (1.0 / std::expm1(x) + 0.5);
  };
  double sum = f(0.0) + f(top);
  for (int i = 1; i < n; ++i)
    sum += (i % 2 == 1 ? 4.0 : 2.0) * f(i * h);
  const double integral = sum * h / 3.0;
  return 3.0 * temperatureK * std::pow(temperatureK / debyeK, 3) * integral;
}

double Doppler::effectiveTemperature() const {
  return debyeEffectiveTemperature(temperatureK, debyeK);
}

double Doppler::sigmaAt(double eEv) const {
  if (!(temperatureK > 0.0) || !(targetMassU > 0.0)) return 0.0;
  const double kt = kBoltzmannEvPerK * effectiveTemperature();
  return std::sqrt(2.0 * eEv * kt * projectileMassU / targetMassU);
}

// ---- The curve ----

DeepNraResult deepExcitationCurve(const DeepNraInput& in, const ModelRun& run) {
  ModelScope scope(run);
  checkInput(in);
  DeepNraResult out;
  const CrossSectionAverage xs(in.crossSection);
  const int n =
      static_cast<int>(std::floor((in.e0MaxKeV - in.e0MinKeV) * 1000.0 / in.e0StepEv + 1e-9)) + 1;
  out.energyKeV.resize(static_cast<std::size_t>(n));
  out.yield.assign(static_cast<std::size_t>(n), 0.0);
  for (int i = 0; i < n; ++i)
    out.energyKeV[static_cast<std::size_t>(i)] = in.e0MinKeV + i * in.e0StepEv / 1000.0;

  // The cross section must be reachable in a layer holding the nuclide by some beam energy: the
  // energies in layer i run from its bottom at the lowest beam energy to its top at the highest.
  {
    const Trace top = trace(in, xs, nullptr, in.e0MaxKeV * 1000.0, true);
    const Trace bottom = trace(in, xs, nullptr, in.e0MinKeV * 1000.0, true);
    out.layerTopEnergyKeV = top.topEnergy;
    out.layerTopSigmaEv = top.topSigma;
    out.depthSteps = top.steps;
    const auto [lo, hi] = in.crossSection.supportEv();
    bool reached = false;
    for (std::size_t i = 0; i < in.layers.size(); ++i)
      if (in.layers[i].reactingFraction > 0.0 &&
          std::min(top.topEnergy[i] * 1000.0, hi) >= std::max(bottom.topEnergy[i + 1] * 1000.0, lo))
        reached = true;
    if (!reached)
      throw std::invalid_argument("No beam energy of the curve (" + fmt(in.e0MinKeV) + " to " +
                                  fmt(in.e0MaxKeV) + " keV) reaches the cross section (" +
                                  fmt(lo / 1000.0) + " to " + fmt(hi / 1000.0) +
                                  " keV) in a layer holding the reacting nuclide");
  }

  // The single-collision table of the top layer, from its stopping and straggling at the
  // resonance (for helium ions the largest transfer to an electron scales with E / M1: the table
  // is built at the proton-equivalent energy).
  Surface surface;
  const Surface* surfacePtr = nullptr;
  const DeepLayer& top = in.layers.front();
  if (in.surface.on && top.reactingFraction > 0.0) {
    // The resonance, or for a table the energy of its largest value.
    double er = in.crossSection.resonanceKeV * 1000.0;
    if (in.crossSection.kind == CrossSection::Kind::Table) {
      const auto& y = in.crossSection.tableSigma;
      const auto peak = std::max_element(y.begin(), y.end()) - y.begin();
      er = in.crossSection.tableKeV[static_cast<std::size_t>(peak)] * 1000.0;
    }
    NraTableParams p;
    p.resonance = er / 1000.0 * (1.007276 / in.doppler.projectileMassU);
    p.maxEnergy = in.surface.lossKeV;
    p.stopping = top.loss.stoppingAt(er);
    p.straggling = std::sqrt(top.loss.stragglingAt(er) * 1e-3);
    p.autoMode = true;
    run.stage(ModelStage::collisionTable);
    NraTableBuild b = buildNraTable(p, run);
    if (!b.refusal.empty())
      throw std::invalid_argument("The single-collision table of the top layer: " + b.refusal);
    surface.table = std::move(b.table);
    surface.step = b.grid.step;
    // The binned distributions' own mass and mean loss per collision, so that the mixture's mean
    // loss is the stopping times the depth, as the Gaussian's is.
    double mean1 = 0.0;
    double square1 = 0.0;  // second moment of one collision's loss, eV^2
    for (const spectro& d : surface.table) {
      double m0 = 0.0;
      double m1 = 0.0;
      double m2 = 0.0;
      for (std::size_t i = 0; i < d.values.size(); ++i) {
        const double x = static_cast<double>(i);
        m0 += d.values[i];
        m1 += d.values[i] * x;
        m2 += d.values[i] * x * x;
      }
      surface.mass.push_back(m0 * surface.step);
      if (surface.mass.size() == 2) {
        mean1 = m1 / m0 * surface.step;
        square1 = m2 / m0 * surface.step * surface.step;
      }
    }
    if (!(mean1 > 0.0)) throw std::invalid_argument("The single-collision table is empty");
    surface.perAngstrom = p.stopping / mean1;
    surface.lossPerCollision = mean1;
    surface.reference = er;
    // A loss bin is a uniform spread of its width w: with the beam's and the Doppler spread s
    // (at the resonance) it is taken as a Gaussian of variance s^2 + w^2/12 when s >= w, else as
    // four quarter bins of variance s^2 + w^2/192 each.
    const double w = surface.step;
    const double s = std::hypot(in.beamFwhmEv / kFwhmPerSigma, in.doppler.sigmaAt(er));
    const double reach = static_cast<double>(surface.table.front().size()) * w;
    surface.gridStart = in.e0MinKeV * 1000.0 - reach - w;
    const double gridEnd = in.e0MaxKeV * 1000.0 + w;
    const auto points = static_cast<std::size_t>((gridEnd - surface.gridStart) / (0.125 * w)) + 2;
    surface.averaged.resize(points);
    parallelFor(static_cast<int>(points), [&](int, int begin, int end) {
      for (int j = begin; j < end; ++j) {
        const double e = surface.gridStart + j * 0.125 * w;
        double v = 0.0;
        if (s >= w) {
          v = xs(e, std::sqrt(s * s + w * w / 12.0));
        } else {
          for (int q = 0; q < 4; ++q)
            v += 0.25 * xs(e + (q - 1.5) * 0.25 * w, std::sqrt(s * s + w * w / 192.0));
        }
        surface.averaged[static_cast<std::size_t>(j)] = v;
      }
    });
    // The hand-over: within the table's collisions (the Poisson weight beyond nc below 1e-8),
    // and with the mixture's loss, mean mu lambda and variance mu <x^2>, 8 deviations inside
    // the table's grid (so no distribution it uses is cut by the grid's end).
    const double nc = static_cast<double>(surface.table.size()) - 1.0;
    const double u = (-8.0 * std::sqrt(square1) + std::sqrt(64.0 * square1 + 4.0 * mean1 * reach)) /
                     (2.0 * mean1);
    surface.handOver = std::min(nc - 6.0 * std::sqrt(nc), u * u);
    if (surface.handOver > 2.0) {
      surfacePtr = &surface;
      out.collisionsPerAngstrom = surface.perAngstrom;
      out.handOverDepth = surface.handOver / surface.perAngstrom;
      out.tableCollisions = static_cast<int>(nc);
    }
  }

  // The size of the work, refused before it starts when it would run for minutes: depth steps
  // over all beam energies, and the single-collision sums (collisions x bins per beam energy
  // that meets the resonance within the hand-over).
  {
    const double steps = static_cast<double>(n) * std::max(out.depthSteps, 1);
    if (steps > 1e8)
      throw std::invalid_argument(
          "The curve needs " + fmt(steps) +
          " depth steps (beam energies x steps through the layers), more than 1e+08: raise the "
          "beam energy step or narrow the beam energies");
    if (surfacePtr != nullptr) {
      int stochastic = 0;
      for (double e : out.energyKeV)
        if (surfacePtr->gaussianWeight(e * 1000.0) < 1.0) ++stochastic;
      const double sums = static_cast<double>(stochastic) *
                          static_cast<double>(surface.table.size()) *
                          static_cast<double>(surface.table.front().size());
      if (sums > 2e9)
        throw std::invalid_argument(
            "The single-collision statistics need " + fmt(sums) +
            " operations, more than 2e+09: raise the beam energy step or lower the "
            "single-collision table's reach");
    }
  }

  run.stage(ModelStage::curve);
  parallelFor(n, [&](int, int begin, int end) {
    for (int i = begin; i < end; ++i) {
      checkCancel();
      const double e0 = out.energyKeV[static_cast<std::size_t>(i)] * 1000.0;
      // Two whole curves, each a sound model at every depth: with the single-collision
      // statistics down to the hand-over (and the Gaussian beyond it, where only the cross
      // section's tails are met at these beam energies), and with the Gaussian everywhere. Beam
      // energies that meet the resonance within a quarter of the hand-over take the first,
      // beyond half of it the second, and a smooth step between.
      const double w = surfacePtr != nullptr ? surfacePtr->gaussianWeight(e0) : 1.0;
      double y = 0.0;
      if (w < 1.0) y += (1.0 - w) * trace(in, xs, surfacePtr, e0, false).yield;
      if (w > 0.0) y += w * trace(in, xs, nullptr, e0, false).yield;
      out.yield[static_cast<std::size_t>(i)] = y;
    }
  });
  run.advance(n, n);

  // The sums are of fraction * atoms/cm^2 * cross section, or for a relative cross section of
  // fraction * Å * cross section. A relative Lorentzian becomes one of unit area per keV, so that
  // a curve's area over the beam energy (keV) is the nuclide's thickness in Å, as the one-value
  // models give it (with constant stopping; with stopping that changes, times S(E0)/S(E_R)).
  const std::string& u = in.crossSection.units;
  double factor = 1.0;
  if (u == "relative") {
    if (in.crossSection.kind == CrossSection::Kind::Lorentzian)
      factor = 1000.0 / (0.5 * kPi * in.crossSection.widthEv);
    out.yieldUnit = "Å of the reacting nuclide per keV";
  } else {
    factor = kMillibarnCm2;
    out.yieldUnit = u == "mb/sr" ? "per incident ion and sr" : "per incident ion";
    if (in.perMicroCoulombMsr && u == "mb/sr") {
      factor *= 1e-6 / (in.chargeState * kElementaryChargeC) * 1e-3;
      out.yieldUnit = "counts per µC and msr";
    }
  }
  for (double& y : out.yield)
    y *= factor;
  return out;
}

}  // namespace tarvex
