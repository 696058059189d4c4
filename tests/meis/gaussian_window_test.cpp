// The energy window of the Gaussian model: its grid of "Delta E" starts 2 % of the ion energy
// above the elastic edge, so it reaches losses of Delta E - 0.02 E0 only. A marker whose loss
// lies deeper keeps only the part of its Gaussian inside the window; a wider "Delta E" gives it
// back.
#include <gtest/gtest.h>

#include <cmath>

#include "support/recording_host.h"

namespace tarvex {
namespace {

using testing::SessionFixture;

// The Gaussian yield of a single-point marker of hafnium at the depth (A).
double markerYield(double depth, const char* deltaE) {
  SessionFixture f;
  f.meisMode();
  f.session.setCheckedAsClick("TFOptions.RadioGauss", true);
  f.session.setCheckedAsClick("TFMEIS.CheckSCCorr", false);
  f.set("TFMEIS.EditDeltaE", deltaE);
  f.set("TFMEIS.EditMaxDepth", "60");
  EXPECT_TRUE(f.session.run("Updateplot"));
  profile& p = f.session.state().elementProfiles.at("Hf");
  for (double& v : p.values)
    v = 0.0;
  p.values.at(static_cast<std::size_t>(std::lround(depth / p.step))) = 1.0;
  EXPECT_TRUE(f.session.run("CalcSimulation"));
  const spectro& s = f.session.state().gaussianSpectra.at("Hf");
  return s.integral();
}

TEST(GaussianWindow, DeepMarkersLoseWhatLiesBeyondDeltaEMinusTheMargin) {
  const double surface = markerYield(5, "5");
  // 30 A: mean loss about 2.25 keV, spread about 0.5 keV, window to 3 keV: about 7 % lost.
  EXPECT_NEAR(markerYield(30, "5") / surface, 0.93, 0.02);
  // 50 A: mean loss about 3.75 keV, beyond the window: only the tail inside remains.
  EXPECT_NEAR(markerYield(50, "5") / surface, 0.12, 0.03);
  // A "Delta E" of 9 keV reaches 7 keV of loss: the marker keeps its whole yield.
  EXPECT_NEAR(markerYield(50, "9") / surface, 1.0, 0.002);
}

}  // namespace
}  // namespace tarvex
