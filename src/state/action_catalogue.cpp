#include "state/action_catalogue.h"

namespace tarvex {

const std::vector<ActionSpec>& actionCatalogue() {
  static const std::vector<ActionSpec> list = {
      {"CalcSimulation", "Calculate", "Calculations"},
      {"CalcNRPAutos", "Calculate", "Calculations"},
      {"CalcNumericExcitation", "Calculate", "Calculations"},
      {"CalcAnaliticExcitation", "Calculate", "Calculations"},
      {"CalcAnaliticMEIS", "Calculate", "Calculations"},
      {"CalcNumericMEIS", "Calculate", "Calculations"},
      {"CalcMEISAutos", "Calculate", "Calculations"},
      {"CalcGaussianMEIS", "CalcGaussianMEIS", "Calculations"},
      {"CalcMEISAutosExt", "CalcMEISAutosExt", "Calculations"},
      {"CalcNumericMEISExt", "CalcNumericMEISExt", "Calculations"},
      {"ClearPlots", "Clear Plots", "Plots"},
      {"Preview", "Preview", "Plots"},
      {"Plotprofile", "Plotprofile", "Plots"},
      {"PlotExp", "PlotExp", "Plots"},
      {"PlotNumericExcitation", "PlotNumericExcitation", "Plots"},
      {"PlotAnaliticExcitation", "PlotAnaliticExcitation", "Plots"},
      {"PlotAnaliticMEIS", "PlotAnaliticMEIS", "Plots"},
      {"PlotNumericMEIS", "PlotNumericMEIS", "Plots"},
      {"PlotGaussianMEIS", "PlotGaussianMEIS", "Plots"},
      {"PlotNumericMEISExt", "PlotNumericMEISExt", "Plots"},
      {"NormalizeMEISProfiles", "Normalize", "Plots"},
      {"Adderfc", "Add erfc", "Profile"},
      {"Tryadderfc", "Try add erfc", "Profile"},
      {"Trysubtract", "Try subtract", "Profile"},
      {"Substracterfc", "Subtract erfc", "Profile"},
      {"Drawline", "Draw line", "Profile"},
      {"Loaddata", "Load data", "File-Load"},
      {"LoadParameters", "Load Param", "File-Load"},
      {"Loaddefaultparam", "Reset parameters", "File-Load"},
      {"LoadProfile", "Load File", "File-Load"},
      {"LoadSCC", "Load SCC", "File-Load"},
      {"SaveParameters", "Save Param", "File-Save"},
      {"Savedefaultparam", "Save Def Param", "File-Save"},
      {"SaveProfile", "Save File", "File-Save"},
      {"ExplortAll", "Explort all", "File-Save"},
      {"SaveAnaliticExcitation", "Analitic excitation", "File-Save"},
      {"SaveNumericExcitation", "Numeric excitation", "File-Save"},
      {"SaveAnaliticMEIS", "Analitic MEIS", "File-Save"},
      {"Ultraexporter", "Ultra Exporter", "File-Save"},
      {"Updateplot", "Update plot", ""},
      {"ShowSelectedMode", "ShowSelectedMode", ""},
      {"PreviewNRPReport", "Report", ""},
      {"PreviewMEISReport", "PreviewMEISReport", ""},
      {"Report", "Report", ""},
      {"ShowReport", "ShowReport", ""},
      {"updatebkgrnd", "Update Background", ""},
  };
  return list;
}

const ActionSpec* findActionSpec(const std::string& name) {
  for (const ActionSpec& a : actionCatalogue()) {
    if (name == a.name) return &a;
  }
  return nullptr;
}

}  // namespace tarvex
