// The external cross-section commands: the tables from the cross-section file, the spectra, the
// single-collision correction from the SCC file and the file choosers of the window.
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/command_progress.h"
#include "app/meis_commands.h"
#include "app/meis_readers.h"
#include "core/numtext.h"
#include "io/data_file.h"
#include "io/files.h"
#include "io/loss_table.h"
#include "state/engine_command.h"

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

}  // namespace

void chooseLossFile(Session& s, const std::string& editKey) {
  const auto chosen = s.host().openFile(dataFileDialog(s.controls().text(editKey)));
  if (chosen) s.controls().setText(editKey, *chosen);
}

CrossSectionTable readCrossSectionFile(Session& s, const ExtTableParams& p, std::string* notice) {
  const std::string file = s.controls().text("TFExternCS.EditCSFile");
  if (file.empty()) {
    throw std::invalid_argument(
        "No cross section file chosen in the \"External cross section\" window");
  }
  const int bins = static_cast<int>(extTableBinCount(p.deltaE));
  std::string content;
  CrossSectionTable cs{spectro(bins, 1.0), file, {}};
  if (!readWholeFile(file, &content, kMaxLossFileBytes)) {
    const LossTableRead failed = readLossTableReport(file, cs.values);
    throw std::runtime_error(failed.opened ? failed.error
                                           : cannotOpen(s, "TFExternCS.EditCSFile", file));
  }
  const LossTableRead read = readLossTableText(content, file, cs.values);
  if (!read.ok()) throw std::runtime_error(read.error);
  if (notice != nullptr) *notice = read.notice;
  cs.identity = crossSectionIdentity(file, &content);
  if (const std::string refusal = extCrossSectionRefusal(cs); !refusal.empty()) {
    throw std::runtime_error(refusal);
  }
  return cs;
}

SccCorrection readSccCorrection(Session& s, int bins, double step) {
  spectro b(bins, step);
  if (const std::string failure = readScc(s, b); !failure.empty()) {
    throw std::runtime_error(failure);
  }
  SccCorrection c;
  c.table = std::move(b);
  c.shift = s.number("TFExternCS.EditShift");
  return c;
}

ExternalMeisInput readExternalMeisInput(Session& s) {
  ExternalMeisInput in;
  in.frame = readExternalFrame(s);
  in.tables = readExtTableParams(s);
  in.frame.density = in.tables.density;
  in.crossSection = readCrossSectionFile(s, in.tables, nullptr);
  if (in.frame.scc && !in.frame.sccBasic) {
    in.scc = readSccCorrection(s, static_cast<int>(extTableBinCount(in.tables.deltaE)), 1.0);
  }
  in.elements = s.state().elementMap;
  in.profiles = s.state().elementProfiles;
  return in;
}

void buildExtTables(Session& s, const ExtTableParams& p) {
  WorkingState& st = s.state();
  s.AddElement();
  s.eventPoint();
  s.controls().setText("TFMEIS.EditStep", general(s, 1.0));
  refuse(extGridRefusal(p, s.decimalSeparator()));

  if (s.controls().text("TFExternCS.EditCSFile").empty()) {
    chooseLossFile(s, "TFExternCS.EditCSFile");
  }
  if (s.controls().text("TFExternCS.EditCSFile").empty()) {
    // No cross section chosen: no tables, and the run ends with its error status.
    st.meisExtAutoValid = false;
    s.SetStatus("Numeric ECS ERROR! No cross section file chosen");
    return;
  }
  std::string notice;
  const CrossSectionTable cs = readCrossSectionFile(s, p, &notice);
  if (!notice.empty()) {
    s.SetStatus(notice);
    s.logAppend(notice + "\n");
  }

  // Every element reads the same file, so every element gets the same table: it is built once
  // and shared; only the logged kinematic factor differs. The statistics of each distribution,
  // taken once as it is built, serve every element's log.
  const auto logEntry = [&](const TableEntry& d) {
    s.logAppend("Auto #" + std::to_string(d.k) + ": \tIntegral= " + general(s, d.integral, 3) +
                "\t" + "M1= " + general(s, d.m1, 3) + "\n");
  };
  CommandProgress progress(s);
  progress.onAdvance = [&s](int k, int) { s.setPanel(0, std::to_string(k)); };
  ExtTable built;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External cross section calculation: " + name + " convolutions");
    const double k = kinematicFactor(p.m1, el.mass, 180.0 - p.thetaIn - p.thetaOut);
    s.logAppend("Numeric convolutions ECS: (inside loop) \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, k) + "\n");
    s.logAppend("Step: " + general(s, 1.0) + "\n\n");
    if (!built.table) {
      built = buildExtTable(p, cs, progress.run(), logEntry);
      refuse(built.refusal);
    } else {
      for (const TableEntry& d : built.entries) {
        logEntry(d);
        if (d.k > 1) s.setPanel(0, std::to_string(d.k));
      }
    }
    s.eventPoint();
  }
  // Published together: the tables of every element, their keys, the raw table and its display.
  const TableKey key = extTableKey(p, cs.identity);
  for (const auto& [name, el] : st.elementMap) {
    st.extCsLossDistributions[name] = built.table;
    st.extCsTableKeys[name] = key;
  }
  st.extCsDistribution = cs.values;
  const LossMoments m = lossMoments(cs.values);
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
  ExternalFrame frame = readExternalFrame(s);
  const ExtTableParams tableParams = readExtTableParams(s);
  frame.density = tableParams.density;
  const char sep = frame.decimalSeparator;
  refuse(ionEnergyRefusal(frame.run, sep));
  refuse(geometryRefusal(frame.run, st.elementMap, sep));
  refuse(spreadRefusal(frame.run, frame.convolve, sep));
  CommandProgress progress(s);
  bool failed = false;
  for (const auto& [name, el] : st.elementMap) {
    s.SetStatus("External CS: running " + name + " signal");
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
    const ExtElementSetup e = extElementSetup(frame, el, d, st.extCsDistribution);
    s.logAppend("\nNumeric ECS Calculation: \n");
    s.logAppend("Element: " + name + "\n");
    s.logAppend("ki: " + general(s, e.setup.k) + "\n");
    s.logAppend("m0= " + general(s, e.m0));
    s.logAppend("\nm1= " + general(s, e.m1));
    if (!st.extCsDistribution.values.empty()) st.extCsDistribution.values[0] = 0.0;
    s.logAppend("\nm= " + general(s, e.m) + "\n");
    s.parametersChanged();

    // The correction asked for cannot be made without its file: the run stops here, reported as
    // the failure it is, and the element keeps its spectrum (no curve without its correction
    // is shown).
    const SccSource sccFile = [&](int bins, double step) {
      spectro b(bins, step);
      const std::string failure = readScc(s, b);
      if (!failure.empty()) {
        s.logAppend(failure + "\n");
        throw std::runtime_error(failure + "\nThe external cross-section spectrum of " + name +
                                 " was not calculated: \"SCC\" asks for its correction.");
      }
      showSccWidth(s, b, 4);
      SccCorrection c;
      c.table = std::move(b);
      c.shift = s.number("TFExternCS.EditShift");
      return c;
    };
    MeisElementResult r = externalElementSpectrum(frame, name, el, st.elementProfiles[name], d,
                                                  st.extCsDistribution, sccFile, progress.run());
    refuse(r.refusal);
    st.extCsSpectra[name] = std::move(r.spectrum);
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
