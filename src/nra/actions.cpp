// The resonant NRA actions.
#include "nra/analytic.h"
#include "nra/numeric.h"
#include "nra/plots.h"
#include "state/session.h"

namespace tarvex {

void registerNraActions(Session& s) {
  s.registerAction("CalcAnaliticExcitation", [&s] { CalcAnaliticExcitation(s); });
  s.registerAction("CalcNRPAutos", [&s] { CalcNRPAutos(s); });
  s.registerAction("CalcNumericExcitation", [&s] { CalcNumericExcitation(s); });
  s.registerAction("PlotAnaliticExcitation", [&s] { PlotAnaliticExcitation(s); });
  s.registerAction("PlotNumericExcitation", [&s] { PlotNumericExcitation(s); });
  s.registerAction("PlotExp", [&s] { PlotExp(s); });
}

}  // namespace tarvex
