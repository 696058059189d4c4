// The file commands.
#include "io/data_file.h"
#include "io/exports.h"
#include "io/param_file.h"
#include "io/profile_file.h"
#include "state/session.h"

namespace tarvex {

void registerIoActions(Session& s) {
  s.registerAction("SaveParameters", [&s] { SaveParameters(s); });
  s.registerAction("LoadParameters", [&s] { LoadParameters(s); });
  s.registerAction("Savedefaultparam", [&s] { Savedefaultparam(s); });
  s.registerAction("Loaddefaultparam", [&s] { Loaddefaultparam(s); });
  s.registerAction("Loaddata", [&s] { Loaddata(s); });
  s.registerAction("SaveProfile", [&s] { SaveProfile(s); });
  s.registerAction("LoadProfile", [&s] { LoadProfile(s); });
  for (int k = 1; k <= 3; ++k) {
    s.registerAction("LoadBuffer" + std::to_string(k), [&s, k] { loadBuffer(s, k); });
    s.registerAction("StoreBuffer" + std::to_string(k), [&s, k] { storeBuffer(s, k); });
  }
  s.registerAction("SaveAnaliticMEIS", [&s] { SaveAnaliticMEIS(s); });
  s.registerAction("SaveNumericMEIS", [&s] { SaveNumericMEIS(s); });
  s.registerAction("SaveNumericMEISExt", [&s] { SaveNumericMEISExt(s); });
  s.registerAction("SaveGaussianMEIS", [&s] { SaveGaussianMEIS(s); });
  s.registerAction("SaveAnaliticExcitation", [&s] { SaveAnaliticExcitation(s); });
  s.registerAction("SaveNumericExcitation", [&s] { SaveNumericExcitation(s); });
  s.registerAction("ExplortAll", [&s] { ExplortAll(s); });
  s.registerAction("Ultraexporter", [&s] { Ultraexporter(s); });
  s.registerAction("CloseMainWindow", [&s] { closeMainWindow(s); });
  s.registerAction("StartUp", [&s] { startUp(s); });
}

}  // namespace tarvex
