// What the numerical core says when it refuses its arguments: these texts can reach the user
// (as the status of a failed run), so they speak of the grid, the width and the energies, with
// numbers in the general format, never of functions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "core/profile.h"
#include "core/spectro.h"

namespace tarvex {
namespace {

TEST(CoreMessages, SpeakOfTheQuantityAndItsValue) {
  struct Case {
    const char* name;
    std::function<void()> action;
    const char* want;
  };
  spectro s(100, 10.0);
  s.values[50] = 1.0;
  spectro zeroStep = s;
  zeroStep.step = 0.0;
  profile p(10.0, 0.005);
  const Case cases[] = {
      {"negative Gaussian", [&] { s.broadenGaussian(-5.0); },
       "The Gaussian width must not be negative (-5)"},
      {"infinite Gaussian", [&] { s.broadenGaussian(INFINITY); },
       "The Gaussian width must be a finite number (INF)"},
      {"negative Lorentzian", [&] { s.broadenLorentzian(-0.25); },
       "The Lorentzian width must not be negative (-0.25)"},
      {"no energy step", [&] { zeroStep.broadenGaussian(10.0); },
       "The energy step must be positive (0 eV)"},
      {"Lorentzian too wide", [&] { s.broadenLorentzian(1e10); },
       "The Lorentzian broadening would need 20000000100 bins, more than the 50000000 the "
       "program can hold"},
      {"step above Emax", [&] { s.makeSingleCollision(100, 5.0, 3.2, 4.0); },
       "No bin lies between Emin 3.2 and Emax 4 eV: the step 5 eV is too large"},
      {"Emin above Emax", [&] { s.makeSingleCollision(100, 0.1, 3.2, 1.0); },
       "Emin 3.2 eV lies above Emax 1 eV"},
      {"no Emin", [&] { s.makeSingleCollision(100, 1.0, 0.0, 50.0); },
       "Emin must be positive (0 eV)"},
      {"grid too short", [&] { s.makeSingleCollision(40, 10.0, 0.5, 5000.0); },
       "The energy grid of 40 bins is too short for the single-collision distribution, which "
       "reaches bin 501"},
      {"negative grid", [&] { s.resize(-3); }, "The energy grid cannot have -3 bins"},
      {"no depth step", [&] { profile(10.0, -0.1); }, "The depth step must be positive (-0.1)"},
      {"profile too long", [&] { p.setThickness(1e12); },
       "The depth profile would need 200000000000000 points, more than the 50000000 it can "
       "hold: check the thickness and the depth step"},
      {"no such point", [&] { p.setValue(2000, 1.0f); },
       "The depth profile has no point 2000 (it has points 0 to 1999)"},
  };
  for (const Case& c : cases) {
    try {
      c.action();
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), c.want) << c.name;
    }
  }
  // A refused broadening leaves the curve as it was.
  EXPECT_EQ(s.size(), 100);
  EXPECT_EQ(s.values[50], 1.0);
  EXPECT_EQ(s.offset, 0.0);
  EXPECT_EQ(p.count, 2000);
}

}  // namespace
}  // namespace tarvex
