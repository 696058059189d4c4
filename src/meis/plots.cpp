#include "meis/plots.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/limits.h"
#include "core/numtext.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {

double meisPlotStep(Session& s, bool lenientSpread) {
  double step = s.controls().checked("TFOptions.CheckConv") ? 10.0 : 1.0;
  double spread = 0.0;
  if (lenientSpread) {
    try {
      spread = s.number("TFMEIS.EditGauss");
    } catch (const std::exception&) {
      spread = 0.0;
    }
  } else {
    spread = s.number("TFMEIS.EditGauss");
  }
  if (!(spread >= 50.0)) step = 1.0;  // sharp spectra: a finer spacing
  return step;
}

MeisTotal meisTotal(Session& s, std::map<std::string, spectro>& spectra, bool lenientSpread) {
  MeisTotal t;
  const double dose = s.number("TFOptions.EditMult");
  t.step = meisPlotStep(s, lenientSpread);
  const double lo = std::trunc(s.integer("TFMEIS.EditSimMin") * 1000.0 / t.step);
  const double hi = std::trunc(s.integer("TFMEIS.EditSimMax") * 1000.0 / t.step);
  if (hi > kMaxGridPoints || lo < -kMaxGridPoints) {
    throw std::invalid_argument("Min (keV): " + s.controls().text("TFMEIS.EditSimMin") +
                                " and Max (keV): " + s.controls().text("TFMEIS.EditSimMax") +
                                " make an energy window of more than " +
                                formatGeneral(kMaxGridPoints, 3, s.decimalSeparator()) + " points");
  }
  t.first = static_cast<long long>(lo);
  const long long n = static_cast<long long>(hi);
  // Only the points of the window, q = first .. n-1, are summed.
  const std::size_t count = static_cast<std::size_t>(std::max(0LL, n - t.first));
  std::vector<double> total(count, 0.0);
  for (const auto& [name, record] : s.state().elementMap) {
    const spectro& sp = spectra[name];  // an element never computed contributes 0
    for (std::size_t k = 0; k < count; ++k) {
      total[k] +=
          sp.interpolate(-static_cast<double>(t.first + static_cast<long long>(k)) * t.step);
    }
  }
  const backgroundLine& line = s.state().meisBackgroundLine;
  t.y.resize(count);
  t.e.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    t.e[k] = static_cast<double>(t.first + static_cast<long long>(k)) * 0.001 * t.step;
    t.y[k] = lineValue(line, t.e[k]) + dose * total[k];
  }
  return t;
}

void plotMeisTotal(Session& s, std::map<std::string, spectro>& spectra, const std::string& series,
                   const std::string& reportSeries) {
  const MeisTotal t = meisTotal(s, spectra, false);
  ChartStore& charts = s.charts();
  const std::string main = "ChartPrinc." + series;
  const Colour colour = charts.colour(main);
  std::vector<ChartPoint> points(t.y.size());
  for (std::size_t k = 0; k < points.size(); ++k)
    points[k] = {t.e[k], t.y[k], colour};
  requireDrawable(s, points);
  charts.setPoints("ChartMEISSpec." + reportSeries, points);
  charts.setPoints(main, std::move(points), ChartMode::Meis);
}

void PlotNumericMEIS(Session& s) {
  plotMeisTotal(s, s.state().numericSpectra, "SeriesPrinc", "SeriesPrinc");
}

void PlotAnaliticMEIS(Session& s) {
  plotMeisTotal(s, s.state().besselSpectra, "SeriesBessel", "SeriesBessel");
}

void PlotGaussianMEIS(Session& s) {
  plotMeisTotal(s, s.state().gaussianSpectra, "SeriesGauss", "SeriesGauss");
}

void PlotNumericMEISExt(Session& s) {
  plotMeisTotal(s, s.state().extCsSpectra, "SeriesExtCS", "SeriesExtCSMEIS");
}

void NormalizeMEISProfiles(Session& s) {
  WorkingState& st = s.state();
  s.charts().clear("ChartMEISProf.SeriesSum");
  for (const auto& [name, record] : st.elementMap)
    st.elementProfiles[name];
  const int points = s.currentProfile().count;
  for (int q = 0; q < points; ++q) {
    double sum = 0.0;
    for (const auto& [name, record] : st.elementMap) {
      const profile& p = st.elementProfiles.at(name);
      if (q < p.count) sum += p.values[q];  // a shorter profile has nothing there
    }
    if (sum == 0.0) continue;
    for (const auto& [name, record] : st.elementMap) {
      profile& p = st.elementProfiles.at(name);
      if (q < p.count) p.setValue(q, static_cast<float>(p.values[q] / sum));
    }
  }
  s.Plotprofile();
}

}  // namespace tarvex
