#include "nra/plots.h"

#include <cmath>
#include <vector>

#include "core/limits.h"
#include "core/numtext.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {

void plotExcitation(Session& s, const spectro& curve, const std::string& series) {
  const double dose = s.number("TFOptions.EditMult");
  const double resonance = s.number("TFNRP.EditEnrg");
  ChartStore& charts = s.charts();
  const std::string main = "ChartPrinc." + series;
  const std::string report = "ChartNRPSpec." + series;
  const backgroundLine& line = s.state().nraBackgroundLine;
  std::vector<ChartPoint> points(curve.values.size());
  const Colour colour = charts.colour(main);
  for (int i = 0; i < curve.size(); ++i) {
    const double e = resonance + (i * curve.step - curve.offset) * 0.001;
    // The background is added after the dose: it is not scaled with it.
    points[i] = {e, lineValue(line, e) + curve.values[i] * dose, colour};
  }
  requireDrawable(s, points);
  charts.setPoints(report, points);
  charts.setPoints(main, std::move(points), ChartMode::Nra);
}

void broadenExcitation(Session& s, spectro& curve, double resonanceWidth, double beamSpread) {
  if (!s.controls().checked("TFOptions.CheckConv") || curve.integral() == 0.0) return;
  checkExcitationWidths(s, resonanceWidth, beamSpread);
  checkBroadenedSize(s, curve.size(), curve.step, resonanceWidth, beamSpread);
  spectro broadened = curve;
  s.SetStatus("Lorentzian convolution...");
  broadened.broadenLorentzian(resonanceWidth);
  s.SetStatus("Gaussian convolution...");
  broadened.broadenGaussian(beamSpread);
  curve = std::move(broadened);
}

void checkExcitationWidths(Session& s, double resonanceWidth, double beamSpread) {
  if (!s.controls().checked("TFOptions.CheckConv")) return;
  const auto check = [&](const char* field, double v) {
    if (!(v >= 0.0) || !std::isfinite(v)) {
      throw std::invalid_argument(std::string(field) + " " +
                                  formatGeneral(v, 15, s.decimalSeparator()) +
                                  " is not a width: it must be zero or positive");
    }
  };
  check("Resonance FWHM (eV):", resonanceWidth);
  check("Gaussian spread (eV):", beamSpread);
}

void checkBroadenedSize(Session& s, int bins, double step, double resonanceWidth,
                        double beamSpread) {
  if (!s.controls().checked("TFOptions.CheckConv")) return;
  // The Lorentzian adds 20 half widths, the Gaussian 8 standard deviations to the grid.
  const double lorentzian = lorentzianReachBins(resonanceWidth, step);
  const double gaussian = gaussianReachBins(beamSpread, step);
  // Widths far beyond the calculated window are refused at once, each naming its field.
  const char separator = s.decimalSeparator();
  checkBroadeningReach("Resonance FWHM (eV):", resonanceWidth, lorentzian, step / 20.0, bins, step,
                       separator);
  checkGaussianReach("Gaussian spread (eV):", beamSpread, bins, step, separator);
  const double grown = bins + lorentzian + gaussian;
  if (grown > kMaxGridPoints) {
    const char sep = s.decimalSeparator();
    throw std::invalid_argument("Resonance FWHM (eV): " + formatGeneral(resonanceWidth, 15, sep) +
                                " and Gaussian spread (eV): " + formatGeneral(beamSpread, 15, sep) +
                                " would broaden the curve to " + formatGeneral(grown, 3, sep) +
                                " bins of " + formatGeneral(step, 5, sep) + " eV; the limit is " +
                                formatGeneral(kMaxGridPoints, 3, sep));
  }
}

void PlotNumericExcitation(Session& s) {
  plotExcitation(s, s.state().numericExcitation, "SeriesPrinc");
}

void PlotAnaliticExcitation(Session& s) {
  plotExcitation(s, s.state().analyticExcitation, "SeriesBessel");
}

void PlotExp(Session& s) {
  const double shift = s.number("TFOptions.EditShift");
  ChartStore& charts = s.charts();
  s.eventPoint();
  const auto& measured = s.state().measuredPoints;
  // The reader leaves one entry from the read that met the end of the file: never plotted.
  const std::size_t shown = measured.empty() ? 0 : measured.size() - 1;
  std::vector<ChartPoint> points(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    points[i].x = static_cast<double>(measured[i].x) + shift;
    points[i].y = measured[i].y;
  }
  // A data set belongs to the mode it was loaded in: the main chart shows it in that mode only,
  // and only that mode's report shows it. One data set is loaded at a time, so the other mode
  // has none.
  const ChartMode mode = s.state().measuredInNraMode ? ChartMode::Nra : ChartMode::Meis;
  const ChartMode other = mode == ChartMode::Nra ? ChartMode::Meis : ChartMode::Nra;
  const char* report =
      mode == ChartMode::Nra ? "ChartNRPSpec.SeriesExp" : "ChartMEISSpec.SeriesExp";
  const char* otherReport =
      mode == ChartMode::Nra ? "ChartMEISSpec.SeriesExp" : "ChartNRPSpec.SeriesExp";
  // Each chart draws the points in its own series colour; one notification per series.
  std::vector<ChartPoint> copy = points;
  for (ChartPoint& p : copy)
    p.colour = charts.colour(report);
  charts.setPoints(report, std::move(copy));
  charts.setPoints(otherReport, {});
  for (ChartPoint& p : points)
    p.colour = charts.colour("ChartPrinc.SeriesExp");
  const std::string& file = s.state().measuredDataFile;
  const std::size_t slash = file.find_last_of("/\\");
  charts.setPoints("ChartPrinc.SeriesExp", {}, other);
  charts.setPoints("ChartPrinc.SeriesExp",
                   "Measured: " + (slash == std::string::npos ? file : file.substr(slash + 1)),
                   std::move(points), mode);
}

}  // namespace tarvex
