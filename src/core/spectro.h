// spectro: a function sampled on a uniform grid (energy-loss distributions, excitation curves,
// spectra). The abscissa of bin i is i*step - offset; values are densities.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

class spectro {
 public:
  std::vector<double> values;
  double offset = 0.0;
  double step = 1.0;

  spectro() = default;
  spectro(int bins, double step);

  int size() const { return static_cast<int>(values.size()); }

  double integral() const;
  // Mean bin index sum(i*v)/sum(v), counted from bin 0; the step cancels.
  double mean() const;
  // Raw second moment from bin 0: step * sum(i^2 v) / sum(v).
  double secondMoment() const;
  void normalize(double area = 1.0);
  void clear();
  void resize(int bins);
  // Stores through single precision, as every point-by-point store of the program does.
  void setValue(int index, float value);
  double interpolate(double x) const;

  // Kernel broadenings. The kernels are applied causally (bin i only receives from bins j <= i);
  // the symmetric ones shift the kernel centre up the grid and record the shift in offset.
  void broadenGaussian(double fwhm);
  void broadenLorentzian(double halfWidth);
  void convolveExponential(double rate);

  // Normalised 1/E^2 single-collision density between emin and emax on bins centred at i*s.
  void makeSingleCollision(int bins, double s, double emin, double emax);
};

// ---- Broadening widths and the window they act on ----------------------------------------

// The standard deviation of a Gaussian per unit of its full width at half maximum (1/2.3548).
inline constexpr double kSigmaPerFwhm = 0.4246645150331238;

// The bins a broadening adds to the grid: 8 standard deviations of a Gaussian of full width at
// half maximum `fwhm`, 20 half widths of a Lorentzian, on a grid of `step`.
double gaussianReachBins(double fwhm, double step);
double lorentzianReachBins(double halfWidth, double step);
// The most bins a broadening may add to a curve of `bins` bins: ten times its window, and at
// least 10000 bins. A wider kernel turns the window into a flat trace of a far wider bell, a
// grid of millions of points that no chart or export can use, built in minutes.
double broadeningReachLimit(double bins);
// Throws std::invalid_argument naming `field` (its caption, as "Gaussian spread (eV):") when a
// broadening of `reach` bins exceeds broadeningReachLimit(bins); `width` is the field's number
// and `perBin` the field's width per added bin (so that the message gives the largest width the
// window takes).
void checkBroadeningReach(const std::string& field, double width, double reach, double perBin,
                          double bins, double step, char sep);
// The same for a Gaussian of full width at half maximum `fwhm`.
void checkGaussianReach(const std::string& field, double fwhm, double bins, double step, char sep);

spectro scale(const spectro& a, double factor);
spectro add(const spectro& a, const spectro& b);
// r[i] = a.step * sum_{h<=i} a[h] b[i-h] on min(n_a, n_b) bins, with b's step and offset.
spectro convolve(const spectro& a, const spectro& b);

}  // namespace tarvex
