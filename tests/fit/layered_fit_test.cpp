// The solver and the layered fit on model functions of their own, without a session.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cancel.h"
#include "fit/fit.h"
#include "fit/solver.h"

namespace tarvex {
namespace {

TEST(Solver, FindsTheMinimumOfAnyResidualFunction) {
  // y = a exp(-b t) through exact points: the solver finds a and b from a start far off.
  const double a = 3.0, b = 0.7;
  LeastSquaresProblem problem;
  problem.residuals = 20;
  problem.f = [&](const std::vector<double>& u, std::vector<double>& r) {
    for (std::size_t i = 0; i < r.size(); ++i) {
      const double t = 0.25 * static_cast<double>(i);
      r[i] = u[0] * std::exp(-u[1] * t) - a * std::exp(-b * t);
    }
  };
  const SolverResult s = solveLeastSquares(problem, {1.0, 0.1}, SolverOptions{});
  ASSERT_NE(s.end, SolverEnd::failed) << s.message;
  ASSERT_NE(s.end, SolverEnd::maxIterations);
  EXPECT_NEAR(s.u[0], a, 1e-6);
  EXPECT_NEAR(s.u[1], b, 1e-6);
  EXPECT_GT(s.iterations, 0);

  // A failure of the model function ends the solve with the function's own exception.
  LeastSquaresProblem failing = problem;
  int calls = 0;
  failing.f = [&](const std::vector<double>& u, std::vector<double>& r) {
    if (++calls == 5) throw std::runtime_error("the model failed");
    problem.f(u, r);
  };
  EXPECT_THROW(solveLeastSquares(failing, {1.0, 0.1}, SolverOptions{}), std::runtime_error);

  SolverOptions one;
  one.maxIterations = 1;
  EXPECT_EQ(solveLeastSquares(problem, {1.0, 0.1}, one).end, SolverEnd::maxIterations);
}

TEST(Solver, CovarianceOfAStraightLine) {
  // Residuals of a line through n points at t = 0..n-1: the covariance of slope and intercept
  // is the inverse of [[sum t^2, sum t], [sum t, n]].
  std::vector<std::vector<double>> jac;
  for (int t = 0; t < 5; ++t)
    jac.push_back({static_cast<double>(t), 1.0});
  const auto c = leastSquaresCovariance(jac);
  // sum t^2 = 30, sum t = 10, n = 5: determinant 50.
  EXPECT_NEAR(c[0][0], 5.0 / 50.0, 1e-12);
  EXPECT_NEAR(c[0][1], -10.0 / 50.0, 1e-12);
  EXPECT_NEAR(c[1][1], 30.0 / 50.0, 1e-12);
  EXPECT_TRUE(leastSquaresCovariance({}).empty());
}

// A model of its own: the counts at "energy" x are 100 times the concentration at depth x (the
// depth profile read as a spectrum), plus a flat background the fit adds.
struct DepthAsSpectrum {
  static constexpr double kStep = 0.5;
  static constexpr int kPoints = 200;

  static profile grid() {
    profile p;
    p.step = kStep;
    p.count = kPoints;
    p.values.assign(kPoints, 0.0);
    return p;
  }

  static FitCurve curve(std::vector<profile> profiles, double) {
    FitCurve c;
    const profile& p = profiles.front();
    for (int i = 0; i < p.count; ++i) {
      c.x.push_back(i * p.step);
      c.y.push_back(100.0 * p.values[static_cast<std::size_t>(i)]);
    }
    return c;
  }

  static FitModel truth() {
    FitModel m = defaultFitModel();
    m.layers[0].thickness = {40.0, true, 0.0};
    m.layers[0].concentration = {FitParameter{0.8, true, 0.0}};
    m.layers[0].sigma = {3.0, true, 0.0};
    m.dose = {1.0, false};
    m.background = {5.0, true};
    return m;
  }

  // Poisson counts of the truth's curve at every point.
  static LayeredFitProblem problem(unsigned seed) {
    LayeredFitProblem pr;
    pr.model = truth();
    pr.grid = grid();
    pr.curve = &DepthAsSpectrum::curve;
    const profile p = layeredProfile(grid(), pr.model.layers, 0);
    std::mt19937 rng(seed);
    for (int i = 0; i < p.count; ++i) {
      std::poisson_distribution<int> counts(100.0 * p.values[static_cast<std::size_t>(i)] + 5.0);
      pr.measuredX.push_back(i * kStep);
      pr.measuredY.push_back(counts(rng));
    }
    // The start: 20-30 % off.
    pr.model.layers[0].thickness.value = 30.0;
    pr.model.layers[0].concentration[0].value = 1.0;
    pr.model.layers[0].sigma.value = 4.0;
    pr.model.background.value = 4.0;
    return pr;
  }
};

// Many seeded data sets: the uncertainties cover the truth as often as standard uncertainties
// should, and the deviance sits at its expectation.
TEST(LayeredFit, FitsAnyCurveFunctionWithHonestUncertainties) {
  const FitModel truth = DepthAsSpectrum::truth();
  const double values[] = {40.0, 0.8, 3.0, 5.0};
  constexpr int kFits = 120;
  int within1[4] = {}, within2[4] = {};
  double ratio = 0.0, bias[4] = {};
  for (int seed = 1; seed <= kFits; ++seed) {
    LayeredFit fit(DepthAsSpectrum::problem(static_cast<unsigned>(seed)));
    const LayeredFitResult r = fit.run();
    ASSERT_TRUE(r.report.done) << seed << ": " << fitReportText(r.report);
    ASSERT_EQ(r.report.values.size(), 4u);
    for (int j = 0; j < 4; ++j) {
      const FitValue& v = r.report.values[static_cast<std::size_t>(j)];
      const double z = std::fabs(v.value - values[j]) / v.uncertainty;
      within1[j] += z <= 1.0;
      within2[j] += z <= 2.0;
      bias[j] += (v.value - values[j]) / v.uncertainty;
    }
    ratio += r.report.devianceRatio;
  }
  for (int j = 0; j < 4; ++j) {
    // Binomial spread of 120 fits: about 4 % at 68 %, 2 % at 95 %.
    EXPECT_NEAR(within1[j] / double(kFits), 0.683, 0.11) << j;
    EXPECT_NEAR(within2[j] / double(kFits), 0.954, 0.05) << j;
    EXPECT_LT(std::fabs(bias[j] / kFits), 0.3) << j;
  }
  EXPECT_NEAR(ratio / kFits, 1.0, 0.03);
  (void)truth;
}

TEST(LayeredFit, RefusesAndStopsWithoutTouchingAnything) {
  {
    LayeredFitProblem pr = DepthAsSpectrum::problem(1);
    pr.model.layers[0].thickness.free = false;
    pr.model.layers[0].concentration[0].free = false;
    pr.model.layers[0].sigma.free = false;
    pr.model.background.free = false;
    EXPECT_THROW(LayeredFit{pr}, std::invalid_argument);
  }
  {
    LayeredFitProblem pr = DepthAsSpectrum::problem(1);
    for (double& y : pr.measuredY)
      y = 0.0;
    EXPECT_THROW(LayeredFit{pr}, std::invalid_argument);
  }
  {
    // A stop between evaluations ends the fit with Cancelled.
    struct StopAt : Progress {
      CancelToken* token = nullptr;
      int pauses = 0;
      void pause() override {
        if (++pauses == 7) token->request();
      }
    } progress;
    CancelToken token;
    progress.token = &token;
    LayeredFit fit(DepthAsSpectrum::problem(1));
    EXPECT_THROW(fit.run({&progress, &token}), Cancelled);
  }
  {
    // A model that fails names the values it failed at.
    LayeredFitProblem pr = DepthAsSpectrum::problem(1);
    int calls = 0;
    pr.curve = [&](std::vector<profile> p, double spread) {
      if (++calls == 3) throw std::invalid_argument("no curve here");
      return DepthAsSpectrum::curve(std::move(p), spread);
    };
    LayeredFit fit(pr);
    try {
      fit.run();
      ADD_FAILURE() << "no failure";
    } catch (const FitGivenUp& e) {
      EXPECT_NE(std::string(e.what()).find("no curve here"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("Layer 1 thickness (Å) = "), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tarvex
