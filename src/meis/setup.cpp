#include "meis/setup.h"

#include <cmath>
#include <stdexcept>

#include "core/limits.h"
#include "core/numtext.h"
#include "core/physics.h"
#include "state/session.h"

namespace tarvex {

double kinematicFactor(double m1, double m2, double theta) {
  const double a = m1 / m2;
  const double st = std::sin(theta * kDegreesToRadians);
  const double ct = std::cos(theta * kDegreesToRadians);
  const double root = (a * ct + std::sqrt(1.0 - st * (a * a * st))) / (a + 1.0);
  return root * root;
}

ElementSetup prepareElement(const element& el, const MeisRun& run) {
  ElementSetup e;
  e.theta = 180.0 - run.thetaIn - run.thetaOut;
  e.a = run.m1 / el.mass;
  e.k = kinematicFactor(run.m1, el.mass, e.theta);
  const double cin = std::cos(run.thetaIn * kDegreesToRadians);
  const double cout = std::cos(run.thetaOut * kDegreesToRadians);
  e.fS = e.k / cin + 1.0 / cout;
  e.fW = e.k * e.k / cin + 1.0 / cout;
  e.dedxEf = (run.stopping * 0.1) * e.fS;
  e.sEf = (run.straggling * 0.1) * e.fW;
  e.sigma = rutherfordCrossSection(run.thetaIn, e.theta, run.z1, el.Z, run.m1, el.mass, run.e0);
  return e;
}

CollisionRange collisionEnergyRange(double e0, double m1, double d, double s) {
  return solveCollisionRange(maxElectronTransfer(e0, m1), d, s, 200);
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

void checkSpreadReach(Session& s, const spectro& spectrum, double spread) {
  checkGaussianReach("Energy Spread (eV):", spread, static_cast<double>(spectrum.size()),
                     spectrum.step, s.decimalSeparator());
}

void postProcess(Session& s, spectro& spectrum, double spread, double sigmaScc) {
  if (s.controls().checked("TFOptions.CheckConv") && spectrum.integral() != 0.0) {
    checkSpreadReach(s, spectrum, spread);
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

void checkGeometry(Session& s, const MeisRun& run, const std::map<std::string, element>& elements) {
  const char sep = s.decimalSeparator();
  const auto text = [sep](double v) { return formatGeneral(v, 15, sep); };
  const auto angle = [&](const char* field, double theta, const char* way) {
    if (!(std::fabs(theta) < 90.0)) {
      throw std::invalid_argument(std::string(field) + " " + text(theta) + " leaves no path " +
                                  way + " the sample: the angle must be below 90 degrees");
    }
  };
  angle("Theta in:", run.thetaIn, "into");
  angle("Theta out:", run.thetaOut, "out of");
  if (!(run.m1 > 0.0) || !std::isfinite(run.m1)) {
    throw std::invalid_argument("Projectile mass: " + text(run.m1) + " must be positive");
  }
  // A projectile as heavy as the target or heavier is only scattered forward, and only up to
  // the angle where A sin(theta) = 1: beyond that no ion reaches the detector.
  const double theta = 180.0 - run.thetaIn - run.thetaOut;
  const double sinTheta = std::sin(theta * kDegreesToRadians);
  for (const auto& [name, el] : elements) {
    const double a = run.m1 / el.mass;
    if (!(run.m1 < el.mass) && !(theta < 90.0 && a * std::fabs(sinTheta) <= 1.0)) {
      throw std::invalid_argument("Projectile mass: " + text(run.m1) +
                                  " is not lighter than the element " + name + " (mass " +
                                  text(el.mass) + "): nothing is scattered back");
    }
  }
}

std::string positiveRefusal(const char* field, double v, bool zeroAllowed, char sep) {
  if ((zeroAllowed ? v >= 0.0 : v > 0.0) && std::isfinite(v)) return {};
  return std::string(field) + " " + formatGeneral(v, 15, sep) +
         (zeroAllowed ? " must not be negative" : " must be positive");
}

void checkPositive(Session& s, const char* field, double v, bool zeroAllowed) {
  const std::string refusal = positiveRefusal(field, v, zeroAllowed, s.decimalSeparator());
  if (!refusal.empty()) throw std::invalid_argument(refusal);
}

void checkIonEnergy(Session& s, const MeisRun& run) {
  checkPositive(s, "Ion energy (keV):", run.e0, false);
}

std::string lossParameterRefusal(const MeisRun& run, char sep) {
  std::string refusal = positiveRefusal("Ion energy (keV):", run.e0, false, sep);
  if (refusal.empty()) refusal = positiveRefusal("dE/dx: (eV/nm)", run.stopping, false, sep);
  if (refusal.empty()) refusal = positiveRefusal("dW^2/dx: (eV^2/nm)", run.straggling, false, sep);
  return refusal;
}

void checkSpread(Session& s, const MeisRun& run) {
  if (!s.controls().checked("TFOptions.CheckConv")) return;
  if (run.spread >= 0.0 && std::isfinite(run.spread)) return;
  throw std::invalid_argument(
      "Energy Spread (eV): " + formatGeneral(run.spread, 15, s.decimalSeparator()) +
      " is not a width: it must be zero or positive");
}

int closedFormBins(Session& s, double deltaE) {
  const char sep = s.decimalSeparator();
  const double bins = std::ceil(deltaE * 1000.0 / 10.0);
  if (!(bins >= 1.0)) {
    throw std::invalid_argument("Delta E (keV): " + formatGeneral(deltaE, 15, sep) +
                                " leaves no energy grid: it must be positive");
  }
  if (bins > kMaxGridPoints || !curveFitsInMemory(bins)) {
    throw std::invalid_argument("Delta E (keV): " + formatGeneral(deltaE, 15, sep) + " needs " +
                                formatGeneral(bins, 3, sep) + " bins of 10 eV, " +
                                formatGeneral(curveMemoryValues(bins), 3, sep) +
                                " values in memory; the limit is " +
                                formatGeneral(kMaxTableValues, 3, sep) + " values");
  }
  return static_cast<int>(bins);
}

bool ensureComposition(Session& s) {
  if (!s.controls().get("TFMEIS.ListElements").items.empty()) return false;
  s.AddElement();
  return true;
}

}  // namespace tarvex
