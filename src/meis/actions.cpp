// The ion-scattering actions and the external cross-section window's buttons.
#include "meis/closed_form.h"
#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"
#include "state/session.h"

namespace tarvex {

void registerMeisActions(Session& s) {
  s.registerAction("CalcGaussianMEIS", [&s] { CalcGaussianMEIS(s); });
  s.registerAction("CalcAnaliticMEIS", [&s] { CalcAnaliticMEIS(s); });
  s.registerAction("CalcMEISAutos", [&s] { CalcMEISAutos(s); });
  s.registerAction("CalcNumericMEIS", [&s] { CalcNumericMEIS(s); });
  s.registerAction("CalcMEISAutosExt", [&s] { CalcMEISAutosExt(s); });
  s.registerAction("CalcNumericMEISExt", [&s] { CalcNumericMEISExt(s); });
  s.registerAction("PlotNumericMEIS", [&s] { PlotNumericMEIS(s); });
  s.registerAction("PlotAnaliticMEIS", [&s] { PlotAnaliticMEIS(s); });
  s.registerAction("PlotGaussianMEIS", [&s] { PlotGaussianMEIS(s); });
  s.registerAction("PlotNumericMEISExt", [&s] { PlotNumericMEISExt(s); });
  s.registerAction("NormalizeMEISProfiles", [&s] { NormalizeMEISProfiles(s); });
  s.registerAction("LoadSCC", [&s] { LoadSCC(s); });
  s.controls().onClick("TFExternCS.ButCSF", [&s] { chooseLossFile(s, "TFExternCS.EditCSFile"); });
  s.controls().onClick("TFExternCS.ButSCCF", [&s] { chooseLossFile(s, "TFExternCS.EditSCCFile"); });
}

}  // namespace tarvex
