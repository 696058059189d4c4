#include "meis/external.h"

#include <cmath>
#include <vector>

#include "core/numtext.h"
#include "io/data_file.h"
#include "io/loss_table.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/session.h"

namespace tarvex {
namespace {

constexpr double kMaxTableValues = 4.0e8;

std::string general(Session& s, double v, int digits = 15) {
  return formatGeneral(v, digits, s.decimalSeparator());
}

// Shows the width of an SCC distribution as read (before it is normalised).
void showSccWidth(Session& s, const spectro& b, int digits) {
  const LossMoments m = lossMoments(b);
  const double variance = m.second - m.first * m.first;
  // Values summing to more than 1 can make the "variance" negative: there is no width to show.
  s.controls().setText("TFExternCS.EditSigmaExtSCC",
                       variance < 0.0 ? "n/a" : general(s, std::sqrt(variance), digits));
}

// Reads the SCC file into b (zero on entry), asking for the file when none is named. Returns
// false, leaving b empty of values, when nothing could be read.
bool readScc(Session& s, spectro& b) {
  if (s.controls().text("TFExternCS.EditSCCFile").empty()) {
    chooseLossFile(s, "TFExternCS.EditSCCFile");
  }
  const std::string file = s.controls().text("TFExternCS.EditSCCFile");
  if (!file.empty()) readLossTable(file, b);
  return b.integral() != 0.0;
}

}  // namespace

void chooseLossFile(Session& s, const std::string& editKey) {
  const auto chosen = s.host().openFile(dataFileDialog(s.controls().text(editKey)));
  if (chosen) s.controls().setText(editKey, *chosen);
}

void CalcMEISAutosExt(Session& s) {
  WorkingState& st = s.state();
  s.AddElement();
  MeisRun run;
  run.thetaIn = s.number("TFMEIS.EditTIn");
  run.thetaOut = s.number("TFMEIS.EditTOut");
  s.host().processEvents();
  s.controls().setText("TFMEIS.EditStep", general(s, 1.0));
  const int nc = s.integer("TFExternCS.EditNcExt");
  const double binsReal = std::trunc(s.number("TFMEIS.EditDeltaE") * 1000.0);
  // At least one collision and two bins, and a table that fits in memory.
  if (nc < 1 || !(binsReal >= 2.0) ||
      (nc + 1.0) * binsReal * static_cast<double>(st.elementMap.size()) > kMaxTableValues) {
    s.host().showMessage("Error! Check parameters!");
    return;
  }
  const int bins = static_cast<int>(binsReal);
  // Every element reads the same file, so every element gets the same table: it is built once
  // and copied.
  std::vector<spectro> built;
  spectro raw;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External cross section calculation: " + name + " convolutions");
    run.m1 = s.number("TFMEIS.EditPmass");
    const double k = kinematicFactor(run.m1, el.mass, 180.0 - run.thetaIn - run.thetaOut);
    s.logAppend("Numeric convolutions ECS: (inside loop) \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, k) + "\n");
    s.logAppend("Step: " + general(s, 1.0) + "\n\n");
    std::vector<spectro>& table = st.extCsLossDistributions[name];
    if (built.empty()) {
      table.assign(static_cast<std::size_t>(nc) + 1, spectro(bins, 1.0));
      table[0].setValue(0, 0.9f);
      if (s.controls().text("TFExternCS.EditCSFile").empty()) {
        chooseLossFile(s, "TFExternCS.EditCSFile");
      }
      const std::string file = s.controls().text("TFExternCS.EditCSFile");
      if (!file.empty()) readLossTable(file, table[1]);
      const LossMoments m = lossMoments(table[1]);
      const double density = s.number("TFExternCS.EditDensity");
      s.controls().setText("TFExternCS.Editdedx", general(s, density * m.first * 1e-7, 4));
      s.controls().setText("TFExternCS.Editdw2dx", general(s, density * m.second * 1e-7, 6));
      raw = table[1];
      table[1].values[0] = 0.0;
      if (table[1].integral() == 0.0) {
        // No collision to count (no file, an unreadable or empty one): no tables.
        st.extCsDistribution = raw;
        st.meisExtAutoValid = false;
        s.SetStatus("Numeric ECS ERROR! The cross section file holds no values");
        return;
      }
      table[1].normalize(1.0);
      for (int k = 2; k <= nc; ++k) {
        table[k] = convolve(table[1], table[k - 1]);
        s.host().processEvents();
      }
      built = table;
    } else {
      table = built;
    }
    st.extCsDistribution = raw;
    const double m1 = table[1].mean();
    s.logAppend("Auto #1: \tIntegral= " + general(s, table[1].integral(), 3) + "\t" +
                "M1= " + general(s, m1, 3) + "\n");
    for (int k = 2; k <= nc; ++k) {
      s.logAppend("Auto #" + std::to_string(k) +
                  ": \tIntegral= " + general(s, table[k].integral(), 3) + "\t" +
                  "M1= " + general(s, table[k].mean() / (k * m1), 3) + "\n");
      s.setPanel(0, std::to_string(k));
    }
    s.host().processEvents();
  }
  st.meisExtAutoValid = true;
}

void CalcNumericMEISExt(Session& s) {
  WorkingState& st = s.state();
  if (ensureComposition(s)) s.Updateplot();
  s.SetStatus("External cross section calculation...");
  s.host().processEvents();
  MeisRun run;
  run.e0 = s.number("TFMEIS.EditEnrg");
  run.thetaIn = s.number("TFMEIS.EditTIn");
  run.thetaOut = s.number("TFMEIS.EditTOut");
  run.spread = s.number("TFMEIS.EditGauss");
  bool failed = false;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External CS: running " + name + " signal");
    readProjectile(s, run);
    const ElementSetup e = prepareElement(el, run);
    const int nc = s.integer("TFExternCS.EditNcExt");
    if (!st.meisExtAutoValid) CalcMEISAutosExt(s);
    if (static_cast<long long>(st.extCsLossDistributions[name].size()) < nc) CalcMEISAutosExt(s);
    const std::vector<spectro>& d = st.extCsLossDistributions[name];
    if (!st.meisExtAutoValid || d.size() < 2) {
      failed = true;
      continue;
    }
    s.host().processEvents();
    s.logAppend("\nNumeric ECS Calculation: \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, e.k) + "\n");
    s.logAppend("m0= " + general(s, d[1].integral()));
    s.logAppend("\nm1= " + general(s, d[1].mean()));
    const double density = s.number("TFExternCS.EditDensity");
    if (!st.extCsDistribution.values.empty()) st.extCsDistribution.values[0] = 0.0;
    constexpr double kDeg = 3.141592653589793 / 180.0;
    const double fS = e.k / std::cos(run.thetaIn * kDeg) + 1.0 / std::cos(run.thetaOut * kDeg);
    // sigma_total [cm^2] * N [1/cm^3] is a rate per cm; 1e-8 cm = 1 A.
    const double m = st.extCsDistribution.integral() * density * fS * 1e-8;
    s.logAppend("\nm= " + general(s, m) + "\n");
    s.parametersChanged();

    spectro sp(d[1].size(), d[1].step);
    spectro b = sp;
    const profile& p = st.elementProfiles[name];
    const std::vector<double> w = p.collisionWeights(static_cast<int>(d.size()) - 1, m, 1.0);
    const double hs = p.step * e.sigma;
    for (std::size_t k = 0; k < d.size(); ++k) {
      if (w[k] == 0.0) continue;  // adds exactly nothing
      const std::size_t len = std::min(sp.values.size(), d[k].values.size());
      sp.values.resize(len);
      for (std::size_t j = 0; j < len; ++j)
        sp.values[j] += (d[k].values[j] * w[k]) * hs;
    }
    sp.offset = e.k * run.e0 * 1000.0;
    if (s.controls().checked("TFMEIS.CheckSCCorr") && sp.integral() != 0.0) {
      if (s.controls().checked("TFExternCS.RadioSCCBasic")) {
        sp.convolveExponential(1.0 / el.sigma);
      } else if (readScc(s, b)) {
        showSccWidth(s, b, 4);
        b.normalize(1.0);
        sp = convolve(b, sp);
        sp.offset += s.number("TFExternCS.EditShift");
      }
    }
    if (sp.integral() != 0.0 && s.controls().checked("TFOptions.CheckConv")) {
      sp.broadenGaussian(run.spread);
    }
    st.extCsSpectra[name] = std::move(sp);
    s.host().processEvents();
    PlotNumericMEISExt(s);
  }
  s.SetStatus(failed ? "Numeric ECS ERROR!" : "External cross section calculation ready!");
}

void LoadSCC(Session& s) {
  WorkingState& st = s.state();
  const std::string name = s.controls().text("TFMEIS.EditElname");
  spectro& spectrum = st.extCsSpectra[name];
  spectro b = spectrum;
  for (double& v : b.values)
    v = 0.0;
  if (!readScc(s, b)) {
    s.host().showMessage("No single collision correction read for " + name);
    return;
  }
  showSccWidth(s, b, 15);
  b.normalize(1.0);
  spectrum = convolve(spectrum, b);
  PlotNumericMEISExt(s);
}

}  // namespace tarvex
