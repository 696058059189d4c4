#include "meis/external.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/collision_table.h"
#include "core/limits.h"
#include "core/numtext.h"
#include "io/data_file.h"
#include "io/files.h"
#include "io/loss_table.h"
#include "meis/plots.h"
#include "meis/setup.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {
namespace {

// Cross-section and SCC tables are short text files; anything larger is not one.
constexpr std::size_t kMaxLossFileBytes = std::size_t{1} << 28;

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

// Where a file named in the window's field `editKey` was looked for, and why it could not be
// opened: the field and the window that name it, and the folder that was searched.
std::string cannotOpen(Session& s, const char* editKey, const std::string& file) {
  namespace fs = std::filesystem;
  const fs::path p(file);
  std::error_code ec;
  fs::path folder = (p.is_absolute() ? p : fs::current_path(ec) / p).parent_path();
  folder = folder.lexically_normal();
  std::string why;
  const auto status = fs::status(p, ec);
  if (ec || !fs::exists(status)) {
    why = "there is no such file in the folder " + folder.string();
  } else if (fs::is_directory(status)) {
    why = "it is a folder (in " + folder.string() + ")";
  } else {
    why = "it cannot be read (in the folder " + folder.string() + ")";
  }
  const std::string& caption = s.controls().get(editKey).caption;
  return "Cannot open \"" + file + "\", named by \"" + caption +
         "\" in the \"External cross section\" window: " + why +
         ". Choose the file with the \"...\" button beside the field, or type its full name.";
}

// Reads the SCC file into b (zero on entry), asking for the file when none is named. Returns
// why nothing could be used (b then holds no values), or nothing.
std::string readScc(Session& s, spectro& b) {
  constexpr const char* kField = "TFExternCS.EditSCCFile";
  if (s.controls().text(kField).empty()) chooseLossFile(s, kField);
  const std::string file = s.controls().text(kField);
  if (file.empty()) return "No SCC file chosen in the \"External cross section\" window";
  const LossTableRead read = readLossTableReport(file, b);
  if (!read.ok()) {
    return read.opened ? read.error : cannotOpen(s, kField, file);
  }
  if (!read.notice.empty()) {
    s.SetStatus(read.notice);
    s.logAppend(read.notice + "\n");
  }
  if (b.integral() == 0.0)
    return "The SCC file \"" + file + "\" holds no correction (its values sum to 0)";
  return {};
}

}  // namespace

void chooseLossFile(Session& s, const std::string& editKey) {
  const auto chosen = s.host().openFile(dataFileDialog(s.controls().text(editKey)));
  if (chosen) s.controls().setText(editKey, *chosen);
}

namespace {

// What names the cross-section file and identifies its content (empty: no readable file).
std::string crossSectionIdentity(const std::string& file, const std::string* content = nullptr) {
  std::string read;
  if (content == nullptr) {
    if (file.empty() || !readWholeFile(file, &read, kMaxLossFileBytes)) return {};
    content = &read;
  }
  return file + "\n" + std::to_string(content->size()) + ":" +
         std::to_string(std::hash<std::string>{}(*content));
}

// The tables' key: the grid (Delta E), the collision count and the file's identity.
TableKey extTableKey(const ExtTableParams& p, const std::string& identity) {
  TableKey k;
  k.values = {p.deltaE, static_cast<double>(p.nc)};
  k.text = identity;
  return k;
}

}  // namespace

ExtTableParams readExtTableParams(Session& s) {
  ExtTableParams p;
  p.thetaIn = s.number("TFMEIS.EditTIn");
  p.thetaOut = s.number("TFMEIS.EditTOut");
  p.nc = s.integer("TFExternCS.EditNcExt");
  p.deltaE = s.number("TFMEIS.EditDeltaE");
  p.m1 = s.number("TFMEIS.EditPmass");
  p.density = s.number("TFExternCS.EditDensity");
  return p;
}

void buildExtTables(Session& s, const ExtTableParams& p) {
  WorkingState& st = s.state();
  s.AddElement();
  s.eventPoint();
  s.controls().setText("TFMEIS.EditStep", general(s, 1.0));
  const char sep = s.decimalSeparator();
  const double binsReal = std::trunc(p.deltaE * 1000.0);
  if (p.nc < 1) {
    throw std::invalid_argument("Nc: " + std::to_string(p.nc) + " must be at least 1");
  }
  if (!(binsReal >= 2.0)) {
    throw std::invalid_argument("Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) +
                                " leaves no energy grid of 1 eV bins: it must be 0.002 or more");
  }
  // One table serves every element.
  if (!collisionTableFits(p.nc, binsReal)) {
    throw std::invalid_argument("Nc: " + std::to_string(p.nc) +
                                " and Delta E (keV): " + formatGeneral(p.deltaE, 15, sep) +
                                " give " + collisionTableSizeText(p.nc, binsReal, 1.0, sep) + "; " +
                                collisionTableLimitText(sep));
  }
  const int bins = static_cast<int>(binsReal);

  if (s.controls().text("TFExternCS.EditCSFile").empty()) {
    chooseLossFile(s, "TFExternCS.EditCSFile");
  }
  const std::string file = s.controls().text("TFExternCS.EditCSFile");
  if (file.empty()) {
    // No cross section chosen: no tables, and the run ends with its error status.
    st.meisExtAutoValid = false;
    s.SetStatus("Numeric ECS ERROR! No cross section file chosen");
    return;
  }
  std::string content;
  spectro raw(bins, 1.0);
  if (!readWholeFile(file, &content, kMaxLossFileBytes)) {
    const LossTableRead failed = readLossTableReport(file, raw);
    throw std::runtime_error(failed.opened ? failed.error
                                           : cannotOpen(s, "TFExternCS.EditCSFile", file));
  }
  const LossTableRead read = readLossTableText(content, file, raw);
  if (!read.ok()) throw std::runtime_error(read.error);
  if (!read.notice.empty()) {
    s.SetStatus(read.notice);
    s.logAppend(read.notice + "\n");
  }
  spectro single = raw;
  single.values[0] = 0.0;
  if (single.integral() == 0.0) {
    throw std::runtime_error("The cross section file " + file +
                             " holds no loss value above 0 eV: there is no collision to count");
  }
  single.normalize(1.0);
  spectro zeroLoss(bins, 1.0);
  zeroLoss.setValue(0, 0.9f);

  // Every element reads the same file, so every element gets the same table: it is built once
  // and shared; only the logged kinematic factor differs.
  std::shared_ptr<const std::vector<spectro>> built;
  // The statistics of each distribution, taken once as it is built, serve every element's log.
  std::vector<DistributionStats> stats(static_cast<std::size_t>(p.nc) + 1);
  const auto logEntry = [&](int k) {
    const DistributionStats& d = stats[static_cast<std::size_t>(k)];
    if (k == 1) {
      s.logAppend("Auto #1: \tIntegral= " + general(s, d.integral, 3) + "\t" +
                  "M1= " + general(s, d.mean, 3) + "\n");
      return;
    }
    s.logAppend("Auto #" + std::to_string(k) + ": \tIntegral= " + general(s, d.integral, 3) + "\t" +
                "M1= " + general(s, d.mean / (k * stats[1].mean), 3) + "\n");
    s.setPanel(0, std::to_string(k));
  };
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External cross section calculation: " + name + " convolutions");
    const double k = kinematicFactor(p.m1, el.mass, 180.0 - p.thetaIn - p.thetaOut);
    s.logAppend("Numeric convolutions ECS: (inside loop) \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, k) + "\n");
    s.logAppend("Step: " + general(s, 1.0) + "\n\n");
    if (!built) {
      built = std::make_shared<const std::vector<spectro>>(
          buildCollisionTable(zeroLoss, single, p.nc,
                              [&](int k, const std::vector<spectro>&, const DistributionStats& d) {
                                stats[static_cast<std::size_t>(k)] = d;
                                logEntry(k);
                                if (k > 1) s.eventPoint();
                              }));
    } else {
      for (int k = 1; k <= p.nc; ++k)
        logEntry(k);
    }
    s.eventPoint();
  }
  // Published together: the tables of every element, their keys, the raw table and its display.
  const TableKey key = extTableKey(p, crossSectionIdentity(file, &content));
  for (const auto& [name, el] : st.elementMap) {
    st.extCsLossDistributions[name] = built;
    st.extCsTableKeys[name] = key;
  }
  st.extCsDistribution = raw;
  const LossMoments m = lossMoments(raw);
  s.controls().setText("TFExternCS.Editdedx", general(s, p.density * m.first * 1e-7, 4));
  s.controls().setText("TFExternCS.Editdw2dx", general(s, p.density * m.second * 1e-7, 6));
  st.meisExtAutoValid = true;
}

void CalcMEISAutosExt(Session& s) {
  runEngineCommand(s, "Numeric ECS ERROR!", "the cross section tables",
                   [&] { buildExtTables(s, readExtTableParams(s)); });
}

namespace {

bool extTablesCurrent(WorkingState& st, const TableKey& key, const std::string& name) {
  const auto k = st.extCsTableKeys.find(name);
  const auto& table = st.extCsLossDistributions[name];
  return k != st.extCsTableKeys.end() && k->second == key && table && table->size() >= 2;
}

void externalMeis(Session& s) {
  WorkingState& st = s.state();
  if (ensureComposition(s)) s.Updateplot();
  s.SetStatus("External cross section calculation...");
  s.eventPoint();
  MeisRun run;
  run.e0 = s.number("TFMEIS.EditEnrg");
  run.thetaIn = s.number("TFMEIS.EditTIn");
  run.thetaOut = s.number("TFMEIS.EditTOut");
  run.spread = s.number("TFMEIS.EditGauss");
  readProjectile(s, run);
  const ExtTableParams tableParams = readExtTableParams(s);
  checkIonEnergy(s, run);
  checkGeometry(s, run, st.elementMap);
  checkSpread(s, run);
  bool failed = false;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External CS: running " + name + " signal");
    const ElementSetup e = prepareElement(el, run);
    // Built from another file, grid or count than those of now (or not for this element):
    // rebuilt, like tables that were never built.
    const auto current = [&, &element = name] {
      const TableKey key = extTableKey(
          tableParams, crossSectionIdentity(s.controls().text("TFExternCS.EditCSFile")));
      return extTablesCurrent(st, key, element);
    };
    if (!st.meisExtAutoValid) buildExtTables(s, tableParams);
    if (!current()) buildExtTables(s, tableParams);
    if (!st.meisExtAutoValid || !current()) {
      failed = true;
      continue;
    }
    const std::shared_ptr<const std::vector<spectro>> shared = st.extCsLossDistributions[name];
    const std::vector<spectro>& d = *shared;
    s.eventPoint();
    s.logAppend("\nNumeric ECS Calculation: \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, e.k) + "\n");
    s.logAppend("m0= " + general(s, d[1].integral()));
    s.logAppend("\nm1= " + general(s, d[1].mean()));
    if (!st.extCsDistribution.values.empty()) st.extCsDistribution.values[0] = 0.0;
    const double fS = e.k / std::cos(run.thetaIn * kDegreesToRadians) +
                      1.0 / std::cos(run.thetaOut * kDegreesToRadians);
    // sigma_total [cm^2] * N [1/cm^3] is a rate per cm; 1e-8 cm = 1 A.
    const double m = st.extCsDistribution.integral() * tableParams.density * fS * 1e-8;
    s.logAppend("\nm= " + general(s, m) + "\n");
    s.parametersChanged();

    const profile& p = st.elementProfiles[name];
    checkPoissonWork(p.count, static_cast<double>(d.size()));
    const std::vector<double> w = p.collisionWeights(static_cast<int>(d.size()) - 1, m, 1.0);
    spectro sp = mixCollisionTable(d, w, p.step * e.sigma, MixOrder::valueTimesWeight);
    spectro b(d[1].size(), d[1].step);
    sp.offset = e.k * run.e0 * 1000.0;
    if (s.controls().checked("TFMEIS.CheckSCCorr") && sp.integral() != 0.0) {
      if (s.controls().checked("TFExternCS.RadioSCCBasic")) {
        sp.convolveExponential(1.0 / el.sigma);
      } else {
        // The correction asked for cannot be made: the run stops here, reported as the failure
        // it is, and the element keeps its spectrum (no curve without its correction is shown).
        const std::string failed = readScc(s, b);
        if (!failed.empty()) {
          s.logAppend(failed + "\n");
          throw std::runtime_error(failed + "\nThe external cross-section spectrum of " + name +
                                   " was not calculated: \"SCC\" asks for its correction.");
        }
        showSccWidth(s, b, 4);
        b.normalize(1.0);
        sp = convolve(b, sp);
        sp.offset += s.number("TFExternCS.EditShift");
      }
    }
    if (sp.integral() != 0.0 && s.controls().checked("TFOptions.CheckConv")) {
      checkSpreadReach(s, sp, run.spread);
      sp.broadenGaussian(run.spread);
    }
    requireFiniteCurve(s, sp, "The external cross-section spectrum of " + name, p);
    st.extCsSpectra[name] = std::move(sp);
    s.eventPoint();
    PlotNumericMEISExt(s);
  }
  s.SetStatus(failed ? "Numeric ECS ERROR!" : "External cross section calculation ready!");
}

}  // namespace

void CalcNumericMEISExt(Session& s) {
  runEngineCommand(s, "Numeric ECS ERROR!", "the external cross section spectra",
                   [&] { externalMeis(s); });
}

void LoadSCC(Session& s) {
  WorkingState& st = s.state();
  const std::string name = s.controls().text("TFMEIS.EditElname");
  spectro& spectrum = st.extCsSpectra[name];
  // Nothing to correct yet: say so, rather than blame the file.
  if (spectrum.size() < 2) {
    s.host().showMessage(name + " has no external cross-section spectrum yet: calculate it with " +
                         "the \"External CS\" model first, then load the correction");
    return;
  }
  spectro b = spectrum;
  for (double& v : b.values)
    v = 0.0;
  if (const std::string failed = readScc(s, b); !failed.empty()) {
    s.host().showMessage("No single collision correction read for " + name + ": " + failed);
    return;
  }
  showSccWidth(s, b, 15);
  b.normalize(1.0);
  spectrum = convolve(spectrum, b);
  PlotNumericMEISExt(s);
}

}  // namespace tarvex
