#include "nra/excitation.h"

#include <cmath>
#include <stdexcept>

#include "core/limits.h"
#include "core/numtext.h"

namespace tarvex {

void checkExcitationWidths(const ExcitationBroadening& b, char sep) {
  if (!b.convolve) return;
  const auto check = [sep](const char* field, double v) {
    if (!(v >= 0.0) || !std::isfinite(v)) {
      throw std::invalid_argument(std::string(field) + " " + formatGeneral(v, 15, sep) +
                                  " is not a width: it must be zero or positive");
    }
  };
  check("Resonance FWHM (eV):", b.resonanceWidth);
  check("Gaussian spread (eV):", b.beamSpread);
}

void checkBroadenedSize(const ExcitationBroadening& b, int bins, double step, char sep) {
  if (!b.convolve) return;
  // The Lorentzian adds 20 half widths, the Gaussian 8 standard deviations to the grid.
  const double lorentzian = lorentzianReachBins(b.resonanceWidth, step);
  const double gaussian = gaussianReachBins(b.beamSpread, step);
  // Widths far beyond the calculated window are refused at once, each naming its field.
  checkBroadeningReach("Resonance FWHM (eV):", b.resonanceWidth, lorentzian, step / 20.0, bins,
                       step, sep);
  checkGaussianReach("Gaussian spread (eV):", b.beamSpread, bins, step, sep);
  const double grown = bins + lorentzian + gaussian;
  if (grown > kMaxGridPoints) {
    throw std::invalid_argument(
        "Resonance FWHM (eV): " + formatGeneral(b.resonanceWidth, 15, sep) +
        " and Gaussian spread (eV): " + formatGeneral(b.beamSpread, 15, sep) +
        " would broaden the curve to " + formatGeneral(grown, 3, sep) + " bins of " +
        formatGeneral(step, 5, sep) + " eV; the limit is " + formatGeneral(kMaxGridPoints, 3, sep));
  }
}

void broadenExcitationCurve(spectro& curve, const ExcitationBroadening& b, const ModelRun& run,
                            char sep) {
  if (!b.convolve || curve.integral() == 0.0) return;
  const ModelScope scope(run);
  checkExcitationWidths(b, sep);
  checkBroadenedSize(b, curve.size(), curve.step, sep);
  spectro broadened = curve;
  run.stage(ModelStage::lorentzian);
  broadened.broadenLorentzian(b.resonanceWidth);
  run.stage(ModelStage::gaussian);
  broadened.broadenGaussian(b.beamSpread);
  curve = std::move(broadened);
}

}  // namespace tarvex
