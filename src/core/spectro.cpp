#include "core/spectro.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/cancel.h"
#include "core/convolution.h"
#include "core/limits.h"
#include "core/numtext.h"

namespace tarvex {
namespace {

// Any grid the program builds stays far below kMaxGridPoints (a 1 um film at 1 eV bins is
// ~1e5 bins); a larger request comes from a broken parameter and would only exhaust memory.
// `what` names the grid in the user's terms ("The energy grid").
int checkedBins(double n, const char* what) {
  if (!(n >= 0.0)) {
    throw std::invalid_argument(std::string(what) + " cannot have " + formatGeneral(n) + " bins");
  }
  if (n > kMaxGridPoints) {
    throw std::invalid_argument(std::string(what) + " would need " + formatGeneral(n) +
                                " bins, more than the " + formatGeneral(kMaxGridPoints) +
                                " the program can hold");
  }
  return static_cast<int>(n);
}

void requirePositiveStep(double step) {
  if (!(step > 0.0) || !std::isfinite(step)) {
    throw std::invalid_argument("The energy step must be positive (" + formatGeneral(step) +
                                " eV)");
  }
}

// A broadening width: 0 means none; negative or non-finite widths are refused in the user's
// words ("The Gaussian width must not be negative (-5)").
void requireWidth(double width, const char* what) {
  if (width < 0.0) {
    throw std::invalid_argument(std::string(what) + " must not be negative (" +
                                formatGeneral(width) + ")");
  }
  if (!std::isfinite(width)) {
    throw std::invalid_argument(std::string(what) + " must be a finite number (" +
                                formatGeneral(width) + ")");
  }
}

// The kernel tables of the broadenings: one exponential per bin, looked at for a stop every
// few ten thousand bins.
constexpr std::size_t kBinsBetweenChecks = 32768;

// A copy of v with zeros appended up to `bins` values, in one allocation.
std::vector<double> widened(const std::vector<double>& v, int bins) {
  std::vector<double> r;
  r.reserve(std::max(v.size(), static_cast<std::size_t>(bins)));
  r = v;
  r.resize(static_cast<std::size_t>(bins), 0.0);
  return r;
}

}  // namespace

spectro::spectro(int bins, double step_)
    : values(checkedBins(bins, "The energy grid"), 0.0), step(step_) {}

double spectro::integral() const {
  double s = 0.0;
  for (double v : values)
    s += v;
  return step * s;
}

double spectro::mean() const {
  double s = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    s += static_cast<double>(i) * step * values[i];
  }
  return s / integral();
}

double spectro::secondMoment() const {
  double s = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double x = static_cast<double>(i) * step;
    s += x * x * values[i];
  }
  return s / integral();
}

void spectro::normalize(double area) {
  double s = 0.0;
  for (double v : values)
    s += v;
  const double f = s * step / area;
  for (double& v : values)
    v /= f;
}

void spectro::clear() {
  for (double& v : values)
    v = 0.0;
  offset = 0.0;
}

void spectro::resize(int bins) {
  values.resize(checkedBins(bins, "The energy grid"), 0.0);
}

void spectro::setValue(int index, float value) {
  if (index < 0 || index >= size()) {
    throw std::out_of_range("The energy grid has no bin " + std::to_string(index) +
                            " (it has bins 0 to " + std::to_string(size() - 1) + ")");
  }
  values[static_cast<std::size_t>(index)] = value;
}

double spectro::interpolate(double x) const {
  const double p = (x + offset) / step;
  // Compared as doubles first: p may be far outside the int range, or NaN.
  if (!(p >= 0.0) || p >= static_cast<double>(size()) - 1.0) return 0.0;
  const int b = static_cast<int>(std::floor(p));
  if (b >= size() - 1) return 0.0;
  const double vb = values[static_cast<std::size_t>(b)];
  return vb + (values[static_cast<std::size_t>(b) + 1] - vb) * (p - b);
}

// The broadenings build the new values aside and store them only when complete: a stop or an
// error leaves the curve as it was.
void spectro::broadenGaussian(double fwhm) {
  // A zero spread is no broadening at all (the kernel would be 0/0).
  if (fwhm == 0.0) return;
  requireWidth(fwhm, "The Gaussian width");
  requirePositiveStep(step);
  const double sigma = fwhm * kSigmaPerFwhm;
  const double a0 = integral();
  const std::vector<double> v = widened(
      values, checkedBins(gaussianReachBins(fwhm, step) + size(), "The Gaussian broadening"));
  const double c = 4.0 * sigma / step;
  std::vector<double> kernel(v.size());
  for (std::size_t d = 0; d < kernel.size(); ++d) {
    if (d % kBinsBetweenChecks == 0) checkCancel();
    const double x = (static_cast<double>(d) - c) * step;
    kernel[d] = std::exp(-0.5 * (x * x) / (sigma * sigma));
  }
  values = causalConvolution(v, kernel, v.size());
  normalize(a0);
  offset += 4.0 * sigma;
}

void spectro::broadenLorentzian(double halfWidth) {
  if (halfWidth == 0.0) return;
  requireWidth(halfWidth, "The Lorentzian width");
  requirePositiveStep(step);
  const double a0 = integral();
  const std::vector<double> v = widened(
      values,
      checkedBins(lorentzianReachBins(halfWidth, step) + size(), "The Lorentzian broadening"));
  const double c = 10.0 * halfWidth / step;
  std::vector<double> kernel(v.size());
  for (std::size_t d = 0; d < kernel.size(); ++d) {
    if (d % kBinsBetweenChecks == 0) checkCancel();
    const double x = (static_cast<double>(d) - c) * step;
    kernel[d] = 1.0 / (x * x + halfWidth * halfWidth);
  }
  values = causalConvolution(v, kernel, v.size());
  normalize(a0);
  offset += 10.0 * halfWidth;
}

void spectro::convolveExponential(double rate) {
  const double a0 = integral();
  const double ls = rate * step;
  std::vector<double> kernel(values.size());
  for (std::size_t d = 0; d < kernel.size(); ++d) {
    if (d % kBinsBetweenChecks == 0) checkCancel();
    kernel[d] = std::exp(-ls * static_cast<double>(d));
  }
  std::vector<double> r = causalConvolution(values, kernel, values.size());
  for (double& v : r)
    v *= ls;
  values = std::move(r);
  normalize(a0);
}

void spectro::makeSingleCollision(int bins, double s, double emin, double emax) {
  requirePositiveStep(s);
  if (!(emin > 0.0)) {
    throw std::invalid_argument("Emin must be positive (" + formatGeneral(emin) + " eV)");
  }
  if (!std::isfinite(emax)) {
    throw std::invalid_argument("Emax must be a finite number (" + formatGeneral(emax) + " eV)");
  }
  const double lo = std::ceil(emin / s);
  const double hi = std::floor(emax / s);
  if (lo > hi) {
    if (emin > emax) {
      throw std::invalid_argument("Emin " + formatGeneral(emin) + " eV lies above Emax " +
                                  formatGeneral(emax) + " eV");
    }
    throw std::invalid_argument("No bin lies between Emin " + formatGeneral(emin) + " and Emax " +
                                formatGeneral(emax) + " eV: the step " + formatGeneral(s) +
                                " eV is too large");
  }
  if (bins < 0 || hi + 2.0 > static_cast<double>(bins)) {
    throw std::invalid_argument("The energy grid of " + std::to_string(bins) +
                                " bins is too short for the single-collision distribution, "
                                "which reaches bin " +
                                std::to_string(static_cast<long long>(hi) + 1));
  }
  const int imin = static_cast<int>(lo);
  const int imax = static_cast<int>(hi);
  values.assign(static_cast<std::size_t>(bins), 0.0);
  const double is2 = 1.0 / (s * s);
  for (int i = imin; i <= imax; ++i) {
    values[i] = is2 * (1.0 / (i - 0.5) - 1.0 / (i + 0.5));
  }
  // Edge bins hold the part of the 1/E^2 integral that lies inside [emin, emax].
  const double e = (imin - 0.5) * s;
  if (e < emin) {
    values[imin] -= (1.0 / e - 1.0 / emin) / s;
  } else if (e > emin) {
    values[imin - 1] = (1.0 / emin - 1.0 / e) / s;
  }
  const double u = (imax + 0.5) * s;
  if (u > emax) {
    values[imax] -= (1.0 / emax - 1.0 / u) / s;
  } else if (u < emax) {
    values[imax + 1] = (1.0 / u - 1.0 / emax) / s;
  }
  normalize(1.0);
}

double gaussianReachBins(double fwhm, double step) {
  const double sigma = fwhm * kSigmaPerFwhm;
  return std::ceil(8.0 * sigma / step);
}

double lorentzianReachBins(double halfWidth, double step) {
  return std::ceil(20.0 * halfWidth / step);
}

double broadeningReachLimit(double bins) {
  return std::max(10.0 * bins, 1.0e4);
}

void checkBroadeningReach(const std::string& field, double width, double reach, double perBin,
                          double bins, double step, char sep) {
  const double limit = broadeningReachLimit(bins);
  if (!(reach > limit)) return;
  throw std::invalid_argument(
      field + " " + formatGeneral(width, 15, sep) + " is far wider than the calculated window (" +
      formatGeneral(bins, 15, sep) + " bins of " + formatGeneral(step, 5, sep) +
      " eV): its broadening would add " + formatGeneral(reach, 3, sep) +
      " bins; the window takes widths up to " + formatGeneral(limit * perBin, 3, sep) + " eV");
}

void checkGaussianReach(const std::string& field, double fwhm, double bins, double step, char sep) {
  checkBroadeningReach(field, fwhm, gaussianReachBins(fwhm, step), step / (8.0 * kSigmaPerFwhm),
                       bins, step, sep);
}

spectro scale(const spectro& a, double factor) {
  spectro r;
  r.step = a.step;
  r.values = a.values;
  for (double& v : r.values)
    v = factor * v;
  return r;
}

spectro add(const spectro& a, const spectro& b) {
  spectro r;
  r.step = b.step;
  const std::size_t n = std::min(a.values.size(), b.values.size());
  r.values.assign(a.values.begin(), a.values.begin() + static_cast<std::ptrdiff_t>(n));
  for (std::size_t i = 0; i < n; ++i)
    r.values[i] = r.values[i] + b.values[i];
  return r;
}

spectro convolve(const spectro& a, const spectro& b) {
  spectro r;
  r.step = b.step;
  r.offset = b.offset;
  r.values =
      causalConvolution(a.values, b.values, std::min(a.values.size(), b.values.size()), a.step);
  return r;
}

}  // namespace tarvex
