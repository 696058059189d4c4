// Counting statistics of the fit: the Poisson deviance a fit of measured counts minimises, what
// a correct model makes it on average, and the text of a value with its uncertainty.
#pragma once

#include <string>

namespace tarvex {

// The Poisson deviance of y counts measured where the model expects m:
// 2 (m - y + y ln(y/m)), 2m at y = 0. Minimising the sum over the points is the maximum of the
// likelihood. A model at or below 0 (where counts were seen) has no likelihood; the term then
// grows smoothly as the model falls (its expansion below a millionth of y; 2|m| at y = 0), so
// that a fit is led back to positive values.
double devianceTerm(double y, double m);
// The signed square root of the term, the sign of m - y: the residual whose square sum is the
// deviance (smooth through m = y).
double devianceResidual(double y, double m);

// Mean and variance of the deviance term of Poisson counts of mean m. Below one count the mean
// is well under 1 (0.47 at m = 0.1), around a few counts slightly above it, and it tends to
// 1 + 1/(6m) for many counts; the variance tends to 2.
struct DevianceMoments {
  double mean = 0.0;
  double variance = 0.0;
};
DevianceMoments devianceMoments(double m);

// "12.34 ± 0.56": the value rounded to the second significant digit of its uncertainty, both in
// fixed notation, or with a common power of ten ("(3.90 ± 0.12)E-12") when that would need
// more than six digits before the point or when both lie below 0.001. A value without a
// positive, finite uncertainty is written with 6 significant digits alone.
std::string formatWithUncertainty(double value, double uncertainty, char decimalSeparator = '.');

}  // namespace tarvex
