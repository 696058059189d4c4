// Stateless physics formulas: the background line, the Gaussian loss density, the modified
// Bessel functions of the first kind and the screened Rutherford cross section.
#pragma once

namespace tarvex {

// Straight background through (x1, y1) and (x2, y2); energies in keV, counts.
struct backgroundLine {
  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
};

void setLine(backgroundLine& line, double x1, double y1, double x2, double y2);
// y1 + (y1 - y2) x1/(x2 - x1) + (y2 - y1) x/(x2 - x1), term by term, so a flat line is exactly y1.
double lineValue(const backgroundLine& line, double x);

// Density at e of a Gaussian with mean e0 + x*s and variance sigma0^2 + omega*x.
double gaussianLoss(double e, double sigma0, double omega, double s, double x, double e0);

// Abramowitz and Stegun 9.8.1-9.8.4, in extended precision.
long double besselI0(long double x);
long double besselI1(long double x);

// The two polynomials of I1 (9.8.3 and 9.8.4), in the precision of their argument: I1(x) for
// |x| < 3.75, and sqrt(x) e^-x I1(x) for x >= 3.75 from u = 3.75/x.
template <class T>
T besselI1Small(T x) {
  const T t = x * 0.26666666666666666;
  const T y = t * t;
  return x * (0.5 +
              y * (0.87890594 +
                   y * (0.51498869 +
                        y * (0.15084934 + y * (0.02658733 + y * (0.00301532 + y * 0.00032411))))));
}
template <class T>
T besselI1LargeScaled(T u) {
  return 0.39894228 +
         u * (-0.03988024 +
              u * (-0.00362018 +
                   u * (0.00163801 +
                        u * (-0.01031555 +
                             u * (0.02282967 +
                                  u * (-0.02895312 + u * (0.01787654 + u * -0.00420059)))))));
}
// I_n(x) by Miller's downward recurrence (accuracy constant 40); n >= 0.
long double besselIn(int n, long double x);

// Continuous part of the compound Poisson loss with exponential single losses, scaled by c:
// c*mu*g * e^(-mu - g e) * I1(2 sqrt(q)) / sqrt(q + 1e-7), q = g*mu*e; mu the mean number of
// collisions, 1/g the mean loss per collision, e the loss.
long double besselLossDensity(double c, double mu, double g, double e);

// Screened Rutherford cross section; angles in degrees, masses in one unit, e in keV.
double rutherfordCrossSection(double thetaIn, double theta, double z1, double z2, double m1,
                              double m2, double e);

}  // namespace tarvex
