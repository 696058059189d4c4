#include "meis/setup.h"

#include <cmath>

#include "core/numtext.h"
#include "core/physics.h"
#include "state/session.h"

namespace tarvex {

namespace {
constexpr double kDeg = 3.141592653589793 / 180.0;
}  // namespace

double kinematicFactor(double m1, double m2, double theta) {
  const double a = m1 / m2;
  const double st = std::sin(theta * kDeg);
  const double ct = std::cos(theta * kDeg);
  const double root = (a * ct + std::sqrt(1.0 - st * (a * a * st))) / (a + 1.0);
  return root * root;
}

ElementSetup prepareElement(const element& el, const MeisRun& run) {
  ElementSetup e;
  e.theta = 180.0 - run.thetaIn - run.thetaOut;
  e.a = run.m1 / el.mass;
  e.k = kinematicFactor(run.m1, el.mass, e.theta);
  const double cin = std::cos(run.thetaIn * kDeg);
  const double cout = std::cos(run.thetaOut * kDeg);
  e.fS = e.k / cin + 1.0 / cout;
  e.fW = e.k * e.k / cin + 1.0 / cout;
  e.dedxEf = (run.stopping * 0.1) * e.fS;
  e.sEf = (run.straggling * 0.1) * e.fW;
  e.sigma = rutherfordCrossSection(run.thetaIn, e.theta, run.z1, el.Z, run.m1, el.mass, run.e0);
  return e;
}

CollisionRange collisionEnergyRange(double e0, double m1, double d, double s) {
  CollisionRange r;
  r.emax = 4.0 / m1 * e0 * 0.54461699;
  r.emin = r.emax * std::exp(-r.emax * d / s);
  for (int i = 0; i < 200; ++i)
    r.emin = r.emax * std::exp((r.emin - r.emax) * d / s);
  r.mean = std::log(r.emax / r.emin) * r.emin * r.emax / (r.emax - r.emin);
  return r;
}

MeisRun readBeamAndSample(Session& s) {
  MeisRun r;
  r.e0 = s.number("TFMEIS.EditEnrg");
  r.thetaIn = s.number("TFMEIS.EditTIn");
  r.thetaOut = s.number("TFMEIS.EditTOut");
  r.stopping = s.number("TFMEIS.Editdedx");
  r.straggling = s.number("TFMEIS.EditS");
  return r;
}

MeisRun readMeisRun(Session& s) {
  MeisRun r = readBeamAndSample(s);
  r.spread = s.number("TFMEIS.EditGauss");
  readProjectile(s, r);
  return r;
}

void readProjectile(Session& s, MeisRun& run) {
  run.m1 = s.number("TFMEIS.EditPmass");
  run.z1 = s.number("TFMEIS.EditZp");
}

void postProcess(Session& s, spectro& spectrum, double spread, double sigmaScc) {
  if (s.controls().checked("TFOptions.CheckConv") && spectrum.integral() != 0.0) {
    spectrum.broadenGaussian(spread);
  }
  if (s.controls().checked("TFMEIS.CheckSCCorr") && spectrum.integral() != 0.0) {
    spectrum.convolveExponential(1.0 / sigmaScc);
  }
}

void logElement(Session& s, const std::string& name, const ElementSetup& e) {
  const char sep = s.decimalSeparator();
  s.logAppend("Element: " + name + "\n");
  s.logAppend("ki: " + formatGeneral(e.k, 15, sep) + "\n");
  s.logAppend("DEDXef: " + formatGeneral(e.dedxEf, 15, sep) + "\n");
  s.logAppend("Sef: " + formatGeneral(e.sEf, 15, sep));
}

bool ensureComposition(Session& s) {
  if (!s.controls().get("TFMEIS.ListElements").items.empty()) return false;
  s.AddElement();
  return true;
}

}  // namespace tarvex
