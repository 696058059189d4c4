// Collision tables of the numeric energy-loss models: the loss after exactly k collisions is the
// k-fold self-convolution of the single-collision distribution. One builder, one size limit, one
// Poisson mixing of the tables over depth, and the single-collision energy range they share.
#pragma once

#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/spectro.h"

namespace tarvex {

// ---- Single-collision energy range ---------------------------------------------------------

struct CollisionRange {
  double emax = 0.0;  // largest energy transfer to a free electron, eV
  double emin = 0.0;  // smallest loss, eV
  double mean = 0.0;  // mean loss per collision of the 1/E^2 law between emin and emax, eV
};

// 4/m1 * e0 * 0.54461699 eV for a beam energy e0 in keV and a projectile of m1 proton masses
// (0.54461699 is about 1000 times the electron-to-proton mass ratio).
double maxElectronTransfer(double e0, double m1);
// Solves ln(emax/emin) = (emax - emin) * d/s by `iterations` fixed-point steps from
// emin = emax exp(-emax d/s), with the rate evaluated as ((emin - emax) * d) / s, then takes
// the mean loss ln(emax/emin) emin emax / (emax - emin). d/s is the ratio of stopping to
// straggling: the second-to-first-moment ratio of the 1/E^2 law equals s/d.
CollisionRange solveCollisionRange(double emax, double d, double s, int iterations);

// Standard deviation of the loss in one collision: sqrt(emin emax - mean^2) (emin emax is the
// mean square of the 1/E^2 law).
double singleLossDeviation(const CollisionRange& r);

// ---- The grid of a table ------------------------------------------------------------------

struct CollisionGrid {
  double step = 0.0;  // eV
  double nc = 0.0;    // collisions (the table holds nc + 1 distributions)
  double bins = 0.0;
};

// Auto mode: the step 0.7 emin (at most maxStep), enough collisions for their mean loss to
// pass lossKeV by 30 single-collision deviations, and enough bins of the step to reach lossKeV.
// The counts are whole numbers, or not finite when the range is not.
CollisionGrid autoCollisionGrid(const CollisionRange& r, double lossKeV, double maxStep);
// Whether an Auto grid can be written into the fields and built: a positive finite step and
// finite counts of at least 1.
bool autoGridWritable(const CollisionGrid& g);

// Checks a grid for `copies` tables whose single-collision losses reach emax, in the order
// the program has always refused grids: the grid not reaching emax ("Error! Check
// parameters!"), then a step that is not positive, no collision, too few bins for the bin after
// emax, a table above the size limit. Returns the message, or nothing for a usable grid.
// sizeFields names what chose the size ("Max Energy (keV): 2000 needs "); numbers use sep.
std::string collisionGridRefusal(const CollisionGrid& g, double emax, double copies,
                                 const std::string& sizeFields, char sep);
// The message when no bin centre of the grid lies between emin and emax (nothing when one
// does).
std::string collisionBinRefusal(double step, double emin, double emax, char sep);

// ---- Size and work limits ------------------------------------------------------------------

// The number of values of `copies` tables of nc + 1 distributions of `bins` bins.
double collisionTableValues(double nc, double bins, double copies = 1.0);
// Whether such tables fit under kMaxTableValues.
bool collisionTableFits(double nc, double bins, double copies = 1.0);
// "a collision table of 2.6E+10 values (Nc + 1 = 259 distributions of 1E+08 bins)" style text
// for the messages that refuse a table, and the limit text "the limit is 4E+08 values".
std::string collisionTableSizeText(double nc, double bins, double copies = 1.0, char sep = '.');
std::string collisionTableLimitText(char sep = '.');

// Whether a curve of `bins` bins can be computed in memory: the depth sums keep one partial
// curve per slice of the work (at most 16) besides the curve and its broadened copies.
bool curveFitsInMemory(double bins);
// The values such a curve holds in memory at most.
double curveMemoryValues(double bins);

// Largest number of loss-density evaluations (grid bins times occupied depth points) of one
// closed-form curve: about a minute of work on two cores.
inline constexpr double kMaxLossEvaluations = 1.0e9;

// Largest number of Poisson terms (profile points times collision orders) of one depth
// weighting: tens of seconds of work.
inline constexpr double kMaxPoissonTerms = 5.0e10;
// Throws std::invalid_argument, giving the size and the limit, when the Poisson weights of a
// profile of `points` points over `orders` collision orders would exceed kMaxPoissonTerms.
void checkPoissonWork(double points, double orders);

// ---- The closed form of exponential single losses -----------------------------------------

// The single-precision value float(besselLossDensity(c, mu, g, e) * scale) that the closed-form
// curves store per depth and bin, bit for bit. It is taken in double precision wherever the
// exponent lies inside the range of a double; the extended-precision density is evaluated only
// for exponents beyond it and for the few values whose double result lies so close to the
// midpoint between two floats that the rounding of either could decide it.
float besselLossValue(double c, double mu, double g, double e, double scale);
// The same values for the losses e = j * 10 eV of a grid of 10 eV bins, for first <= j < size,
// into row[j] (first >= 1: bin 0 holds the part without collision). Four bins at a time where
// the processor can.
void besselLossRow(double c, double mu, double g, double scale, std::span<float> row,
                   std::size_t first = 1);
// The bins [lo, hi) of a grid of `bins` bins of 10 eV outside which every value
// besselLossValue(c, mu, g, j * 10 eV, scale) is a float zero (of the sign of c * scale): the
// density is bounded by |c mu g scale| e^(-mu - g e + 2 sqrt(g mu e)), whose exponent rises to
// 0 at e = mu / g and falls on either side, so the bins where the bound lies below the
// smallest float (with a margin for the rounding of the exponent) are found by bisection.
// Without such bins (or for parameters the bound does not cover) the range is [1, bins).
struct BesselSupport {
  std::size_t lo = 1;
  std::size_t hi = 1;
};
BesselSupport besselLossSupport(double c, double mu, double g, double scale, std::size_t bins);

// ---- Building and mixing -------------------------------------------------------------------

// What the log shows of each distribution: spectro::integral() and spectro::mean(), bit for
// bit, from one pass over its values.
struct DistributionStats {
  double integral = 0.0;
  double mean = 0.0;
};
DistributionStats distributionStats(const spectro& d);

// Called after distribution k (1 .. nc) of the table under construction is complete, with its
// statistics (taken as it is built, while its values are still in the cache).
using CollisionTableProgress =
    std::function<void(int k, const std::vector<spectro>& table, const DistributionStats& stats)>;

// The table [zeroLoss, single, single*single, ...] of nc + 1 distributions, distribution k
// being convolve(single, distribution k-1). Built in a local and returned whole: a cancel
// (checked before every convolution) or an error leaves nothing behind. Throws
// std::invalid_argument when nc < 1 or the table is above the size limit.
std::vector<spectro> buildCollisionTable(spectro zeroLoss, spectro single, int nc,
                                         const CollisionTableProgress& progress);

// How a weight and the common factor meet each bin value: the resonant curve scales the
// weight first, (w * factor) * d; the ion-scattering spectra scale the value, (d * w) * factor.
enum class MixOrder { weightTimesFactor, valueTimesWeight };

// The Poisson mixture sum_k w_k * factor * table[k], on the common length of the table's
// distributions, with the step of distribution 1 and offset 0. Terms of weight 0 add exactly
// nothing and are skipped. weights must hold one weight per distribution.
spectro mixCollisionTable(const std::vector<spectro>& table, const std::vector<double>& weights,
                          double factor, MixOrder order);

}  // namespace tarvex
