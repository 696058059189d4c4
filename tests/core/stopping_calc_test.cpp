#include "core/stopping_calc.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tarvex {
namespace {

template <class F>
void expectRefused(F&& f, std::initializer_list<std::string> parts) {
  try {
    f();
    ADD_FAILURE() << "not refused";
  } catch (const std::invalid_argument& e) {
    for (const auto& p : parts)
      EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what() << " lacks " << p;
  }
}

constexpr double kNa = 6.02214076e23;

// eV/(1e15 atoms/cm^2) of the NIST table of element z at energy e (a grid point).
double nist(StoppingIon ion, int z, double e) {
  return tabulatedStopping(ion, z).at(e) * elementByZ(z).mass / kNa * 1e21;
}

// The fit coefficients reproduce the NIST tables where both exist: at low energies the tables
// are the same fits, so a misplaced row or a mistyped coefficient shows at once. For helium in C,
// Si and Au the tables follow measurements instead of the fit (ICRU Report 49 says so), and
// the fit stays within 12 %.
TEST(StoppingFits, FollowTheNistTablesAtLowEnergies) {
  for (StoppingIon ion : {StoppingIon::Proton, StoppingIon::Helium}) {
    for (int z : tabulatedElements(ion)) {
      const bool measured = ion == StoppingIon::Helium && (z == 6 || z == 14 || z == 79);
      for (double e : {50.0, 100.0}) {
        const double table = nist(ion, z, e);
        EXPECT_NEAR(fittedStopping(ion, z, e), table, (measured ? 0.12 : 0.002) * table)
            << ionName(ion) << " in Z = " << z << " at " << e << " keV";
      }
    }
  }
  // Within their range the fits stay within a few per cent of the tables.
  for (int z : tabulatedElements(StoppingIon::Proton)) {
    const double table = nist(StoppingIon::Proton, z, 400.0);
    EXPECT_NEAR(fittedStopping(StoppingIon::Proton, z, 400.0), table, 0.03 * table) << z;
  }
}

TEST(StoppingFits, ServeTheElementsWithoutATableAndRefuseOutsideTheirRange) {
  ElementStopping protons(StoppingIon::Proton);
  for (int z : {40, 72, 73}) {  // Zr, Hf, Ta
    EXPECT_EQ(protons.origin(z), StoppingOrigin::Fitted);
    EXPECT_NE(protons.source(z).find("ICRU Report 49"), std::string::npos);
    // Between their neighbours with tables at 100 keV (Mo 42 / Ag 47; W 74 / Gd 64).
    const double s = protons.atomic(z, 100.0);
    EXPECT_GT(s, 0.6 * nist(StoppingIon::Proton, z < 60 ? 42 : 74, 100.0)) << z;
    EXPECT_LT(s, 1.4 * nist(StoppingIon::Proton, z < 60 ? 42 : 74, 100.0)) << z;
  }
  EXPECT_EQ(protons.range(72), (std::pair{1.0, 1000.0}));
  expectRefused([&] { protons.atomic(72, 1500.0); }, {"1500 keV", "Hf", "1 to 1000 keV"});
  expectRefused([&] { protons.atomic(72, 0.5); }, {"0.5 keV"});
  ElementStopping helium(StoppingIon::Helium);
  EXPECT_EQ(helium.range(73), (std::pair{1.0, 4000.0}));
  EXPECT_NE(helium.source(73).find("Ziegler"), std::string::npos);
  // A table of the user's own still comes first, and the table's range holds.
  protons.setUserTable(72, StoppingTable({10.0, 200.0}, {50.0, 60.0}, "my Hf"));
  EXPECT_EQ(protons.origin(72), StoppingOrigin::UserTable);
  EXPECT_EQ(protons.range(72), (std::pair{10.0, 200.0}));
}

TEST(StoppingStraggling, ChuCorrectionLowersBohrAtLowEnergiesAndVanishesAtHighOnes) {
  EXPECT_EQ(chuCorrection(1, 0.1), 1.0);
  for (int z = 2; z <= kLastElement; ++z) {
    double previous = 0.0;
    for (double e : {0.02, 0.05, 0.1, 0.3}) {  // MeV per atomic mass unit
      const double h = chuCorrection(z, e);
      EXPECT_GT(h, previous) << "Z = " << z << " at " << e;  // rises with the energy
      if (e <= 0.1) {
        EXPECT_LT(h, 1.0) << "Z = " << z << " at " << e;
      }
      previous = h;
    }
    // Bohr's free-electron value is the limit of fast ions (the fit approaches it slowly, and
    // Chu's ratio for the lightest targets passes slightly above 1 on its way).
    EXPECT_NEAR(chuCorrection(z, 1000.0), 1.0, 0.05) << z;
  }
  // Heavier targets bind more of their electrons: the correction is stronger.
  EXPECT_LT(chuCorrection(72, 0.1), chuCorrection(8, 0.1));
  expectRefused([] { chuCorrection(14, 0.0); }, {"positive"});
}

TEST(StoppingDensity, ReadsEitherKindWithItsUnit) {
  struct Case {
    const char* text;
    SampleDensity::Kind kind;
    double value;
  };
  const Case cases[] = {
      {"9.68", SampleDensity::Kind::GramsPerCm3, 9.68},
      {" 2.32 g/cm3 ", SampleDensity::Kind::GramsPerCm3, 2.32},
      {"5.3e22", SampleDensity::Kind::AtomsPerCm3, 5.3e22},
      {"5.3e22 atoms/cm3", SampleDensity::Kind::AtomsPerCm3, 5.3e22},
      {"6e22 at/cm^3", SampleDensity::Kind::AtomsPerCm3, 6e22},
  };
  for (const auto& c : cases) {
    const SampleDensity d = parseDensity(c.text);
    EXPECT_EQ(d.kind, c.kind) << c.text;
    EXPECT_DOUBLE_EQ(d.value, c.value) << c.text;
  }
  for (const char* bad : {"", "abc", "0", "-2", "2 kg/m3", "nan", "inf"})
    expectRefused([&] { parseDensity(bad); }, {});
}

// SiO2 at 100 keV by hand: the NIST values of Si and O at a grid point, summed by their counts.
TEST(StoppingCalculator, SilicaByHandAndItsStraggling) {
  StoppingSources protons(StoppingIon::Proton);
  StoppingRequest req{"SiO2", parseDensity("2.32"), 100.0, StragglingModel::Bohr};
  const StoppingResult r = computeStopping(protons, req);
  const double si = nist(StoppingIon::Proton, 14, 100.0);
  const double o = nist(StoppingIon::Proton, 8, 100.0);
  EXPECT_NEAR(r.perAtom, (si + 2 * o) / 3, 1e-12 * si);
  const double atomsPerCm3 = 2.32 / (28.085 + 2 * 15.999) * kNa * 3;
  EXPECT_NEAR(r.atomsPerCm3, atomsPerCm3, 1e-9 * atomsPerCm3);
  // eV per 1e15 atoms/cm^2 times atoms per cm^2 in one Å (N * 1e-8) over 1e15.
  EXPECT_NEAR(r.evPerAngstrom, r.perAtom * atomsPerCm3 * 1e-8 / 1e15, 1e-12);
  EXPECT_EQ(r.compoundSource, "Bragg's rule");
  ASSERT_EQ(r.elements.size(), 2u);
  EXPECT_NE(r.elements[0].source.find("PSTAR"), std::string::npos);
  // Bohr: 4 pi e^4 Z1^2 Z2 N per unit path, Z2 the mean over the atoms (10 for SiO2).
  const double pi = std::acos(-1.0);
  const double bohr = 4 * pi * std::pow(14.39964548, 2) * 10.0 * atomsPerCm3 * 1e-24;
  EXPECT_NEAR(r.bohrEv2PerAngstrom, bohr, 1e-9 * bohr);
  EXPECT_DOUBLE_EQ(r.stragglingEv2PerAngstrom, r.bohrEv2PerAngstrom);
  // Chu's correction weights each element's Bohr term by its own factor.
  req.straggling = StragglingModel::Chu;
  const StoppingResult chu = computeStopping(protons, req);
  const double e = 0.1 / 1.007276;
  const double weighted =
      (14 * chuCorrection(14, e) + 2 * 8 * chuCorrection(8, e)) / (14 + 2 * 8) * bohr;
  EXPECT_NEAR(chu.stragglingEv2PerAngstrom, weighted, 1e-9 * bohr);
  EXPECT_LT(chu.stragglingEv2PerAngstrom, bohr);
  // The same sample given by its atomic density.
  req.density = parseDensity("6.9e22 atoms/cm3");
  EXPECT_NEAR(computeStopping(protons, req).evPerAngstrom, r.perAtom * 6.9e22 * 1e-23, 1e-9);
}

TEST(StoppingCalculator, TantalumPentoxideHafniaAndACompoundTable) {
  StoppingSources protons(StoppingIon::Proton);
  StoppingRequest req{"Ta2O5", parseDensity("8.2"), 100.0, StragglingModel::Bohr};
  const StoppingResult r = computeStopping(protons, req);
  const double ta = fittedStopping(StoppingIon::Proton, 73, 100.0);
  const double o = nist(StoppingIon::Proton, 8, 100.0);
  EXPECT_NEAR(r.perAtom, (2 * ta + 5 * o) / 7, 1e-12 * ta);
  EXPECT_NE(r.elements[0].source.find("fit"), std::string::npos);

  // A measured table of the compound replaces Bragg's rule for that composition only.
  protons.setCompoundTable(parseFormula("Hf2O4"),
                           StoppingTable({10.0, 1000.0}, {40.0, 40.0}, "user table hfo2.txt"));
  req.formula = "HfO2";
  req.density = parseDensity("9.68");
  const StoppingResult hfo2 = computeStopping(protons, req);
  EXPECT_DOUBLE_EQ(hfo2.perAtom, 40.0);
  EXPECT_EQ(hfo2.compoundSource, "user table hfo2.txt");
  EXPECT_EQ(stoppingRange(protons, req), (std::pair{10.0, 1000.0}));
  req.formula = "HfO";
  EXPECT_EQ(computeStopping(protons, req).compoundSource, "Bragg's rule");
}

TEST(StoppingCalculator, RefusesBadInputNamingWhatIsWrong) {
  StoppingSources protons(StoppingIon::Proton);
  const SampleDensity d = parseDensity("2.32");
  expectRefused([&] { computeStopping(protons, {"SiQ2", d, 100.0}); }, {"Q"});
  expectRefused([&] { computeStopping(protons, {"Si(O2", d, 100.0}); }, {});
  expectRefused([&] { computeStopping(protons, {"SiO2", {}, 100.0}); }, {"density"});
  expectRefused([&] { computeStopping(protons, {"SiO2", d, -5.0}); }, {"energy"});
  // Hf's data are fits up to 1 MeV: 1.5 MeV is refused, not extrapolated.
  expectRefused([&] { computeStopping(protons, {"HfO2", d, 1500.0}); }, {"Hf", "1000 keV"});
  StoppingRequest hfo2{"HfO2", d, 100.0};
  EXPECT_EQ(stoppingRange(protons, hfo2), (std::pair{1.0, 1000.0}));
  const auto curve = stoppingCurve(protons, hfo2, 10.0, 2000.0, 31);
  ASSERT_FALSE(curve.empty());
  EXPECT_LE(curve.back().first, 1000.0);  // the points beyond the fit's range are left out
  EXPECT_NEAR(curve.front().first, 10.0, 1e-9);
}

TEST(StoppingModeFields, ResonantNraAndIonScatteringUnits) {
  StoppingSources protons(StoppingIon::Proton);
  const StoppingRequest req{"SiO2", parseDensity("2.32"), 400.0, StragglingModel::Bohr};
  const StoppingResult r = computeStopping(protons, req);
  // "Straggling:" holds Omega with Omega^2 the variance in keV^2 per 1000 Å.
  const NraStoppingFields nra = nraFieldsFrom(r);
  EXPECT_DOUBLE_EQ(nra.stoppingEvPerAngstrom, r.evPerAngstrom);
  EXPECT_NEAR(nra.omega * nra.omega, r.stragglingEv2PerAngstrom * 1000.0 / 1e6, 1e-12);

  // Ion scattering: the mean of the values at E0 and at K E0, per nm.
  const double k = 0.9;
  const MeisStoppingFields meis = meisFieldsFrom(protons, req, k);
  StoppingRequest out = req;
  out.energyKeV = 360.0;
  const StoppingResult rOut = computeStopping(protons, out);
  EXPECT_DOUBLE_EQ(meis.outEnergyKeV, 360.0);
  EXPECT_NEAR(meis.stoppingEvPerNm, 5.0 * (r.evPerAngstrom + rOut.evPerAngstrom), 1e-9);
  EXPECT_NEAR(meis.stragglingEv2PerNm,
              5.0 * (r.stragglingEv2PerAngstrom + rOut.stragglingEv2PerAngstrom), 1e-6);
  expectRefused([&] { meisFieldsFrom(protons, req, 1.5); }, {"kinematic"});
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

// Numbers in formulas and densities use a point whatever the process's locale.
TEST(StoppingDensity, NumbersIgnoreTheLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE locale";
  const auto parts = parseFormula("Si0.4Ge0.6");
  const SampleDensity d = parseDensity("2.33 g/cm3");
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_DOUBLE_EQ(parts[0].count, 0.4);
  EXPECT_DOUBLE_EQ(parts[1].count, 0.6);
  EXPECT_DOUBLE_EQ(d.value, 2.33);
}

}  // namespace
}  // namespace tarvex
