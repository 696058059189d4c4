// Poisson depth weights of the numeric models: for every collision number k the profile-weighted
// probability of exactly k collisions, summed over the depth grid in one pass, with the depths
// shared between the worker threads in slices of equal work.
#pragma once

#include <span>
#include <vector>

namespace tarvex {

// Boundaries of `slices` consecutive ranges of the items 0..cost.size()-1 whose summed costs are
// as equal as whole items allow: range s is [b[s], b[s+1]), b[0] = 0, b[slices] = cost.size(),
// every item in exactly one range (some ranges may be empty). Costs must be finite and not
// negative; when they are all zero the items are split by count.
std::vector<int> splitByCost(std::span<const double> cost, int slices);

// 1000 * sum_i values[i] * P(k; a*b*i*step) for k = 0..nmax, P the Poisson probability: the
// weights profile::collisionWeights returns.
std::vector<double> poissonWeights(std::span<const double> values, double step, int nmax, double a,
                                   double b);

}  // namespace tarvex
