// The ion-scattering plots and the normalization of the element profiles.
#include <vector>

#include "app/meis_commands.h"
#include "app/meis_readers.h"
#include "state/engine_command.h"

namespace tarvex {

MeisTotal meisTotal(Session& s, std::map<std::string, spectro>& spectra, bool lenientSpread) {
  const MeisPlotWindow w = readMeisPlotWindow(s, lenientSpread);
  // An element never computed has an (empty) entry from now on.
  for (const auto& [name, record] : s.state().elementMap)
    spectra[name];
  return meisTotal(w, s.state().elementMap, spectra);
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
