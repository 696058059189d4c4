#include "app/app.h"

#include "app/builders.h"
#include "app/fit_command.h"
#include "app/report.h"
#include "app/stopping_command.h"
#include "app/target_command.h"
#include "core/physics.h"
#include "state/drawing.h"

namespace tarvex {
namespace {

// Redraws the stored results with the current dose, shift, background and window.
void Preview(Session& s) {
  s.updatebkgrnd();
  const ControlStore& c = s.controls();
  if (!s.nraMode()) {
    if (c.checked("TFOptions.RadioAnalitic")) s.invoke("PlotAnaliticMEIS");
    if (c.checked("TFOptions.RadioNumeric")) s.invoke("PlotNumericMEIS");
    if (c.checked("TFOptions.RadioExternal")) s.invoke("PlotNumericMEISExt");
    if (c.checked("TFOptions.RadioGauss")) s.invoke("PlotGaussianMEIS");
  } else {
    if (c.checked("TFOptions.RadioAnalitic")) s.invoke("PlotAnaliticExcitation");
    if (c.checked("TFOptions.RadioNumeric")) s.invoke("PlotNumericExcitation");
  }
  s.invoke("PlotExp");
}

void ClearPlots(Session& s) {
  ChartStore& ch = s.charts();
  // The curves and data of both modes, the hidden ones too.
  ch.clearEveryMode("ChartPrinc.SeriesBessel");
  ch.clearEveryMode("ChartPrinc.SeriesGauss");
  s.state().measuredPoints.clear();
  ch.clearEveryMode("ChartPrinc.SeriesPrinc");
  ch.clearEveryMode("ChartPrinc.SeriesExp");
  s.setPanel(1, "");
  ch.clearEveryMode("ChartPrinc.SeriesExtCS");
  for (const char* k :
       {"ChartNRPSpec.SeriesBessel", "ChartNRPSpec.SeriesPrinc", "ChartNRPSpec.SeriesExp",
        "ChartMEISSpec.SeriesBessel", "ChartMEISSpec.SeriesPrinc", "ChartMEISSpec.SeriesExp",
        "ChartMEISSpec.SeriesGauss", "ChartMEISSpec.SeriesExtCSMEIS"}) {
    ch.clear(k);
  }
}

// The screened Rutherford cross section of protons on titanium at 120 degrees relative to its
// value at 100 keV, from 60 to 300 keV: a check of the cross section the spectra use.
void Sigma(Session& s) {
  const auto sigma = [](double e) { return rutherfordCrossSection(0, 120, 1, 22, 1, 48, e); };
  const double at100 = sigma(100.0);
  const Colour colour = s.charts().colour("ChartPrinc.SeriesGauss");
  std::vector<ChartPoint> points;
  points.reserve(241);
  for (int e = 60; e <= 300; ++e)
    points.push_back({static_cast<double>(e), sigma(e) / at100, colour});
  // Drawn in the Gaussian model's series: on the main chart of the mode shown (asked for now,
  // so it is shown now) and on the ion-scattering report.
  s.charts().setPoints("ChartMEISSpec.SeriesGauss", points);
  s.charts().setPoints("ChartPrinc.SeriesGauss", std::move(points));
}

}  // namespace

void registerAllActions(Session& s) {
  registerNraActions(s);
  registerMeisActions(s);
  registerIoActions(s);
  s.registerAction("Preview", [&s] { Preview(s); });
  s.registerAction("ClearPlots", [&s] { ClearPlots(s); });
  s.registerAction("Sigma", [&s] { Sigma(s); });
  registerBuilderActions(s);
  registerDrawingActions(s);
  registerReportActions(s);
  registerFitActions(s);
  registerStoppingActions(s);
  registerTargetActions(s);
}

}  // namespace tarvex
