// A nonlinear least-squares solver for any model function of a parameter vector: GSL's
// trust-region Levenberg-Marquardt method with finite-difference Jacobians.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarvex {

struct LeastSquaresProblem {
  std::size_t residuals = 0;
  // Fills r (residuals values) for the parameters u. An exception ends the solve and is
  // rethrown by solveLeastSquares.
  std::function<void(const std::vector<double>& u, std::vector<double>& r)> f;
};

struct SolverOptions {
  int maxIterations = 100;
  double xtol = 1e-8;
  double gtol = 1e-8;
  double ftol = 0.0;
  // Relative step of the forward differences.
  double differenceStep = 1e-4;
};

enum class SolverEnd {
  converged,      // a tolerance was met
  noProgress,     // no step reduced the residuals further: the position is a minimum
  maxIterations,  // the iterations ran out
  failed,         // the method failed (see message)
};

struct SolverResult {
  std::vector<double> u;  // the last accepted position
  SolverEnd end = SolverEnd::failed;
  std::string message;  // GSL's words for a failure
  int iterations = 0;
};

// Minimises the sum of squared residuals from u0. onIteration (if set) is called after each
// accepted step with its number and position.
SolverResult solveLeastSquares(
    const LeastSquaresProblem& problem, const std::vector<double>& u0, const SolverOptions& options,
    const std::function<void(int iteration, const std::vector<double>& u)>& onIteration = {});

}  // namespace tarvex

namespace tarvex {

// The covariance (J^T J)^-1 of least squares with the Jacobian `jacobian` (rows: residuals,
// columns: parameters); a parameter without any slope gets zeros. Empty for no parameters.
std::vector<std::vector<double>> leastSquaresCovariance(
    const std::vector<std::vector<double>>& jacobian);

}  // namespace tarvex
