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
      {"UndoEdit", "Undo edit", "Profile"},
      {"RedoEdit", "Redo edit", "Profile"},
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
      {"SaveReportPdf", "Save report as PDF...", "File-Save"},
      {"Updateplot", "Update plot", ""},
      {"ShowSelectedMode", "ShowSelectedMode", ""},
      {"PreviewNRPReport", "Report", ""},
      {"PreviewMEISReport", "PreviewMEISReport", ""},
      {"Report", "Report", ""},
      {"ShowReport", "ShowReport", ""},
      {"updatebkgrnd", "Update Background", ""},
      {"Sigma", "Sigma", ""},
      {"FitFromProfile", "From profile", "Fit"},
      {"Fit", "Fit", "Fit"},
      {"UndoFit", "Undo fit", "Fit"},
      {"ShowStopping", "Stopping...", "Stopping"},
      {"CalcStopping", "Calculate", "Stopping"},
      {"ApplyStopping", "Apply", "Stopping"},
      {"UndoStopping", "Undo apply", "Stopping"},
      {"LoadStoppingTable", "Load table...", "Stopping"},
      {"Stop", "Stop", ""},
  };
  return list;
}

const ActionSpec* findActionSpec(const std::string& name) {
  for (const ActionSpec& a : actionCatalogue()) {
    if (name == a.name) return &a;
  }
  return nullptr;
}

std::string commandMenuText(const ActionSpec& action) {
  struct Words {
    const char* name;
    const char* text;
  };
  static const Words words[] = {
      {"CalcSimulation", "Calculate: selected mode and model"},
      {"CalcNRPAutos", "Calculate: resonant NRA collision tables only"},
      {"CalcNumericExcitation", "Calculate: numeric resonant NRA"},
      {"CalcAnaliticExcitation", "Calculate: analytic resonant NRA"},
      {"CalcAnaliticMEIS", "Calculate: Bessel ion scattering"},
      {"CalcNumericMEIS", "Calculate: numeric ion scattering"},
      {"CalcMEISAutos", "Calculate: ion-scattering collision tables only"},
      {"CalcGaussianMEIS", "Calculate: Gaussian ion scattering"},
      {"CalcMEISAutosExt", "Calculate: external cross-section collision tables only"},
      {"CalcNumericMEISExt", "Calculate: external cross-section ion scattering"},
      {"Plotprofile", "Plot the profile"},
      {"PlotExp", "Plot the measured data"},
      {"PlotNumericExcitation", "Plot: numeric resonant NRA"},
      {"PlotAnaliticExcitation", "Plot: analytic resonant NRA"},
      {"PlotAnaliticMEIS", "Plot: Bessel ion scattering"},
      {"PlotNumericMEIS", "Plot: numeric ion scattering"},
      {"PlotGaussianMEIS", "Plot: Gaussian ion scattering"},
      {"PlotNumericMEISExt", "Plot: external cross-section ion scattering"},
      {"ShowSelectedMode", "Show the selected mode"},
      {"PreviewNRPReport", "Report: fill the resonant NRA page"},
      {"PreviewMEISReport", "Report: fill the ion-scattering page"},
      {"Report", "Report: print preview of the selected mode"},
      {"ShowReport", "Report: show the report window"},
      {"ShowStopping", "Stopping: open the window for the current mode"},
      {"CalcStopping", "Stopping: calculate"},
      {"ApplyStopping", "Stopping: write the values into the mode's fields"},
      {"UndoStopping", "Stopping: undo the last apply"},
      {"LoadStoppingTable", "Stopping: load a table of one's own"},
  };
  for (const Words& w : words) {
    if (std::string(w.name) == action.name) return w.text;
  }
  return action.caption;
}

const std::vector<MenuSpec>& menuCatalogue() {
  static const std::vector<MenuSpec> list = {
      {"MainMenu1", "", "TFTarvex3.Tarvex1"},
      {"MainMenu1", "", "TFTarvex3.FreeHand1"},
      {"MainMenu1", "", "TFTarvex3.LoadData1"},
      {"MainMenu1", "", "TFTarvex3.SaveCalculation1"},
      {"MainMenu1", "", "TFTarvex3.Log2"},
      {"MainMenu1", "", "TFTarvex3.Report1"},
      {"MainMenu1", "", "TFTarvex3.About"},
      {"MainMenu1", "", "TFTarvex3.Test1"},
      {"MainMenu1", "", "TFTarvex3.Sgima1"},
      {"MainMenu1", "", "TFTarvex3.Layers1"},
      {"MainMenu1", "", "TFTarvex3.ExternalCrossSection1"},
      {"MainMenu1", "", "TFTarvex3.Fit1"},
      {"MainMenu1", "", "TFTarvex3.Target1"},
      {"MainMenu1", "", "TFTarvex3.Stopping1"},
      // Every action of the action list, by category (filled by the front end).
      {"MainMenu1", "", "TFTarvex3.Actions1"},

      {"TarvexPopup", "", "TFTarvex3.Profile1"},
      {"TarvexPopup", "TFTarvex3.Profile1", "TFTarvex3.LoadProfile1"},
      {"TarvexPopup", "TFTarvex3.Profile1", "TFTarvex3.SaveFile1"},
      {"TarvexPopup", "TFTarvex3.Profile1", "TFTarvex3.StoreinBuffer1"},
      {"TarvexPopup", "TFTarvex3.StoreinBuffer1", "TFTarvex3.N11"},
      {"TarvexPopup", "TFTarvex3.StoreinBuffer1", "TFTarvex3.N21"},
      {"TarvexPopup", "TFTarvex3.StoreinBuffer1", "TFTarvex3.N31"},
      {"TarvexPopup", "TFTarvex3.Profile1", "TFTarvex3.Buffer1"},
      {"TarvexPopup", "TFTarvex3.Buffer1", "TFTarvex3.N12"},
      {"TarvexPopup", "TFTarvex3.Buffer1", "TFTarvex3.N22"},
      {"TarvexPopup", "TFTarvex3.Buffer1", "TFTarvex3.N32"},
      {"TarvexPopup", "", "TFTarvex3.Simulations1"},
      {"TarvexPopup", "TFTarvex3.Simulations1", "TFTarvex3.UltraExporter1"},
      {"TarvexPopup", "", "TFTarvex3.AnaliticExcitation1"},
      {"TarvexPopup", "", "TFTarvex3.Calculate1"},
      {"TarvexPopup", "", "TFTarvex3.AnaliticMEIS1"},
      {"TarvexPopup", "", "TFTarvex3.GaussianMEIS1"},
      {"TarvexPopup", "", "TFTarvex3.NumericMEIS1"},
      {"TarvexPopup", "", "TFTarvex3.NumericMEISECS1"},
      {"TarvexPopup", "", "TFTarvex3.ClearPlots1"},
      {"TarvexPopup", "", "TFTarvex3.Loaddefaultparam1"},
      {"TarvexPopup", "", "TFTarvex3.PreviewReport1"},
      {"TarvexPopup", "", "TFTarvex3.Show1"},
      {"TarvexPopup", "", "TFTarvex3.SaveReportPdf1"},
      {"TarvexPopup", "", "TFTarvex3.Convolve1"},
      {"TarvexPopup", "TFTarvex3.Convolve1", "TFTarvex3.Externalfile1"},
      {"TarvexPopup", "", "TFTarvex3.ZoomOut1"},
      {"TarvexPopup", "", "TFTarvex3.LogCounts1"},
      {"TarvexPopup", "", "TFTarvex3.SaveChart1"},

      {"TFSample.MainMenu", "", "TFSample.Calculate1"},
      {"TFSample.MainMenu", "", "TFSample.ExternalCS1"},
      {"TFSample.MainMenu", "", "TFSample.Analitic1"},
      {"TFSample.MainMenu", "", "TFSample.Gauss1"},
      {"TFSample.MainMenu", "", "TFSample.Smooth1"},
      {"TFSample.MainMenu", "", "TFSample.EnableZoom1"},
      {"TFSample.MainMenu", "", "TFSample.Undo1"},
      {"TFSample.MainMenu", "", "TFSample.UndoEdit1"},
      {"TFSample.MainMenu", "", "TFSample.RedoEdit1"},
  };
  return list;
}

const std::vector<ShowWindowSpec>& showWindowItems() {
  static const std::vector<ShowWindowSpec> list = {
      {"TFTarvex3.Tarvex1", "TFOptions"},
      {"TFTarvex3.FreeHand1", "TFSample"},
      {"TFTarvex3.Log2", "TFLog"},
      {"TFTarvex3.About", "TAboutBox"},
      {"TFTarvex3.Test1", "TFHG"},
      {"TFTarvex3.Layers1", "TFLayers"},
      {"TFTarvex3.ExternalCrossSection1", "TFExternCS"},
      {"TFTarvex3.Fit1", "TFFit"},
      {"TFTarvex3.Target1", "TFTarget"},
  };
  return list;
}

}  // namespace tarvex
