#include "app/app.h"

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
  ch.clear("ChartPrinc.SeriesBessel");
  ch.clear("ChartPrinc.SeriesGauss");
  s.state().measuredPoints.clear();
  ch.clear("ChartPrinc.SeriesPrinc");
  ch.clear("ChartPrinc.SeriesExp");
  s.setPanel(1, "");
  ch.clear("ChartPrinc.SeriesExtCS");
  for (const char* k :
       {"ChartNRPSpec.SeriesBessel", "ChartNRPSpec.SeriesPrinc", "ChartNRPSpec.SeriesExp",
        "ChartMEISSpec.SeriesBessel", "ChartMEISSpec.SeriesPrinc", "ChartMEISSpec.SeriesExp",
        "ChartMEISSpec.SeriesExtCSMEIS"}) {
    ch.clear(k);
  }
}

}  // namespace

void registerAllActions(Session& s) {
  registerNraActions(s);
  registerMeisActions(s);
  registerIoActions(s);
  s.registerAction("Preview", [&s] { Preview(s); });
  s.registerAction("ClearPlots", [&s] { ClearPlots(s); });
}

}  // namespace tarvex
