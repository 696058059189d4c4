// The Gaussian, Bessel and numeric ion-scattering commands and the registration of every
// ion-scattering action.
#include "app/meis_commands.h"

#include <cmath>
#include <utility>
#include <vector>

#include "app/command_progress.h"
#include "app/meis_readers.h"
#include "core/cancel.h"
#include "core/numtext.h"
#include "meis/closed_form.h"
#include "state/engine_command.h"

namespace tarvex {

void logElement(Session& s, const std::string& name, const ElementSetup& e) {
  const char sep = s.decimalSeparator();
  s.logAppend("Element: " + name + "\n");
  s.logAppend("ki: " + formatGeneral(e.k, 15, sep) + "\n");
  s.logAppend("DEDXef: " + formatGeneral(e.dedxEf, 15, sep) + "\n");
  s.logAppend("Sef: " + formatGeneral(e.sEf, 15, sep));
}

bool ensureComposition(Session& s) {
  if (!s.controls().get("TFMEIS.ListElements").items.empty()) return false;
  s.AddElement();
  return true;
}

namespace {

std::string general(const Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

// The closed-form models share their command: the frame is refused before anything changes,
// the profiles are fitted to the frame ("Update plot"), and each element's spectrum is stored
// and the total drawn as soon as it is done.
struct ClosedFormCommand {
  bool gaussian;
  const char* title;  // of the log block and the status
  const char* ready;
  std::map<std::string, spectro> WorkingState::*spectra;
  void (*plot)(Session&);
};

void closedFormMeis(Session& s, const ClosedFormCommand& c) {
  WorkingState& st = s.state();
  ensureComposition(s);
  const ClosedFormFrame f = readClosedFormFrame(s, c.gaussian);
  refuse(c.gaussian ? gaussianRefusal(f, st.elementMap) : besselRefusal(f, st.elementMap));
  s.Updateplot();
  refuse(closedFormWorkRefusal(f, st.elementMap, st.elementProfiles));
  s.SetStatus(std::string(c.title) + " calculation...");
  s.eventPoint();
  CommandProgress progress(s);
  for (const auto& [name, el] : st.elementMap) {
    s.eventPoint();
    checkCancel();
    s.logAppend(std::string(c.title) + " Calculation: \n");
    logElement(s, name, c.gaussian ? gaussianSetup(f, el) : besselSetup(f, el));
    s.logAppend("\n\n");
    const profile& prof = st.elementProfiles[name];
    MeisElementResult r = c.gaussian ? gaussianElementSpectrum(f, name, el, prof, progress.run())
                                     : besselElementSpectrum(f, name, el, prof, progress.run());
    refuse(r.refusal);
    (st.*c.spectra)[name] = std::move(r.spectrum);
    s.eventPoint();
    c.plot(s);
  }
  s.SetStatus(c.ready);
}

}  // namespace

void CalcGaussianMEIS(Session& s) {
  runEngineCommand(s, "Gaussian calculation ERROR!", "the Gaussian spectra", [&] {
    closedFormMeis(s, {true, "Gaussian", "Gaussian calculation ready",
                       &WorkingState::gaussianSpectra, PlotGaussianMEIS});
  });
}

void CalcAnaliticMEIS(Session& s) {
  runEngineCommand(s, "Bessel calculation ERROR!", "the Bessel spectra", [&] {
    closedFormMeis(s, {false, "Bessel", "Bessel calculation ready!", &WorkingState::besselSpectra,
                       PlotAnaliticMEIS});
  });
}

void buildMeisTables(Session& s, const MeisTableParams& p) {
  WorkingState& st = s.state();
  const char sep = s.decimalSeparator();
  s.AddElement();
  refuse(geometryRefusal(p.run, st.elementMap, sep));
  const MeisTablePlan plan = planMeisTables(p, st.elementMap, sep);
  if (std::isfinite(plan.range.emax))
    s.controls().setText("TFMEIS.EditEmax", general(s, plan.range.emax, 5));
  if (std::isfinite(plan.range.emin))
    s.controls().setText("TFMEIS.EditEmin", general(s, plan.range.emin, 4));
  s.eventPoint();
  if (!plan.refusal.empty()) {
    s.host().showMessage(plan.refusal);
    st.meisAutoValid = false;
    return;
  }
  const MeisTableGrid& g = plan.grid;
  if (p.autoMode) {
    s.controls().setText("TFMEIS.EditStep", general(s, g.step, 5));
    s.controls().setText("TFMEIS.EditNc", general(s, g.nc));
    s.controls().setText("TFMEIS.EditVecsize", general(s, g.bins));
  }
  CommandProgress progress(s);
  progress.onAdvance = [&s](int k, int) { s.setPanel(0, std::to_string(k)); };
  // Built aside and published together: a stop or an error leaves the previous tables.
  std::map<std::string, std::vector<spectro>> built;
  for (const auto& [name, t] : plan.elements) {
    s.SetStatus("Numeric calculation: " + name + " convolutions");
    const CollisionRange& r = t.range;
    s.logAppend("Numeric Calculation: (inside loop) \n");
    logElement(s, name, t.setup);
    s.logAppend("\nemin: " + general(s, r.emin) + "\n");
    s.logAppend("emax: " + general(s, r.emax) + "\n");
    s.logAppend("Step: " + general(s, g.step) + "\n\n");
    built[name] = buildMeisElementTable(plan, name, progress.run(), [&](const TableEntry& e) {
                    s.logAppend("Auto #" + std::to_string(e.k) +
                                ": \tIntegral= " + general(s, e.integral, 3) + "\t");
                    s.logAppend("M1= " + general(s, e.m1, 3) + "\n");
                  }).table;
  }
  for (auto& [name, table] : built) {
    st.numericLossDistributions[name] = std::move(table);
    st.numericTableKeys[name] = meisTableKey(p, st.elementMap.at(name));
  }
  st.meisAutoValid = true;
}

void CalcMEISAutos(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the collision tables", [&] {
    // The editor's element joins first, as every build adds it.
    const MeisTableParams p = readMeisTableParams(s);
    buildMeisTables(s, p);
  });
}

namespace {

bool tablesCurrent(WorkingState& st, const MeisTableParams& p, const std::string& name,
                   const element& el) {
  const auto key = st.numericTableKeys.find(name);
  return key != st.numericTableKeys.end() && key->second == meisTableKey(p, el) &&
         st.numericLossDistributions[name].size() >= 2;
}

void numericMeis(Session& s) {
  WorkingState& st = s.state();
  if (ensureComposition(s)) s.Updateplot();
  s.SetStatus("Numeric calculation...");
  s.eventPoint();
  const NumericFrame frame = readNumericFrame(s);
  const MeisTableParams tableParams = readMeisTableParams(s);
  refuse(geometryRefusal(frame.run, st.elementMap, frame.decimalSeparator));
  refuse(spreadRefusal(frame.run, frame.convolve, frame.decimalSeparator));
  CommandProgress progress(s);
  bool failed = false;
  double lastEmin = 1.0;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("Numeric: running " + name + " signal");
    const NumericElementSetup e = numericElementSetup(frame.run, el);
    const CollisionRange& r = e.range;
    lastEmin = r.emin;
    s.logAppend("Numeric Calculation\n");
    logElement(s, name, e.setup);
    s.logAppend("\nMef: " + general(s, e.mef) + "\n");
    s.logAppend("emin: " + general(s, r.emin) + "\n");
    s.logAppend("emax: " + general(s, r.emax) + "\n\n");
    // The change test keeps deciding as it always did; besides, tables built from other values
    // than those read now (or none at all, for an element added with "^") are rebuilt.
    const bool changed = s.parametersChanged();
    if (changed || !tablesCurrent(st, tableParams, name, el)) buildMeisTables(s, tableParams);
    if (!st.meisAutoValid) buildMeisTables(s, tableParams);
    if (!(st.meisAutoValid && r.emin > 0.1) || !tablesCurrent(st, tableParams, name, el)) {
      failed = true;  // the element keeps its previous spectrum
      continue;
    }
    s.parametersChanged();  // a new baseline: the next elements do not rebuild
    MeisElementResult result =
        numericElementSpectrum(frame, name, el, st.elementProfiles[name],
                               st.numericLossDistributions[name], progress.run());
    refuse(result.refusal);
    st.numericSpectra[name] = std::move(result.spectrum);
    s.eventPoint();
    PlotNumericMEIS(s);
  }
  if (!failed) {
    s.SetStatus("Numeric calculation ready!");
  } else {
    s.SetStatus("Numeric ERROR!");
    if (lastEmin < 0.1) s.SetStatus("Numeric ERROR! Emin < 0.1 eV!");
  }
}

}  // namespace

void CalcNumericMEIS(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the numeric ion-scattering spectra",
                   [&] { numericMeis(s); });
}

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
