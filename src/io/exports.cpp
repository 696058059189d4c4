#include "io/exports.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>
#include <vector>

#include "core/physics.h"
#include "io/files.h"
#include "io/profile_file.h"
#include "state/engine_command.h"
#include "state/session.h"

namespace tarvex {
namespace {

FileDialog curveDialog(const std::string& name) {
  return FileDialog{"Save calculation",
                    "Ascii Files (*.simulation)|*.simulation|All Files (*.*)|*.*", "simulation",
                    name};
}

// Writes one file of a command; a failure is reported and the command goes on.
void write(Session& s, const std::string& path, const std::string& content) {
  try {
    writeFileAtomically(path, content);
  } catch (const FileError& e) {
    s.host().showMessage(e.what());
  }
}

// Shows the curve-file dialog (prefilled from the data file name when asked), remembering the
// chosen name for its next use.
std::optional<std::string> chooseCurveFile(Session& s, bool prefilled) {
  WorkingState& st = s.state();
  if (prefilled) st.exportFileName = changeExtension(st.lastDataFile, ".simulation");
  auto chosen = s.host().saveFile(curveDialog(st.exportFileName));
  if (chosen) st.exportFileName = *chosen;
  return chosen;
}

struct MeisPlot {
  const char* action;
  const char* series;
};
MeisPlot meisPlot(MeisModel model) {
  switch (model) {
    case MeisModel::Bessel:
      return {"PlotAnaliticMEIS", "ChartPrinc.SeriesBessel"};
    case MeisModel::Numeric:
      return {"PlotNumericMEIS", "ChartPrinc.SeriesPrinc"};
    case MeisModel::ExternalCs:
      return {"PlotNumericMEISExt", "ChartPrinc.SeriesExtCS"};
    case MeisModel::Gaussian:
      break;
  }
  return {"PlotGaussianMEIS", "ChartPrinc.SeriesGauss"};
}

bool samePoints(const std::vector<ChartPoint>& a, const std::vector<ChartPoint>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].colour != b[i].colour) return false;
  }
  return true;
}

// Puts back every series a plot command changed.
void restoreCharts(ChartStore& charts, const std::map<std::string, Series>& before) {
  for (const auto& [key, series] : before) {
    if (!samePoints(charts.series(key).points, series.points)) {
      charts.setPoints(key, series.points);
    }
  }
}

void saveMeis(Session& s, MeisModel model) {
  const auto chosen = chooseCurveFile(s, false);
  if (chosen) write(s, *chosen, curveText(meisCurve(s, model)));
}

void saveExcitation(Session& s, const spectro& curve) {
  const auto chosen = chooseCurveFile(s, true);
  if (chosen) write(s, *chosen, curveText(excitationCurve(s, curve)));
}

// Whether writing path would replace the file the measured points were loaded from. Two
// existing names are compared as files (links and other spellings of one file included); a
// name that does not exist yet, or a data file that is gone, has nothing to lose.
bool isFileOf(const std::string& path, const std::string& dataFile) {
  namespace fs = std::filesystem;
  if (path.empty() || dataFile.empty()) return false;
  std::error_code ec;
  if (!fs::exists(path, ec) || !fs::exists(dataFile, ec)) return false;
  const bool same = fs::equivalent(path, dataFile, ec);
  if (!ec) return same;
  const fs::path a = fs::weakly_canonical(path, ec);
  if (ec) return false;
  const fs::path b = fs::weakly_canonical(dataFile, ec);
  return !ec && a == b;
}

// The files of a combined export. The file the measured points were loaded from is never
// among them: the user's own data (comments, every digit) would be replaced by the shorter
// ".exp" text. Nor is the data file chosen last, when it failed to load and the points on the
// chart still come from an earlier one. Such a file is left as it is and named in the log and
// the status at the end.
class ExportFiles {
 public:
  explicit ExportFiles(Session& s)
      : s_(s), dataFiles_{s.state().measuredDataFile, s.state().lastDataFile} {}

  // False, remembering path, when path is a data file of the session.
  bool mayWrite(const std::string& path) {
    const char* why = nullptr;
    if (isFileOf(path, dataFiles_[0])) {
      why = "the measured data were loaded from it";
    } else if (isFileOf(path, dataFiles_[1])) {
      why = "it was chosen as a measured-data file";
    } else {
      return true;
    }
    const std::string text = "\"" + path + "\" kept unchanged: " + why;
    if (std::find(kept_.begin(), kept_.end(), text) == kept_.end()) kept_.push_back(text);
    return false;
  }
  // Adds a file to the set (its content made now), unless it is a data file of the session.
  template <class Content>
  void add(const std::string& path, Content content) {
    if (mayWrite(path)) files_.push_back({path, content()});
  }
  void add(std::vector<FileImage> files) {
    for (FileImage& f : files) {
      if (mayWrite(f.path)) files_.push_back(std::move(f));
    }
  }
  // Writes the set together: every file to a temporary first, then all renamed. When one
  // cannot be written (a full disk) the writing stops there, the message names it, and every
  // file of the set is left as it was. True when all were written.
  bool write() {
    try {
      writeFilesTogether(files_);
      return true;
    } catch (const FileError& e) {
      s_.host().showMessage(std::string(e.what()) +
                            "\nNothing was exported: the files of the set are as they were.");
      return false;
    }
  }
  // Says which files were kept; after every other status of the command.
  void report() {
    for (const std::string& text : kept_) {
      s_.logAppend(text + "\n");
      s_.SetStatus(text);
    }
  }

 private:
  Session& s_;
  std::array<std::string, 2> dataFiles_;
  std::vector<std::string> kept_;
  std::vector<FileImage> files_;
};

struct Header {
  double shift, dose, background;
};

Header readHeader(Session& s) {
  Header h;
  h.shift = s.number("TFOptions.EditShift");
  h.dose = s.number("TFOptions.EditMult");
  h.background = s.number("TFOptions.EditBack");
  return h;
}

// The measured data, then the profile files and the binary profile of the NRA profile: in
// resonant NRA mode the profile writer's ".pro" is that file (written once); in ion-scattering
// mode it is the only binary file. Then the whole set, the curves before, is written together.
void writeDataAndProfiles(Session& s, ExportFiles& out, const std::string& base, const Header& h) {
  out.add(changeExtension(base, ".exp"), [&] { return measuredDataText(s, h.shift); });
  const std::string pro = changeExtension(base, ".pro");
  std::vector<FileImage> files = profileFiles(s, pro);
  const bool nra = s.nraMode();
  if (!nra) {
    files.push_back(
        {pro, encodeProfile(s.state().nraProfile, ProfileHeader{h.background, h.dose, h.shift})});
  }
  out.add(std::move(files));
  if (out.write() && nra) s.SetStatus("Profile saved!");
  out.report();
}

}  // namespace

std::string curveText(const std::vector<ChartPoint>& points) {
  std::string out;
  for (const ChartPoint& p : points) {
    out += formatG6(p.x);
    out += "   ";
    out += formatG6(p.y);
    out += '\n';
  }
  return out;
}

std::vector<ChartPoint> meisCurve(Session& s, MeisModel model) {
  const MeisPlot plot = meisPlot(model);
  ChartStore& charts = s.charts();
  const std::map<std::string, Series> before = charts.all();
  // In resonant NRA mode the plot draws into the main chart's hidden ion-scattering curve.
  const Series hiddenBefore = charts.series(plot.series, ChartMode::Meis);
  const auto putBack = [&] {
    restoreCharts(charts, before);
    if (charts.shownMode() != ChartMode::Meis) {
      charts.setPoints(plot.series, hiddenBefore.points, ChartMode::Meis);
    }
  };
  try {
    s.invoke(plot.action);
  } catch (...) {
    putBack();
    throw;
  }
  std::vector<ChartPoint> curve = charts.series(plot.series, ChartMode::Meis).points;
  putBack();
  return curve;
}

std::vector<ChartPoint> excitationCurve(Session& s, const spectro& curve) {
  const double er = s.number("TFNRP.EditEnrg");
  const double dose = s.number("TFOptions.EditMult");
  const backgroundLine& bg = s.state().nraBackgroundLine;
  std::vector<ChartPoint> points(static_cast<std::size_t>(curve.size()));
  for (int i = 0; i < curve.size(); ++i) {
    const double e = (i * curve.step - curve.offset) * 0.001 + er;
    points[static_cast<std::size_t>(i)] = {e, lineValue(bg, e) + curve.values[i] * dose};
  }
  requireDrawable(s, points);  // a file of "inf" is no curve either
  return points;
}

std::string measuredDataText(Session& s, double shift) {
  const auto& measured = s.state().measuredPoints;
  std::vector<ChartPoint> points;
  for (std::size_t i = 0; i + 1 < measured.size(); ++i) {
    points.push_back({static_cast<double>(measured[i].x) + shift, measured[i].y});
  }
  return curveText(points);
}

void SaveAnaliticMEIS(Session& s) {
  saveMeis(s, MeisModel::Bessel);
}
void SaveNumericMEIS(Session& s) {
  saveMeis(s, MeisModel::Numeric);
}
void SaveNumericMEISExt(Session& s) {
  saveMeis(s, MeisModel::ExternalCs);
}
void SaveGaussianMEIS(Session& s) {
  saveMeis(s, MeisModel::Gaussian);
}
void SaveAnaliticExcitation(Session& s) {
  saveExcitation(s, s.state().analyticExcitation);
}
void SaveNumericExcitation(Session& s) {
  saveExcitation(s, s.state().numericExcitation);
}

void ExplortAll(Session& s) {
  const Header h = readHeader(s);
  const auto chosen = chooseCurveFile(s, true);
  if (!chosen) return;
  const std::string& f = *chosen;
  WorkingState& st = s.state();
  const ControlStore& c = s.controls();
  ExportFiles out(s);
  const auto meis = [&](MeisModel model) {
    out.add(f, [&] { return curveText(meisCurve(s, model)); });
  };
  const auto excitation = [&](const spectro& curve) {
    out.add(f, [&] { return curveText(excitationCurve(s, curve)); });
  };
  if (!s.nraMode()) {
    if (c.checked("TFOptions.RadioAnalitic")) {
      meis(MeisModel::Bessel);
    } else if (c.checked("TFOptions.RadioNumeric")) {
      meis(MeisModel::Numeric);
    } else if (c.checked("TFOptions.RadioExternal")) {
      meis(MeisModel::ExternalCs);
    } else if (c.checked("TFOptions.RadioGauss")) {
      meis(MeisModel::Gaussian);
    }
  } else if (c.has("TFTarget.CheckLayered") && c.checked("TFTarget.CheckLayered")) {
    excitation(st.layeredExcitation);  // the curve a layered target draws
  } else if (c.checked("TFOptions.RadioAnalitic")) {
    excitation(st.analyticExcitation);
  } else if (c.checked("TFOptions.RadioNumeric")) {
    excitation(st.numericExcitation);
  }
  writeDataAndProfiles(s, out, f, h);
}

void Ultraexporter(Session& s) {
  const Header h = readHeader(s);
  WorkingState& st = s.state();
  const std::string p = changeExtension(s.controls().text("TFLayers.EditFileName"), ".simulation");
  st.exportFileName = p;
  ExportFiles out(s);
  const auto meis = [&](const char* suffix, MeisModel model) {
    out.add(changeExtension(p, suffix), [&] { return curveText(meisCurve(s, model)); });
  };
  const auto excitation = [&](const char* suffix, const spectro& curve) {
    out.add(changeExtension(p, suffix), [&] { return curveText(excitationCurve(s, curve)); });
  };
  if (!s.nraMode()) {
    meis("-Bessel.simulation", MeisModel::Bessel);
    meis("-Amsel.simulation", MeisModel::Numeric);
    meis("-AO.simulation", MeisModel::ExternalCs);
    meis("-Gauss.simulation", MeisModel::Gaussian);
  } else {
    excitation(" - Bessel.simulation", st.analyticExcitation);
    excitation(" - Amsel.simulation", st.numericExcitation);
    if (!st.layeredExcitation.values.empty())
      excitation(" - Layered.simulation", st.layeredExcitation);
  }
  writeDataAndProfiles(s, out, p, h);
}

}  // namespace tarvex
