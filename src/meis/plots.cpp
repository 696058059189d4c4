#include "meis/plots.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "state/session.h"

namespace tarvex {

void plotMeisTotal(Session& s, std::map<std::string, spectro>& spectra, const std::string& series,
                   const std::string& reportSeries) {
  const double dose = s.number("TFOptions.EditMult");
  double plotStep = 10.0;  // eV
  if (!s.controls().checked("TFOptions.CheckConv")) plotStep = 1.0;
  if (s.number("TFMEIS.EditGauss") < 50.0) plotStep = 1.0;  // sharp spectra: a finer spacing
  const double lo = std::trunc(s.integer("TFMEIS.EditSimMin") * 1000.0 / plotStep);
  const double hi = std::trunc(s.integer("TFMEIS.EditSimMax") * 1000.0 / plotStep);
  if (hi > 5.0e7 || lo < -5.0e7) {
    throw std::invalid_argument("The plotted energy window is too wide");
  }
  const long long i0 = static_cast<long long>(lo);
  const long long n = static_cast<long long>(hi);
  // Only the drawn part of the window, q = i0 .. n-1, is summed.
  std::vector<double> total(static_cast<std::size_t>(std::max(0LL, n - i0)), 0.0);
  for (const auto& [name, record] : s.state().elementMap) {
    const spectro& sp = spectra[name];  // an element never computed contributes 0
    for (long long q = i0; q < n; ++q) {
      total[static_cast<std::size_t>(q - i0)] += sp.interpolate(-static_cast<double>(q) * plotStep);
    }
  }
  ChartStore& charts = s.charts();
  const std::string main = "ChartPrinc." + series;
  const Colour colour = charts.colour(main);
  const backgroundLine& line = s.state().meisBackgroundLine;
  std::vector<ChartPoint> points;
  points.reserve(total.size());
  for (long long q = i0; q < n; ++q) {
    const double e = static_cast<double>(q) * 0.001 * plotStep;
    points.push_back(
        {e, lineValue(line, e) + dose * total[static_cast<std::size_t>(q - i0)], colour});
  }
  if (!reportSeries.empty()) charts.setPoints("ChartMEISSpec." + reportSeries, points);
  charts.setPoints(main, std::move(points));
}

void PlotNumericMEIS(Session& s) {
  plotMeisTotal(s, s.state().numericSpectra, "SeriesPrinc", "SeriesPrinc");
}

void PlotAnaliticMEIS(Session& s) {
  plotMeisTotal(s, s.state().besselSpectra, "SeriesBessel", "SeriesBessel");
}

void PlotGaussianMEIS(Session& s) {
  plotMeisTotal(s, s.state().gaussianSpectra, "SeriesGauss", "");
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
