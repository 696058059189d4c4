#include "app/fit_command.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "app/command_progress.h"
#include "app/fit_controls.h"
#include "app/meis_readers.h"
#include "app/nra_commands.h"
#include "core/cancel.h"
#include "core/numtext.h"
#include "fit/model_curves.h"
#include "nra/analytic.h"
#include "nra/excitation.h"
#include "nra/numeric.h"
#include "state/session.h"

namespace tarvex {

// What "Undo fit" puts back: the fields, profiles, curves, series and axes the fit's
// publication changed, and the fit model as it was.
struct FitUndo {
  std::map<std::string, Control> controls;
  profile nraProfile;
  PackedProfile undoProfile;
  std::map<std::string, profile> elementProfiles;
  spectro numericExcitation;
  spectro analyticExcitation;
  std::map<std::string, spectro> besselSpectra, numericSpectra, gaussianSpectra, extCsSpectra;
  std::map<std::string, Series> series;
  std::map<std::string, ChartAxes> axes;
  FitModel model;
};

struct FitSessionState {
  FitModel model = defaultFitModel();
  FitReport report;
  std::optional<FitUndo> undo;
};

namespace {

constexpr const char* kLog = "TFLog.EditLog";
// The fit window's progress line and result text.
constexpr const char* kStatus = "TFFit.StatusFit";
constexpr const char* kMemo = "TFFit.MemoResult";

FitSessionState& stateOf(Session& s) {
  std::shared_ptr<FitSessionState>& fs = s.fitState();
  if (!fs) fs = std::make_shared<FitSessionState>();
  return *fs;
}

void fitStatus(Session& s, const std::string& text) {
  if (s.controls().has(kStatus)) s.controls().setText(kStatus, text);
}

// The progress line of the fit window and the short form in the first panel of the status bar
// (whose width it keeps): iterations and deviance ratio.
void showProgress(Session& s, const std::string& line, int iterations, double ratio) {
  s.setPanel(0, "Iter. " + std::to_string(iterations) + ": " +
                    formatGeneral(ratio, 3, s.decimalSeparator()));
  fitStatus(s, line);
}

// The state a fit's publication can change, taken before it.
FitUndo takeUndo(Session& s, std::map<std::string, Control> fields) {
  const WorkingState& st = s.state();
  FitUndo u;
  u.controls = std::move(fields);
  u.nraProfile = st.nraProfile;
  u.undoProfile = st.undoProfile;
  u.elementProfiles = st.elementProfiles;
  u.numericExcitation = st.numericExcitation;
  u.analyticExcitation = st.analyticExcitation;
  u.besselSpectra = st.besselSpectra;
  u.numericSpectra = st.numericSpectra;
  u.gaussianSpectra = st.gaussianSpectra;
  u.extCsSpectra = st.extCsSpectra;
  u.series = s.charts().all();
  u.axes = s.charts().allAxes();
  u.model = stateOf(s).model;
  return u;
}

bool samePoints(const std::vector<ChartPoint>& a, const std::vector<ChartPoint>& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](const ChartPoint& p, const ChartPoint& q) {
           return p.x == q.x && p.y == q.y && p.colour == q.colour;
         });
}

// Keeps of the fields and series only those the publication changed.
void keepChanged(Session& s, FitUndo& u) {
  for (auto it = u.controls.begin(); it != u.controls.end();) {
    const ControlStore& c = s.controls();
    const bool same = c.has(it->first) && [&] {
      const Control& now = c.get(it->first);
      const Control& was = it->second;
      return now.items == was.items && now.itemIndex == was.itemIndex && now.text == was.text &&
             now.checked == was.checked && now.enabled == was.enabled && now.visible == was.visible;
    }();
    it = same ? u.controls.erase(it) : std::next(it);
  }
  for (auto it = u.series.begin(); it != u.series.end();) {
    const bool same = s.charts().has(it->first) &&
                      samePoints(s.charts().series(it->first).points, it->second.points);
    it = same ? u.series.erase(it) : std::next(it);
  }
}

// Puts fields back as they were (the log keeps what was written meanwhile).
void restoreControls(Session& s, const std::map<std::string, Control>& controls) {
  ControlStore& c = s.controls();
  for (const auto& [key, was] : controls) {
    if (!c.has(key)) continue;
    const Control& now = c.get(key);
    if (now.items != was.items) c.setItems(key, was.items);
    if (now.itemIndex != was.itemIndex) c.setItemIndex(key, was.itemIndex);
    if (now.text != was.text) c.setText(key, was.text);
    if (now.checked != was.checked) c.setChecked(key, was.checked);
    if (now.enabled != was.enabled) c.setEnabled(key, was.enabled);
    if (now.visible != was.visible) c.setVisible(key, was.visible);
  }
}

// Puts back what the publication changed.
void restore(Session& s, const FitUndo& u) {
  restoreControls(s, u.controls);
  WorkingState& st = s.state();
  st.nraProfile = u.nraProfile;
  st.undoProfile = u.undoProfile;
  st.elementProfiles = u.elementProfiles;
  st.numericExcitation = u.numericExcitation;
  st.analyticExcitation = u.analyticExcitation;
  st.besselSpectra = u.besselSpectra;
  st.numericSpectra = u.numericSpectra;
  st.gaussianSpectra = u.gaussianSpectra;
  st.extCsSpectra = u.extCsSpectra;
  ChartStore& ch = s.charts();
  for (const auto& [key, was] : u.series) {
    if (ch.has(key) && !samePoints(ch.series(key).points, was.points))
      ch.setPoints(key, was.points);
  }
  // The axes as they were (a fit that deepened the profile widened its depth axis); a chart
  // first ranged by the fit goes back to automatic.
  std::vector<std::string> charts;
  for (const auto& [chart, now] : ch.allAxes())
    charts.push_back(chart);
  for (const std::string& chart : charts) {
    const auto it = u.axes.find(chart);
    ch.setAxes(chart, it == u.axes.end() ? ChartAxes{} : it->second);
  }
  stateOf(s).model = u.model;
}

std::vector<std::string> elementNames(Session& s) {
  std::vector<std::string> names;
  if (!s.nraMode()) {
    for (const auto& [name, el] : s.state().elementMap)
      names.push_back(name);
  }
  return names;
}

// With the fit window's fields in the store, they are the model.
void readModelFields(Session& s, FitSessionState& fs) {
  if (!hasFitControls(s)) return;
  const std::size_t elements = s.nraMode() ? 1 : s.state().elementMap.size();
  fs.model = fitModelFromControls(s, elements);
}

void writeModelFields(Session& s, const FitModel& m) {
  if (hasFitControls(s)) fitModelToControls(s, m, elementNames(s));
}

// The resonant NRA model the fit calls: the numeric one with its own caches (starting from the
// session's table when that was built from the same values), or the analytic one.
FitCurveFunction nraFitCurve(Session& s, bool numeric) {
  if (numeric) {
    auto in = std::make_shared<NraNumericInput>(readNraNumericInput(s));
    auto cache = std::make_shared<NraNumericCache>();
    const WorkingState& st = s.state();
    // The session's table serves the fit while it runs (no command can change it meanwhile).
    if (st.nraAutoValid) {
      cache->lent = &st.nraLossDistributions;
      cache->lentKey = st.nraTableKey;
    }
    const double resonance = in->table.resonance;
    return [in, cache, resonance](std::vector<profile> profiles, double spread) {
      in->depth = std::move(profiles.front());
      in->broadening.beamSpread = spread;
      return excitationFitCurve(numericExcitationCurve(*in, *cache).curve, resonance);
    };
  }
  auto in = std::make_shared<NraAnalyticInput>(readNraAnalyticInput(s));
  const double resonance = s.number("TFNRP.EditEnrg");
  return [in, resonance](std::vector<profile> profiles, double spread) {
    in->depth = std::move(profiles.front());
    in->broadening.beamSpread = spread;
    return excitationFitCurve(analyticExcitation(*in), resonance);
  };
}

// The ion-scattering model the fit calls, with caches of its own (starting from the session's
// tables where they were built from the same values).
FitCurveFunction meisCurveFunction(Session& s) {
  const ControlStore& c = s.controls();
  const WorkingState& st = s.state();
  const MeisPlotWindow window = readMeisPlotWindow(s, false);
  if (c.checked("TFOptions.RadioGauss") || c.checked("TFOptions.RadioAnalitic")) {
    const bool gaussian = c.checked("TFOptions.RadioGauss");
    auto in = std::make_shared<ClosedFormInput>(readClosedFormInput(s, gaussian));
    return [in, gaussian, window](std::vector<profile> profiles, double spread) {
      in->profiles = profilesByElement(std::move(profiles), in->elements);
      in->frame.run.spread = spread;
      const MeisSpectra spectra = gaussian ? gaussianSpectra(*in) : besselSpectra(*in);
      return meisFitCurve(spectra, window, in->elements, in->frame.convolve, spread);
    };
  }
  if (c.checked("TFOptions.RadioNumeric")) {
    auto in = std::make_shared<NumericMeisInput>(readNumericMeisInput(s));
    auto cache = std::make_shared<MeisTableCache>();
    for (const auto& [name, el] : in->elements) {
      const auto table = st.numericLossDistributions.find(name);
      const auto key = st.numericTableKeys.find(name);
      if (table != st.numericLossDistributions.end() && key != st.numericTableKeys.end() &&
          key->second == meisTableKey(in->tables, el)) {
        cache->tables[name] = table->second;
        cache->keys[name] = key->second;
      }
    }
    return [in, cache, window](std::vector<profile> profiles, double spread) {
      in->profiles = profilesByElement(std::move(profiles), in->elements);
      in->spread = spread;
      const NumericMeisResult r = numericMeisSpectra(*in, *cache);
      return meisFitCurve(r.spectra, window, in->elements, in->convolve, spread);
    };
  }
  auto in = std::make_shared<ExternalMeisInput>(readExternalMeisInput(s));
  auto cache = std::make_shared<ExtTableCache>();
  const TableKey key = extTableKey(in->tables, in->crossSection.identity);
  bool current = st.meisExtAutoValid;
  for (const auto& [name, el] : in->elements) {
    const auto k = st.extCsTableKeys.find(name);
    const auto t = st.extCsLossDistributions.find(name);
    current = current && k != st.extCsTableKeys.end() && k->second == key &&
              t != st.extCsLossDistributions.end() && t->second;
  }
  if (current) {
    for (const auto& [name, el] : in->elements) {
      cache->tables[name] = st.extCsLossDistributions.at(name);
      cache->keys[name] = key;
    }
    cache->crossSection = in->crossSection.values;
  }
  return [in, cache, window](std::vector<profile> profiles, double spread) {
    in->profiles = profilesByElement(std::move(profiles), in->elements);
    in->frame.run.spread = spread;
    const ExternalMeisResult r = externalMeisSpectra(*in, *cache);
    return meisFitCurve(r.spectra, window, in->elements, in->frame.convolve, spread);
  };
}

}  // namespace

LayeredFitProblem sessionFitProblem(Session& s, FitModel model) {
  const ControlStore& c = s.controls();
  LayeredFitProblem pr;
  pr.nra = s.nraMode();
  pr.sep = s.decimalSeparator();
  const bool numeric = c.checked("TFOptions.RadioNumeric");
  const bool bessel = c.checked("TFOptions.RadioAnalitic");
  std::string spreadField;
  if (pr.nra) {
    if (!numeric && !bessel) {
      throw std::invalid_argument(
          "The fit needs a model that calculates resonant NRA: choose Numeric or Bessel");
    }
    spreadField = "TFNRP.EditGauss";
  } else {
    spreadField = "TFMEIS.EditGauss";
    pr.elements = elementNames(s);
    if (pr.elements.empty()) {
      throw std::invalid_argument("The fit needs a sample composition: add its elements first");
    }
    if (static_cast<int>(pr.elements.size()) > kMaxFitElements) {
      throw std::invalid_argument("The fit model holds at most " + std::to_string(kMaxFitElements) +
                                  " elements; the composition has " +
                                  std::to_string(pr.elements.size()));
    }
  }
  checkFitLayers(model, pr.nra ? 1 : pr.elements.size());
  // The scalar parameters start from their fields.
  model.dose.value = s.number("TFOptions.EditMult");
  model.shift.value = s.number("TFOptions.EditShift");
  pr.flatBackground = c.get("TFBackground.Bkgrdradio").itemIndex != 1;
  model.background.value = pr.flatBackground ? s.number("TFBackground.EditYs") : 0.0;
  model.spread.value = s.number(spreadField);
  pr.model = std::move(model);
  const WorkingState& st = s.state();
  pr.line = pr.nra ? st.nraBackgroundLine : st.meisBackgroundLine;
  // The reader leaves one entry from the read that met the end of the file: never plotted.
  for (std::size_t i = 0; i + 1 < st.measuredPoints.size(); ++i) {
    pr.measuredX.push_back(st.measuredPoints[i].x);
    pr.measuredY.push_back(st.measuredPoints[i].y);
  }
  if (pr.nra) {
    pr.grid = st.nraProfile;
    const bool byVector = numeric && !c.checked("TFNRP.CheckAuto");
    pr.reach = excitationReach(s.number("TFNRP.Editdedx"), s.number("TFNRP.EditMaxE"), byVector,
                               byVector ? s.number("TFNRP.EditStep") : 0.0,
                               byVector ? s.number("TFNRP.EditVecsize") : 0.0);
    pr.curve = nraFitCurve(s, numeric);
  } else {
    pr.grid = defaultProfile();
    for (const std::string& e : pr.elements) {
      const auto it = st.elementProfiles.find(e);
      if (it != st.elementProfiles.end()) {
        pr.grid = it->second;
        break;
      }
    }
    pr.curve = meisCurveFunction(s);
  }
  pr.grid.values.clear();
  return pr;
}

namespace {

void fit(Session& s) {
  FitSessionState& fs = stateOf(s);
  readModelFields(s, fs);
  LayeredFit fitter(sessionFitProblem(s, fs.model));
  const char sep = s.decimalSeparator();
  const bool nra = s.nraMode();
  // The fit itself changes no field but its progress texts: whatever ends it without a result
  // puts those back.
  std::map<std::string, Control> fieldsBefore = s.controls().all();
  fieldsBefore.erase(kLog);
  fitStatus(s, "Fitting...");
  s.SetStatus("Fitting...");
  fitter.onIteration = [&](const std::string& line, int iteration, double ratio) {
    showProgress(s, line, iteration, ratio);
  };
  CommandProgress progress(s);
  LayeredFitResult result;
  try {
    result = fitter.run(progress.run());
  } catch (...) {
    restoreControls(s, fieldsBefore);
    throw;
  }
  const FitReport& r = result.report;
  const std::string logBefore = s.controls().text(kLog);
  if (!r.done) {
    restoreControls(s, fieldsBefore);
    const std::string text = fitReportText(r, sep);
    s.logAppend(text + "\n");
    if (s.controls().has(kMemo)) s.controls().setText(kMemo, text);
    std::string names, why;
    for (std::size_t j = 0; j < result.reasons.size(); ++j) {
      const auto& [name, reason] = result.reasons[j];
      names += (j == 0 ? "" : j + 1 == result.reasons.size() ? " and " : ", ") + name;
      why += (j == 0 ? "" : ", ") + name + " (" + reason + ")";
    }
    if (result.reasons.size() == 1) why = result.reasons[0].first + ": " + result.reasons[0].second;
    s.SetStatus("Fit ended: " + names + " could not be determined");
    throw FitGivenUp("The fit could not determine " + why + "; the fields are as before");
  }

  // The best values into the fields and the profile, and their curve drawn: the profile from the
  // values as the fields show them, so that the fields give it again.
  FitUndo undo = takeUndo(s, fieldsBefore);
  try {
    FitModel m = result.model;
    if (hasFitControls(s)) {
      writeModelFields(s, m);
      const FitModel shown = fitModelFromControls(s, m.layers.front().concentration.size());
      for (std::size_t k = 0; k < m.layers.size(); ++k) {
        m.layers[k].thickness.value = shown.layers[k].thickness.value;
        m.layers[k].sigma.value = shown.layers[k].sigma.value;
        for (std::size_t e = 0; e < m.layers[k].concentration.size(); ++e)
          m.layers[k].concentration[e].value = shown.layers[k].concentration[e].value;
      }
    }
    // A profile that had to reach deeper than the thickness field says gets a deeper field, so
    // that the calculation's "Update plot" keeps it.
    const int points = fitter.gridPointsFor(m);
    if (points != result.basePoints) {
      s.setNumber(nra ? "TFNRP.EditMaxDepth" : "TFMEIS.EditMaxDepth", fitter.depthOf(points));
    }
    std::vector<profile> profiles = fitter.profilesOf(m);
    WorkingState& st = s.state();
    if (nra) {
      st.nraProfile = std::move(profiles.front());
    } else {
      const std::vector<std::string> elements = elementNames(s);
      for (std::size_t e = 0; e < elements.size() && e < profiles.size(); ++e)
        st.elementProfiles[elements[e]] = std::move(profiles[e]);
    }
    s.setNumber(nra ? "TFNRP.EditGauss" : "TFMEIS.EditGauss", m.spread.value);
    // A profile that had to reach deeper shows all of it, as "Update plot" shows a new one.
    if (nra && points != result.basePoints) {
      s.charts().setBottom("ChartNRPProf", 0.0, st.nraProfile.count * st.nraProfile.step);
    }
    s.Plotprofile();  // the sample window shows the layers found
    s.setNumber("TFOptions.EditMult", m.dose.value);
    s.setNumber("TFOptions.EditShift", m.shift.value);
    if (s.controls().get("TFBackground.Bkgrdradio").itemIndex != 1) {
      s.setNumber("TFBackground.EditYs", m.background.value);
    }
    s.CalcSimulation();
    if (s.lastCommandFailed()) {
      throw std::runtime_error("The fit's curve could not be drawn; the fields are as before");
    }
    if (s.hasAction("PlotExp")) s.invoke("PlotExp");
    fs.model = m;
  } catch (...) {
    restore(s, undo);
    s.controls().setText(kLog, logBefore);
    throw;
  }
  fs.report = r;
  s.controls().setText(kLog, logBefore);
  const std::string text = fitReportText(r, sep);
  s.logAppend(text + "\n");
  if (s.controls().has(kMemo)) s.controls().setText(kMemo, text);
  // The progress shows how the fit ended.
  const bool poor = std::any_of(r.warnings.begin(), r.warnings.end(), [](const std::string& w) {
    return w.rfind("the curve does not follow the data", 0) == 0;
  });
  const std::string done = "Fit done: " + std::to_string(r.iterations) +
                           " iterations, deviance ratio " + formatGeneral(r.devianceRatio, 4, sep) +
                           ", " + std::to_string(r.evaluations) + " evaluations, " +
                           formatGeneral(r.seconds, 3, sep) + " s";
  showProgress(s, poor ? done + "; the curve does not follow the data" : done, r.iterations,
               r.devianceRatio);
  s.SetStatus("Fit done: deviance ratio " + formatGeneral(r.devianceRatio, 4, sep));
  keepChanged(s, undo);
  fs.undo = std::move(undo);
}

}  // namespace

FitModel currentFitModel(Session& s) {
  FitSessionState& fs = stateOf(s);
  readModelFields(s, fs);
  return fs.model;
}

void setFitModel(Session& s, const FitModel& m) {
  stateOf(s).model = m;
  writeModelFields(s, m);
}

const FitReport& lastFitReport(Session& s) {
  return stateOf(s).report;
}

void FitFromProfile(Session& s) {
  FitSessionState& fs = stateOf(s);
  std::vector<const profile*> profiles;
  if (s.nraMode()) {
    profiles.push_back(&s.state().nraProfile);
  } else {
    for (const auto& [name, el] : s.state().elementMap)
      profiles.push_back(&s.state().elementProfiles[name]);
    if (profiles.empty()) {
      throw std::invalid_argument("The sample has no elements: add its composition first");
    }
  }
  readModelFields(s, fs);
  std::vector<FitLayer> layers = layersFromProfiles(profiles, fs.model.layers);
  if (layers.empty()) throw std::invalid_argument("The profile holds no layer");
  fs.model.layers = std::move(layers);
  writeModelFields(s, fs.model);
  fitStatus(s, std::to_string(fs.model.layers.size()) +
                   (fs.model.layers.size() == 1 ? " layer" : " layers") + " from the profile");
}

void Fit(Session& s) {
  // Whatever ends the fit without a result, the window's progress line says so (the fields and
  // the profile are as before).
  try {
    // The fit runs the one-value resonant NRA models; a layered target's curve is another model.
    if (s.nraMode() && s.controls().has("TFTarget.CheckLayered") &&
        s.controls().checked("TFTarget.CheckLayered"))
      throw std::invalid_argument(
          "The fit works on the one-value resonant NRA models: turn \"Layered target\" off in "
          "the Target window to fit");
    fit(s);
  } catch (const Cancelled&) {
    fitStatus(s, "Stopped: the fields and the profile are as before");
    throw;
  } catch (const std::exception& e) {
    fitStatus(s, e.what());
    throw;
  }
}

void UndoFit(Session& s) {
  FitSessionState& fs = stateOf(s);
  if (!fs.undo) throw std::invalid_argument("No fit to undo");
  const FitUndo undo = std::move(*fs.undo);
  fs.undo.reset();
  restore(s, undo);
  fitStatus(s, "Fit undone: the fields and the profile as before the fit");
  s.SetStatus("Fit undone");
}

void registerFitActions(Session& s) {
  s.fitState() = std::make_shared<FitSessionState>();
  s.registerAction("FitFromProfile", [&s] { FitFromProfile(s); });
  s.registerAction("Fit", [&s] { Fit(s); });
  s.registerAction("UndoFit", [&s] { UndoFit(s); });
}

}  // namespace tarvex
