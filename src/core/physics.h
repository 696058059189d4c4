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
