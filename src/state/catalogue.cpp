// The catalogue of every control: kind, caption or label, and design text or state. The
// control store and the Qt windows are both built from it, so a caption or a default lives here
// only.
#include <deque>
#include <string>

#include "state/controls.h"

namespace tarvex {
namespace {

using K = ControlKind;

struct Builder {
  std::vector<ControlSpec> rows;
  // Generated keys live in a pool that never moves them.
  std::deque<std::string>* pool;

  const char* keep(std::string s) {
    pool->push_back(std::move(s));
    return pool->back().c_str();
  }
  void form(const char* key, const char* caption) { rows.push_back({key, K::Form, caption}); }
  void frame(const char* key, const char* caption) { rows.push_back({key, K::Frame, caption}); }
  void edit(const char* key, const char* label, const char* text, bool enabled = true,
            bool readOnly = false) {
    rows.push_back({key, K::Edit, label, text, false, enabled, "", "", readOnly});
  }
  void check(const char* key, const char* caption, bool checked) {
    rows.push_back({key, K::Check, caption, "", checked});
  }
  void radio(const char* key, const char* caption, const char* group, bool checked,
             const char* action = "") {
    rows.push_back({key, K::Radio, caption, "", checked, true, group, action});
  }
  void button(const char* key, const char* caption, const char* action = "") {
    rows.push_back({key, K::Button, caption, "", false, true, "", action});
  }
  void menu(const char* key, const char* caption, const char* action = "", bool checked = false) {
    rows.push_back({key, K::MenuItem, caption, "", checked, true, "", action});
  }
  void list(const char* key, const char* label) { rows.push_back({key, K::List, label}); }
  void combo(const char* key, const char* label) { rows.push_back({key, K::Combo, label}); }
  void panel(const char* key, const char* text = "") { rows.push_back({key, K::Panel, "", text}); }
  void memo(const char* key) { rows.push_back({key, K::Memo, ""}); }
  void radioGroup(const char* key, const char* caption, const char* items) {
    rows.push_back({key, K::RadioGroup, caption, items});
  }
};

// The profile tools shared by both parameter frames.
void profileGroup(Builder& b, const std::string& f) {
  const auto k = [&](const char* name) { return b.keep(f + "." + name); };
  b.frame(k("GroupProfile"), "Profile");
  b.frame(k("GroupErfc"), "Add erfc");
  b.frame(k("GroupLine"), "Draw line");
  b.edit(k("EditMaxDepth"), "Thickness", "10");
  b.edit(k("EditCont"), "Contamination", "0");
  b.edit(k("EditCmax"), "Max:", "1");
  b.edit(k("Editqtd"), "Max:", "1");
  b.edit(k("EditSigma"), "Sigma", "1");
  b.button(k("ButtonAdderfc"), "Add erfc", "Adderfc");
  b.button(k("ButtonTryadderfc"), "Try add erfc", "Tryadderfc");
  b.button(k("ButtonSubstracterfc"), "Subtract erfc", "Substracterfc");
  b.button(k("ButtonTrysubtract"), "Try subtract", "Trysubtract");
  b.edit(k("Editx1"), "x1:", "0");
  b.edit(k("Editx2"), "x2", "1");
  b.edit(k("Editc1"), "c1:", "1");
  b.edit(k("Editc2"), "c2:", "1");
  b.button(k("ButtonDrawline"), "Draw line", "Drawline");
  b.button(k("Button3"), "Update plot", "Updateplot");
}

std::vector<ControlSpec> build(std::deque<std::string>* pool) {
  Builder b{{}, pool};

  // Main window.
  b.form("TFTarvex3", "Tarvex 3.0 Beta");
  for (const char* p : {"TFTarvex3.StatusBar1.0", "TFTarvex3.StatusBar1.1",
                        "TFTarvex3.StatusBar1.2", "TFTarvex3.StatusBar1.3"}) {
    b.panel(p);
  }
  b.button("TFTarvex3.ButtonStop", "Stop", "Stop");
  // Charts: the caption is the title of the bottom axis.
  b.frame("TFTarvex3.ChartPrinc", "Energy (keV)");
  // Main menu MainMenu1 (its layout is in the menu list of action_catalogue.cpp).
  b.menu("TFTarvex3.Tarvex1", "&Options");
  b.menu("TFTarvex3.FreeHand1", "&Sample");
  b.menu("TFTarvex3.LoadData1", "Load data", "Loaddata");
  b.menu("TFTarvex3.SaveCalculation1", "Export all", "ExplortAll");
  b.menu("TFTarvex3.Log2", "&Log ");
  b.menu("TFTarvex3.Report1", "Report", "Report");
  b.menu("TFTarvex3.About", "&About");
  b.menu("TFTarvex3.Test1", "Test");
  b.menu("TFTarvex3.Sgima1", "Sigma", "Sigma");
  b.menu("TFTarvex3.Layers1", "Layers");
  b.menu("TFTarvex3.ExternalCrossSection1", "External Cross Section");
  b.menu("TFTarvex3.Actions1", "&Commands");
  // Popup menu TarvexPopup.
  b.menu("TFTarvex3.Profile1", "Profile");
  b.menu("TFTarvex3.LoadProfile1", "Load File", "LoadProfile");
  b.menu("TFTarvex3.SaveFile1", "Save File", "SaveProfile");
  b.menu("TFTarvex3.StoreinBuffer1", "Load Buffer");
  b.menu("TFTarvex3.N11", "1", "LoadBuffer1");
  b.menu("TFTarvex3.N21", "2", "LoadBuffer2");
  b.menu("TFTarvex3.N31", "3", "LoadBuffer3");
  b.menu("TFTarvex3.Buffer1", "Store Buffer");
  b.menu("TFTarvex3.N12", "1", "StoreBuffer1");
  b.menu("TFTarvex3.N22", "2", "StoreBuffer2");
  b.menu("TFTarvex3.N32", "3", "StoreBuffer3");
  b.menu("TFTarvex3.Simulations1", "Save calculation");
  b.menu("TFTarvex3.UltraExporter1", "Ultra Exporter", "Ultraexporter");
  b.menu("TFTarvex3.AnaliticExcitation1", "Analitic excitation", "SaveAnaliticExcitation");
  b.menu("TFTarvex3.Calculate1", "Numeric excitation", "SaveNumericExcitation");
  b.menu("TFTarvex3.AnaliticMEIS1", "Analitic MEIS", "SaveAnaliticMEIS");
  b.menu("TFTarvex3.GaussianMEIS1", "Gaussian MEIS", "SaveGaussianMEIS");
  b.menu("TFTarvex3.NumericMEIS1", "Numeric MEIS", "SaveNumericMEIS");
  b.menu("TFTarvex3.NumericMEISECS1", "Numeric MEIS ECS", "SaveNumericMEISExt");
  b.menu("TFTarvex3.ClearPlots1", "Clear Plots", "ClearPlots");
  b.menu("TFTarvex3.Loaddefaultparam1", "Reset parameters", "Loaddefaultparam");
  b.menu("TFTarvex3.PreviewReport1", "Report", "Report");
  b.menu("TFTarvex3.Show1", "ShowReport", "ShowReport");
  b.menu("TFTarvex3.SaveReportPdf1", "Save report as PDF...", "SaveReportPdf");
  b.menu("TFTarvex3.Convolve1", "Convolve ");
  b.menu("TFTarvex3.Externalfile1", "Load SCC", "LoadSCC");
  // Chart commands of the desktop program (popup menu, shortcuts, double click).
  b.menu("TFTarvex3.ZoomOut1", "Zoom out");
  b.menu("TFTarvex3.LogCounts1", "Logarithmic counts");
  b.menu("TFTarvex3.SaveChart1", "Save chart as...");
  b.menu("TFTarvex3.Quit1", "Quit");

  // About box.
  b.form("TAboutBox", "About");
  b.panel("TAboutBox.ProductName", "Tarvex");
  b.panel("TAboutBox.Version", "");
  b.button("TAboutBox.OKButton", "OK");

  // Report window.
  b.form("TFReport", "Report");

  // Options window.
  b.form("TFOptions", "Options");
  b.edit("TFOptions.EditBack", "Background:", "0");
  b.edit("TFOptions.EditShift", "Shift:", "0");
  b.edit("TFOptions.EditMult", "Ion dose:", "8");
  b.button("TFOptions.Button1", "Preview", "Preview");
  b.button("TFOptions.Button2", "OK");
  b.button("TFOptions.ButtonHide", "Hide");
  b.button("TFOptions.Button3", "Background");
  b.radio("TFOptions.RadioNRP", "Resonant NRA", "Mode", true);
  b.radio("TFOptions.RadioMEIS", "Ion Scattering", "Mode", false);
  b.radio("TFOptions.RadioNumeric", "Numeric", "Model", true, "ShowNumeric");
  b.radio("TFOptions.RadioAnalitic", "Bessel", "Model", false);
  b.radio("TFOptions.RadioGauss", "Gaussian", "Model", false);
  b.radio("TFOptions.RadioExternal", "External CS", "Model", false);
  b.frame("TFOptions.GroupMode", "Mode");
  b.frame("TFOptions.GroupModel", "Energy loss model");
  b.check("TFOptions.CheckConv", "Convolve", true);
  b.check("TFOptions.CheckRememberSettings", "Remember Settings", true);

  // Resonant NRA frame.
  b.frame("TFNRP", "Resonant NRA options");
  b.edit("TFNRP.EditEnrg", "Resonance energy (keV):", "151");
  b.edit("TFNRP.EditLor", "Resonance FWHM (eV):", "100");
  b.edit("TFNRP.EditGauss", "Gaussian spread (eV):", "100");
  b.frame("TFNRP.GroupEnergyLoss", "Energy loss");
  b.frame("TFNRP.GroupNumeric", "Numerical Parameters");
  b.edit("TFNRP.Editdedx", "Stopping Power:", "548.56");
  b.edit("TFNRP.EditS", "Straggling:", "6.62");
  b.edit("TFNRP.EditMaxE", "Max Energy (keV):", "5");
  b.edit("TFNRP.EditStep", "Step size (eV):", "10", false);
  b.edit("TFNRP.EditNc", "# Convolutions:", "5", false);
  b.edit("TFNRP.EditVecsize", "Vector size:", "1000", false);
  b.edit("TFNRP.EditEmin", "Emin (eV):", "0", true, true);
  b.edit("TFNRP.EditEmax", "Emax (eV):", "0", true, true);
  b.check("TFNRP.CheckAuto", "Auto Mode", true);
  b.button("TFNRP.ButtonCalculate", "Calculate", "CalcSimulation");
  profileGroup(b, "TFNRP");

  // Ion-scattering frame.
  b.frame("TFMEIS", "Ion Scattering options");
  b.edit("TFMEIS.EditEnrg", "Ion energy (keV):", "100");
  b.edit("TFMEIS.EditGauss", "Energy Spread (eV):", "180");
  b.edit("TFMEIS.EditPmass", "Projectile mass:", "1");
  b.edit("TFMEIS.EditZp", "Projectile Z:", "1");
  b.frame("TFMEIS.GroupEnergyLoss", "Energy loss");
  b.frame("TFMEIS.GroupNumeric", "Numerical Parameters");
  b.frame("TFMEIS.GroupComposition", "Sample composition");
  b.frame("TFMEIS.GroupGeometry", "Geometry");
  b.edit("TFMEIS.Editdedx", "dE/dx: (eV/nm)", "192");
  b.edit("TFMEIS.EditS", "dW^2/dx: (eV^2/nm)", "20740");
  b.edit("TFMEIS.EditNc", "# Convolutions:", "5", false);
  b.edit("TFMEIS.EditVecsize", "Vector size:", "1000", false);
  b.edit("TFMEIS.EditStep", "Step size (eV):", "10", false);
  b.check("TFMEIS.CheckAuto", "Auto Mode", true);
  b.edit("TFMEIS.EditEmin", "Emin (eV):", "0", true, true);
  b.edit("TFMEIS.EditEmax", "Emax (eV):", "0", true, true);
  b.edit("TFMEIS.EditDeltaE", "Delta E (keV):", "5");
  b.edit("TFMEIS.EditSimMin", "Min (keV)", "90");
  b.edit("TFMEIS.EditSimMax", "Max (keV)", "100");
  b.button("TFMEIS.ButtonCalculate", "Calculate", "CalcSimulation");
  b.list("TFMEIS.ListElements", "Elements:");
  b.edit("TFMEIS.EditElname", "Element:", "Hf");
  b.edit("TFMEIS.EditMass", "Mass:", "178.5");
  b.edit("TFMEIS.EditZ", "Z:", "72");
  b.edit("TFMEIS.EditSCL", "Sigma (eV):", "216.8");
  b.check("TFMEIS.CheckSCCorr", "SCC", true);
  b.button("TFMEIS.ButtonAdd", "Add");
  b.button("TFMEIS.ButtonDel", "Delete");
  b.button("TFMEIS.Button1", "^");
  b.edit("TFMEIS.EditTIn", "Theta in:", "0");
  b.edit("TFMEIS.EditTOut", "Theta out:", "70");
  b.edit("TFMEIS.EditProfstep", "Step:", "0.01");
  profileGroup(b, "TFMEIS");

  // External cross-section window.
  b.form("TFExternCS", "External cross section");
  b.frame("TFExternCS.GroupCS", "External cross section");
  b.frame("TFExternCS.GroupSCC", "Single Collision Correction");
  b.edit("TFExternCS.EditCSFile", "Cross section file:", "crosssection.dat");
  b.button("TFExternCS.ButCSF", "...");
  b.edit("TFExternCS.EditNcExt", "Nc:", "100");
  b.edit("TFExternCS.EditDensity", "N: (molecules/cm^3)", "2.8e22");
  b.edit("TFExternCS.Editdedx", "dE/dx: (eV/nm)", "0");
  b.edit("TFExternCS.Editdw2dx", "dW^2/dx: (eV^2/nm)", "0");
  b.radio("TFExternCS.RadioSCCBasic", "alpha*exp^(-alpha*E)", "SCC", false);
  b.radio("TFExternCS.RadioSCCFile", "SCC file:", "SCC", true);
  b.edit("TFExternCS.EditSCCFile", "SCC file:", "scc.dat");
  b.button("TFExternCS.ButSCCF", "...");
  b.edit("TFExternCS.EditSigmaExtSCC", "Sigma: (eV)", "0");
  b.edit("TFExternCS.EditShift", "Shift: (eV)", "35");

  // Background window.
  b.form("TFBackground", "Background playground");
  b.radioGroup("TFBackground.Bkgrdradio", "Bkgrdradio", "Flat|Linear");
  b.frame("TFBackground.Constants", "Constants");
  b.edit("TFBackground.EditEs", "Es:", "0");
  b.edit("TFBackground.EditEf", "Ef:", "500");
  b.edit("TFBackground.EditYs", "Ys:", "0");
  b.edit("TFBackground.EditYf", "Yf:", "0");
  b.button("TFBackground.Button1", "Preview", "Preview");
  b.button("TFBackground.Button2", "OK", "Preview");

  // Sample window and its two frames.
  b.form("TFSample", "Sample");
  b.menu("TFSample.Calculate1", "Calculate", "CalcSimulation");
  b.menu("TFSample.ExternalCS1", "External CS");
  b.menu("TFSample.Analitic1", "Bessel");
  b.menu("TFSample.Gauss1", "Gauss");
  b.menu("TFSample.Smooth1", "Smooth", "Smooth");
  b.menu("TFSample.EnableZoom1", "Enable Zoom", "", true);
  b.menu("TFSample.Undo1", "Undo", "Undo");
  b.menu("TFSample.UndoEdit1", "Undo edit", "UndoEdit");
  b.menu("TFSample.RedoEdit1", "Redo edit", "RedoEdit");
  b.frame("TFrameNRPSample", "");
  b.frame("TFrameNRPSample.ChartNRPProf", "Depth (Angstroms)");
  b.panel("TFrameNRPSample.StatusDraw");
  b.frame("TFrameMEISSample", "");
  b.frame("TFrameMEISSample.ChartMEISProf", "Depth (Angstroms)");
  b.combo("TFrameMEISSample.ComboEl_list", "");
  b.panel("TFrameMEISSample.StatusDraw.0");
  b.panel("TFrameMEISSample.StatusDraw.1");
  b.button("TFrameMEISSample.ButtonNormalizar", "Normalize", "NormalizeMEISProfiles");

  // Log window.
  b.form("TFLog", "Log");
  b.memo("TFLog.EditLog");

  // Uniform sample builder.
  b.form("TFHG", "Uniform sample");
  struct Row {
    bool checked;
    const char *el, *z, *m, *sigma, *qtd;
  };
  const Row rows[] = {{true, "Hafnium174", "72", "174", "216.8", "0.146"},
                      {true, "Hafnium176", "72", "176", "216.8", "4.8"},
                      {true, "Hafnium177", "72", "177", "216.8", "17"},
                      {true, "Hafnium178", "72", "178", "216.8", "24.9"},
                      {true, "Hafnium179", "72", "179", "216.8", "12.43"},
                      {true, "Hafnium180", "72", "180", "216.8", "32.03"},
                      {true, "Zr", "40", "91.2", "216.8", "10"},
                      {false, "Edit1", "Edit1", "Edit1", "216.8", "Edit1"}};
  for (int r = 1; r <= 8; ++r) {
    const Row& row = rows[r - 1];
    const std::string n = std::to_string(r);
    b.check(b.keep("TFHG.Check" + n), "", row.checked);
    b.edit(b.keep("TFHG.Editel" + n), r == 1 ? "Element:" : "", row.el);
    b.edit(b.keep("TFHG.EditZ" + n), r == 1 ? "Z" : "", row.z);
    b.edit(b.keep("TFHG.EditM" + n), r == 1 ? "Mass" : "", row.m);
    b.edit(b.keep("TFHG.EditSigma" + n), r == 1 ? "Sigma" : "", row.sigma);
    b.edit(b.keep("TFHG.EditQtd" + n), r == 1 ? "Qtd" : "", row.qtd);
  }
  b.edit("TFHG.Editthickness", "", "2");
  b.button("TFHG.Button1", "Calculate");
  b.button("TFHG.Button2", "Normalize");
  b.button("TFHG.Button3", "Titanium");

  // Layered sample builder.
  b.form("TFLayers", "Layered sample");
  const char* thickness[] = {"1", ".01", "0", "0", "0", "0"};
  // Concentrations of the five slots of each layer: fractions that only count once an element
  // is named beside them (pairs that make up a whole, as in an oxide or a mixed layer).
  const char* concentration[6][5] = {
      {"0", "0.6", "0.74", "0.9522", "0.5"},     {"1", "0.4", "0.26", "0.0478", "0.5"},
      {"0.6", "0.4", "0.74", "0.26", "1"},       {"0.9522", "0.0478", "0.6", "0.4", "1"},
      {"0.74", "0.26", "0.9522", "0.0478", "1"}, {"0.5", "0.5", "0.6", "0.4", "1"}};
  for (int k = 1; k <= 6; ++k) {
    const std::string l = std::string("L").append(std::to_string(k));
    b.edit(b.keep("TFLayers.EditThick" + l), "Thickness:", thickness[k - 1]);
    for (int s = 1; s <= 5; ++s) {
      const std::string slot = std::to_string(s) + l;
      const bool hf = s == 1 && k <= 2;
      b.edit(b.keep("TFLayers.EditEl" + slot), s == 1 ? "Elements:" : "", hf ? "Hf" : "");
      b.edit(b.keep("TFLayers.EditQtd" + slot), s == 1 ? "%:" : "", concentration[k - 1][s - 1]);
    }
    b.button(b.keep("TFLayers.BitBtn" + std::to_string(k)), "Add");
  }
  b.button("TFLayers.Button1", "Add Hf");
  b.button("TFLayers.Button2", "Add Zr");
  b.button("TFLayers.Button3", "Add Si");
  b.button("TFLayers.Button4", "Add O");
  b.button("TFLayers.Button5", "Add Al");
  b.button("TFLayers.Button7", "Add All");
  b.button("TFLayers.Button6", "Calculate");
  b.edit("TFLayers.EditFileName", "Ultraexporter prefix:", "");
  b.button("TFLayers.ButtonUltra", "Ultraexport it");
  b.button("TFLayers.Button8", "Do a lot");
  b.button("TFLayers.Button9", "Do a bit");
  b.button("TFLayers.Button11", "F(DE,1nm)");
  b.button("TFLayers.Button12", "Hf delta at 0.5nm");
  return std::move(b.rows);
}

}  // namespace

// The fit window's, the report's, the stopping window's and the target window's controls are
// listed beside the commands that use them.
const std::vector<ControlSpec>& fitControls();
const std::vector<ControlSpec>& reportControls();
const std::vector<ControlSpec>& stoppingControls();
const std::vector<ControlSpec>& targetControls();

const std::vector<ControlSpec>& controlCatalogue() {
  static std::deque<std::string> pool;  // never moves its strings: rows point into it
  static const std::vector<ControlSpec> rows = [] {
    std::vector<ControlSpec> all = build(&pool);
    for (const auto* part :
         {&fitControls(), &reportControls(), &stoppingControls(), &targetControls()})
      all.insert(all.end(), part->begin(), part->end());
    return all;
  }();
  return rows;
}

}  // namespace tarvex
