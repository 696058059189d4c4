#include "meis/setup.h"

#include <cmath>
#include <stdexcept>

#include "core/limits.h"
#include "core/numtext.h"
#include "core/physics.h"

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

std::string spreadReachRefusal(const spectro& spectrum, double spread, char sep) {
  return refusalOf([&] {
    checkGaussianReach("Energy Spread (eV):", spread, static_cast<double>(spectrum.size()),
                       spectrum.step, sep);
  });
}

void postProcess(spectro& spectrum, double spread, double sigmaScc, bool convolve, bool scc,
                 char sep) {
  if (convolve && spectrum.integral() != 0.0) {
    const std::string refusal = spreadReachRefusal(spectrum, spread, sep);
    if (!refusal.empty()) throw std::invalid_argument(refusal);
    spectrum.broadenGaussian(spread);
  }
  if (scc && spectrum.integral() != 0.0) spectrum.convolveExponential(1.0 / sigmaScc);
}

std::string geometryRefusal(const MeisRun& run, const std::map<std::string, element>& elements,
                            char sep) {
  const auto text = [sep](double v) { return formatGeneral(v, 15, sep); };
  const auto angle = [&](const char* field, double theta, const char* way) -> std::string {
    if (std::fabs(theta) < 90.0) return {};
    return std::string(field) + " " + text(theta) + " leaves no path " + way +
           " the sample: the angle must be below 90 degrees";
  };
  if (std::string r = angle("Theta in:", run.thetaIn, "into"); !r.empty()) return r;
  if (std::string r = angle("Theta out:", run.thetaOut, "out of"); !r.empty()) return r;
  if (!(run.m1 > 0.0) || !std::isfinite(run.m1)) {
    return "Projectile mass: " + text(run.m1) + " must be positive";
  }
  // A projectile as heavy as the target or heavier is only scattered forward, and only up to
  // the angle where A sin(theta) = 1: beyond that no ion reaches the detector.
  const double theta = 180.0 - run.thetaIn - run.thetaOut;
  const double sinTheta = std::sin(theta * kDegreesToRadians);
  for (const auto& [name, el] : elements) {
    const double a = run.m1 / el.mass;
    if (!(run.m1 < el.mass) && !(theta < 90.0 && a * std::fabs(sinTheta) <= 1.0)) {
      return "Projectile mass: " + text(run.m1) + " is not lighter than the element " + name +
             " (mass " + text(el.mass) + "): nothing is scattered back";
    }
  }
  return {};
}

std::string positiveRefusal(const char* field, double v, bool zeroAllowed, char sep) {
  if ((zeroAllowed ? v >= 0.0 : v > 0.0) && std::isfinite(v)) return {};
  return std::string(field) + " " + formatGeneral(v, 15, sep) +
         (zeroAllowed ? " must not be negative" : " must be positive");
}

std::string ionEnergyRefusal(const MeisRun& run, char sep) {
  return positiveRefusal("Ion energy (keV):", run.e0, false, sep);
}

std::string lossParameterRefusal(const MeisRun& run, char sep) {
  std::string refusal = ionEnergyRefusal(run, sep);
  if (refusal.empty()) refusal = positiveRefusal("dE/dx: (eV/nm)", run.stopping, false, sep);
  if (refusal.empty()) refusal = positiveRefusal("dW^2/dx: (eV^2/nm)", run.straggling, false, sep);
  return refusal;
}

std::string spreadRefusal(const MeisRun& run, bool convolve, char sep) {
  if (!convolve) return {};
  if (run.spread >= 0.0 && std::isfinite(run.spread)) return {};
  return "Energy Spread (eV): " + formatGeneral(run.spread, 15, sep) +
         " is not a width: it must be zero or positive";
}

double closedFormBinCount(double deltaE) {
  return std::ceil(deltaE * 1000.0 / 10.0);
}

std::string closedFormBinsRefusal(double deltaE, char sep) {
  const double bins = closedFormBinCount(deltaE);
  if (!(bins >= 1.0)) {
    return "Delta E (keV): " + formatGeneral(deltaE, 15, sep) +
           " leaves no energy grid: it must be positive";
  }
  if (bins > kMaxGridPoints || !curveFitsInMemory(bins)) {
    return "Delta E (keV): " + formatGeneral(deltaE, 15, sep) + " needs " +
           formatGeneral(bins, 3, sep) + " bins of 10 eV, " +
           formatGeneral(curveMemoryValues(bins), 3, sep) + " values in memory; the limit is " +
           formatGeneral(kMaxTableValues, 3, sep) + " values";
  }
  return {};
}

}  // namespace tarvex
