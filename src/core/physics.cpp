#include "core/physics.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tarvex {

void setLine(backgroundLine& line, double x1, double y1, double x2, double y2) {
  line = {x1, y1, x2, y2};
}

double lineValue(const backgroundLine& l, double x) {
  return l.y1 + (l.y1 - l.y2) * l.x1 / (l.x2 - l.x1) + (l.y2 - l.y1) * x / (l.x2 - l.x1);
}

double gaussianLoss(double e, double sigma0, double omega, double s, double x, double e0) {
  const double v = sigma0 * sigma0 + omega * x;
  const double d = e - e0 - x * s;
  return std::exp(-(d * d) / (2.0 * v)) / std::sqrt(2.0 * std::numbers::pi * v);
}

long double besselI0(long double x) {
  const double ax = std::fabs(static_cast<double>(x));
  if (ax < 3.75) {
    const long double t = x * 0.26666666666666666;
    const long double y = t * t;
    return 1.0L + y * (3.5156229 +
                       y * (3.0899424 +
                            y * (1.2067492 + y * (0.2659732 + y * (0.0360768 + y * 0.0045813)))));
  }
  const long double u = 3.75 / ax;
  return (std::exp(static_cast<long double>(ax)) / std::sqrt(ax)) *
         (0.39894228 +
          u * (0.01328592 +
               u * (0.00225319 +
                    u * (-0.00157565 +
                         u * (0.00916281 +
                              u * (-0.02057706 +
                                   u * (0.02635537 + u * (-0.01647633 + u * 0.00392377))))))));
}

long double besselI1(long double x) {
  const double ax = std::fabs(static_cast<double>(x));
  if (ax < 3.75) return besselI1Small(x);
  const long double u = 3.75 / ax;
  const long double r =
      (std::exp(static_cast<long double>(ax)) / std::sqrt(ax)) * besselI1LargeScaled(u);
  return x < 0.0L ? -r : r;
}

long double besselIn(int n, long double x) {
  if (n < 0) throw std::invalid_argument("besselIn: the order must not be negative");
  if (n == 0) return besselI0(x);
  if (n == 1) return besselI1(x);
  if (x == 0.0L) return 0.0L;
  const long double tox = 2.0L / x;
  long double bip = 0.0L;
  long double bi = 1.0L;
  long double ans = 0.0L;
  const int m = static_cast<int>(2.0 * (n + std::floor(std::sqrt(40.0 * n))));
  for (int j = m; j >= 1; --j) {
    const long double bim = j * tox * bi + bip;
    bip = bi;
    bi = bim;
    if (std::fabs(bi) > 1.0e10L) {
      ans *= 1.0e-10L;
      bi *= 1.0e-10L;
      bip *= 1.0e-10L;
    }
    if (j == n) ans = bip;
  }
  return besselI0(x) * ans / bi;
}

long double besselLossDensity(double c, double mu, double g, double e) {
  const double q = g * mu * e;
  const double a = 2.0 * std::sqrt(q);
  const double front = c * mu * g;
  // Exponentials well inside the range of a double are taken in double precision: the result
  // differs by about 1e-14 relative, far below the single precision it is stored in.
  const auto exponential = [](long double x) -> long double {
    return std::fabs(x) < 700.0L ? std::exp(static_cast<double>(x)) : std::exp(x);
  };
  if (a < 3.75) {
    return front * exponential(static_cast<long double>(-mu - g * e)) * besselI1(a) /
           std::sqrt(q + 1e-7);
  }
  // Above the branch point of I1 its exponential and the loss exponential are taken as one: for
  // thick layers e^-mu underflows and e^(2 sqrt q) overflows a double where their product is
  // still of order one.
  const long double u = 3.75 / a;
  const long double poly = besselI1LargeScaled(u);
  const long double exponent = static_cast<long double>(-mu - g * e) + a;
  return front * (exponential(exponent) / std::sqrt(a)) * poly / std::sqrt(q + 1e-7);
}

double rutherfordCrossSection(double thetaIn, double theta, double z1, double z2, double m1,
                              double m2, double e) {
  constexpr double kDeg = 0.017453292519943295;
  const double a = z1 * z2 * 14.4 / e * 0.25;
  double r = 24.31 * (a * a);
  r = r / std::cos(thetaIn * kDeg);
  r = r / (1.0 + 0.04873 * z1 * z2 * std::sqrt(std::pow(z1, 0.667) + std::pow(z2, 0.667)) / e);
  if (z2 > 1.0) r = 0.922 * r;
  const double ratio = m1 / m2;
  const double s = std::sin(theta * kDeg);
  const double w = std::sqrt(1.0 - ratio * ratio * (s * s));
  const double c = std::cos(theta * kDeg) + w;
  return r * (c * c) / (std::pow(s, 4) * w);
}

}  // namespace tarvex
