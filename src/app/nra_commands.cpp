#include "app/nra_commands.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/command_progress.h"
#include "app/frame_fields.h"
#include "core/numtext.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {
namespace {

std::string general(const Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

ExcitationBroadening readBroadening(Session& s) {
  ExcitationBroadening b;
  b.resonanceWidth = s.number("TFNRP.EditLor");
  b.beamSpread = s.number("TFNRP.EditGauss");
  b.convolve = s.controls().checked("TFOptions.CheckConv");
  return b;
}

// The status texts of the broadenings.
void showBroadeningStage(Session& s, ModelStage stage) {
  if (stage == ModelStage::lorentzian) s.SetStatus("Lorentzian convolution...");
  if (stage == ModelStage::gaussian) s.SetStatus("Gaussian convolution...");
}

}  // namespace

NraTableParams readNraTableParams(Session& s) {
  NraTableParams p;
  p.resonance = s.number("TFNRP.EditEnrg");
  p.maxEnergy = s.number("TFNRP.EditMaxE");
  p.stopping = s.number("TFNRP.Editdedx");
  p.straggling = s.number("TFNRP.EditS");
  readTableGrid(s, "TFNRP", p.autoMode, p.step, p.nc, p.bins);
  return p;
}

NraNumericInput readNraNumericInput(Session& s, bool withProfile) {
  NraNumericInput in;
  // Read in the order the command has always read them: the resonance and the loss first.
  s.number("TFNRP.EditEnrg");
  s.number("TFNRP.Editdedx");
  s.number("TFNRP.EditS");
  in.broadening = readBroadening(s);
  in.table = readNraTableParams(s);
  if (withProfile) in.depth = s.state().nraProfile;
  return in;
}

NraAnalyticInput readNraAnalyticInput(Session& s, bool withProfile) {
  NraAnalyticInput in;
  in.broadening = readBroadening(s);
  in.maxEnergy = s.number("TFNRP.EditMaxE");
  in.stopping = s.number("TFNRP.Editdedx");
  in.straggling = s.number("TFNRP.EditS");
  if (withProfile) in.depth = s.state().nraProfile;
  return in;
}

void buildNraTables(Session& s, const NraTableParams& p) {
  WorkingState& st = s.state();
  const SingleCollision c = singleCollision(p.resonance, p.stopping, p.straggling);
  // Non-finite values have no place in a field; the grid's check refuses such a table anyway.
  if (std::isfinite(c.emax)) s.controls().setText("TFNRP.EditEmax", general(s, c.emax, 5));
  if (std::isfinite(c.emin)) s.controls().setText("TFNRP.EditEmin", general(s, c.emin, 4));
  s.eventPoint();

  NraTableGrid g;
  const std::string refusal = nraTableGrid(p, c, g, s.decimalSeparator());
  if (!refusal.empty()) {
    s.host().showMessage(refusal);
    st.nraAutoValid = false;
    return;
  }
  if (p.autoMode) {
    s.controls().setText("TFNRP.EditStep", general(s, g.step, 5));
    s.controls().setText("TFNRP.EditNc", formatGeneral(g.nc));
    s.controls().setText("TFNRP.EditVecsize", formatGeneral(g.bins));
  }
  const int count = static_cast<int>(g.nc);
  CommandProgress progress(s);
  progress.onAdvance = [&](int k, int total) {
    if (k > 1) s.setPanel(0, std::to_string(k) + " of " + std::to_string(total));
  };
  // Each distribution's line of the log as soon as it is built.
  const auto log = [&](int k, const DistributionStats& d) {
    const std::string pad = k == 1 ? "" : " ";
    const double m1 = d.mean / (k * c.lambda / g.step);
    s.logAppend("Auto #" + std::to_string(k) + ": \nIntegral:\t" + pad);
    s.logAppend(general(s, d.integral, 3) + "\n");
    s.logAppend("M1:\t" + pad);
    s.logAppend(general(s, m1, 3) + "\n\n");
  };
  NraTableBuild b = buildNraTable(p, progress.run(), s.decimalSeparator(), log);
  s.setPanel(0, std::to_string(count) + " of " + std::to_string(count) + " OK!");
  s.setPanel(0, std::to_string(count) + " done!");
  st.nraLossDistributions = std::move(b.table);
  st.nraAutoValid = true;
  st.nraTableKey = std::move(b.key);
}

void CalcNRPAutos(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the collision tables",
                   [&] { buildNraTables(s, readNraTableParams(s)); });
}

namespace {

void numericExcitation(Session& s) {
  WorkingState& st = s.state();
  const NraNumericInput in = readNraNumericInput(s, false);
  const ExcitationBroadening& broadening = in.broadening;
  const NraTableParams& p = in.table;
  checkExcitationWidths(broadening, s.decimalSeparator());
  st.undoProfile = PackedProfile(st.nraProfile);
  s.SetStatus("Calculating the numeric excitation curve...");
  const SingleCollision c = singleCollision(p.resonance, p.stopping, p.straggling);
  if (std::isfinite(c.emin)) s.controls().setText("TFNRP.EditEmin", general(s, c.emin, 15));
  if (std::isfinite(c.emax)) s.controls().setText("TFNRP.EditEmax", general(s, c.emax, 15));
  const double a = p.stopping / c.lambda;  // collisions per Angstrom
  if (!(c.emin > 0.5)) {
    s.SetStatus("Numeric ERROR! Emin < 0.5 eV!");
    return;
  }
  // The change test keeps deciding as it always did; besides, a table built from other values
  // than those read now (the change consumed by another run, a failed read, a parameter save)
  // is rebuilt.
  const bool changed = s.parametersChanged();
  const bool built = changed || st.nraTableKey != nraTableKey(p);
  if (built) {
    s.SetStatus("Calculating numeric convolutions...");
    buildNraTables(s, p);
  }
  const int nc = s.integer("TFNRP.EditNc");
  // A build that has just failed would fail again with the same message.
  if (!(built && !st.nraAutoValid) &&
      static_cast<long long>(st.nraLossDistributions.size()) != static_cast<long long>(nc) + 1) {
    s.SetStatus("Calculating numeric convolutions...");
    buildNraTables(s, readNraTableParams(s));
  }
  s.parametersChanged();  // the values just used become the baseline of the next test
  s.SetStatus("Calculating numeric excitation curve...");
  if (!st.nraAutoValid || st.nraLossDistributions.size() < 2) {
    s.SetStatus("Numeric ERROR!");
    return;
  }
  CommandProgress progress(s);
  progress.onStage = [&](ModelStage stage, const std::string&) { showBroadeningStage(s, stage); };
  spectro curve = numericExcitationFromTable(st.nraLossDistributions, st.nraProfile, a, broadening,
                                             st.nraWeights, progress.run());
  requireFiniteCurve(s, curve, "The numeric excitation curve", st.nraProfile);
  st.numericExcitation = std::move(curve);
  PlotNumericExcitation(s);
  s.SetStatus("Done!");
}

void analyticExcitation(Session& s) {
  NraAnalyticInput in = readNraAnalyticInput(s, false);
  checkAnalyticInput(in, s.decimalSeparator());
  s.Updateplot();
  WorkingState& st = s.state();
  in.depth = st.nraProfile;
  checkAnalyticWork(in, s.decimalSeparator());
  st.undoProfile = PackedProfile(st.nraProfile);
  s.SetStatus("Calculating the analitic excitation curve...");
  CommandProgress progress(s);
  progress.onStage = [&](ModelStage stage, const std::string&) { showBroadeningStage(s, stage); };
  st.analyticExcitation = analyticExcitation(in, progress.run(), s.decimalSeparator());
  s.SetStatus("Done!");
  PlotAnaliticExcitation(s);
}

}  // namespace

void CalcNumericExcitation(Session& s) {
  runEngineCommand(s, "Numeric ERROR!", "the numeric excitation curve",
                   [&] { numericExcitation(s); });
}

void CalcAnaliticExcitation(Session& s) {
  runEngineCommand(s, "Bessel calculation ERROR!", "the analytic excitation curve",
                   [&] { analyticExcitation(s); });
}

void plotExcitation(Session& s, const spectro& curve, const std::string& series,
                    const std::string& title) {
  const double dose = s.number("TFOptions.EditMult");
  const double resonance = s.number("TFNRP.EditEnrg");
  ChartStore& charts = s.charts();
  const std::string main = "ChartPrinc." + series;
  const std::string report = "ChartNRPSpec." + series;
  const backgroundLine& line = s.state().nraBackgroundLine;
  std::vector<ChartPoint> points(curve.values.size());
  const Colour colour = charts.colour(main);
  for (int i = 0; i < curve.size(); ++i) {
    const double e = excitationEnergy(curve, i, resonance);
    // The background is added after the dose: it is not scaled with it.
    points[i] = {e, lineValue(line, e) + curve.values[i] * dose, colour};
  }
  requireDrawable(s, points);
  charts.setPoints(report, points);
  charts.setTitle(report, title);
  charts.setPoints(main, title, std::move(points), ChartMode::Nra);
}

void PlotNumericExcitation(Session& s) {
  plotExcitation(s, s.state().numericExcitation, "SeriesPrinc", "Numeric");
}

void PlotLayeredExcitation(Session& s) {
  plotExcitation(s, s.state().layeredExcitation, "SeriesPrinc", "Layered target");
}

void PlotAnaliticExcitation(Session& s) {
  plotExcitation(s, s.state().analyticExcitation, "SeriesBessel", "Bessel");
}

void PlotExp(Session& s) {
  const double shift = s.number("TFOptions.EditShift");
  ChartStore& charts = s.charts();
  s.eventPoint();
  const auto& measured = s.state().measuredPoints;
  // The reader leaves one entry from the read that met the end of the file: never plotted.
  const std::size_t shown = measured.empty() ? 0 : measured.size() - 1;
  std::vector<ChartPoint> points(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    points[i].x = static_cast<double>(measured[i].x) + shift;
    points[i].y = measured[i].y;
  }
  // A data set belongs to the mode it was loaded in: the main chart shows it in that mode only,
  // and only that mode's report shows it. One data set is loaded at a time, so the other mode
  // has none.
  const ChartMode mode = s.state().measuredInNraMode ? ChartMode::Nra : ChartMode::Meis;
  const ChartMode other = mode == ChartMode::Nra ? ChartMode::Meis : ChartMode::Nra;
  const char* report =
      mode == ChartMode::Nra ? "ChartNRPSpec.SeriesExp" : "ChartMEISSpec.SeriesExp";
  const char* otherReport =
      mode == ChartMode::Nra ? "ChartMEISSpec.SeriesExp" : "ChartNRPSpec.SeriesExp";
  // Each chart draws the points in its own series colour; one notification per series.
  std::vector<ChartPoint> copy = points;
  for (ChartPoint& p : copy)
    p.colour = charts.colour(report);
  charts.setPoints(report, std::move(copy));
  charts.setPoints(otherReport, {});
  for (ChartPoint& p : points)
    p.colour = charts.colour("ChartPrinc.SeriesExp");
  const std::string& file = s.state().measuredDataFile;
  const std::size_t slash = file.find_last_of("/\\");
  charts.setPoints("ChartPrinc.SeriesExp", {}, other);
  charts.setPoints("ChartPrinc.SeriesExp",
                   "Measured: " + (slash == std::string::npos ? file : file.substr(slash + 1)),
                   std::move(points), mode);
}

void registerNraActions(Session& s) {
  s.registerAction("CalcAnaliticExcitation", [&s] { CalcAnaliticExcitation(s); });
  s.registerAction("CalcNRPAutos", [&s] { CalcNRPAutos(s); });
  s.registerAction("CalcNumericExcitation", [&s] { CalcNumericExcitation(s); });
  s.registerAction("PlotAnaliticExcitation", [&s] { PlotAnaliticExcitation(s); });
  s.registerAction("PlotNumericExcitation", [&s] { PlotNumericExcitation(s); });
  s.registerAction("PlotExp", [&s] { PlotExp(s); });
}

}  // namespace tarvex
