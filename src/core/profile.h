// profile: a concentration-versus-depth function on a uniform depth grid (Angstrom), with the
// editing operations of the sample editor and the Poisson depth weights of the numeric models.
#pragma once

#include <vector>

namespace tarvex {

class profile {
 public:
  std::vector<double> values;
  double startDepth = 0.0;  // points shallower than this belong to the contamination layer
  int count = 0;
  double step = 0.1;

  profile() = default;
  // ceil(thickness/step) points of concentration 0.
  profile(double thickness, double step);

  // count = ceil(thickness/step); a thickness at or below 0 leaves no points.
  void setThickness(double thickness);
  // Moves the contents by whole points so that the sample begins at depth d.
  void setStart(double depth);
  double integral() const;
  void setValue(int index, float value);
  // passes + 1 passes of a 7-point moving average below the start.
  void smooth(int passes);
  void drawLine(double x1, double c1, double x2, double c2);
  void addErfc(double height, double sigma);
  void subtractErfc(double height, double sigma);
  // Profile-weighted probability of exactly n collisions for a Poisson mean a*b*depth, times
  // 1000; callers multiply by step to integrate over depth.
  double collisionWeight(int n, double a, double b) const;
  // collisionWeight(n, a, b) for every n = 0..nmax at once (poissonWeights): each depth's terms
  // by the Poisson recurrence outwards from the collision number nearest its mean; equal to the
  // single weights to about 1e-14 of the largest weight, in one pass over the profile.
  std::vector<double> collisionWeights(int nmax, double a, double b) const;

 private:
  void requireStep() const;
  void erfcStep(double height, double sigma, double sign);
};

// 1 - (2/sqrt(pi)) * 0.005 * sum_{i=0..floor(x/0.005)} exp(-(0.005 i)^2), at least 0: the left
// Riemann sum the program has always used (it is not the exact erfc).
double erfcApprox(double x);
long double factorial(int n);

// The start-up profile: thickness 10, step 0.005 (2000 points of 0).
const profile& defaultProfile();

}  // namespace tarvex
