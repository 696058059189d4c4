#include "io/exports.h"

#include <map>
#include <optional>
#include <vector>

#include "core/physics.h"
#include "io/files.h"
#include "io/profile_file.h"
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
// mode it is the only binary file. The profile files are written together.
void writeDataAndProfiles(Session& s, const std::string& base, const Header& h) {
  write(s, changeExtension(base, ".exp"), measuredDataText(s, h.shift));
  const std::string pro = changeExtension(base, ".pro");
  std::vector<FileImage> files = profileFiles(s, pro);
  const bool nra = s.nraMode();
  if (!nra) {
    files.push_back(
        {pro, encodeProfile(s.state().nraProfile, ProfileHeader{h.background, h.dose, h.shift})});
  }
  if (writeReported(s, files) && nra) s.SetStatus("Profile saved!");
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
  try {
    s.invoke(plot.action);
  } catch (...) {
    restoreCharts(charts, before);
    throw;
  }
  std::vector<ChartPoint> curve = charts.series(plot.series).points;
  restoreCharts(charts, before);
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
  if (!s.nraMode()) {
    if (c.checked("TFOptions.RadioAnalitic")) {
      write(s, f, curveText(meisCurve(s, MeisModel::Bessel)));
    } else if (c.checked("TFOptions.RadioNumeric")) {
      write(s, f, curveText(meisCurve(s, MeisModel::Numeric)));
    } else if (c.checked("TFOptions.RadioExternal")) {
      write(s, f, curveText(meisCurve(s, MeisModel::ExternalCs)));
    } else if (c.checked("TFOptions.RadioGauss")) {
      write(s, f, curveText(meisCurve(s, MeisModel::Gaussian)));
    }
  } else if (c.checked("TFOptions.RadioAnalitic")) {
    write(s, f, curveText(excitationCurve(s, st.analyticExcitation)));
  } else if (c.checked("TFOptions.RadioNumeric")) {
    write(s, f, curveText(excitationCurve(s, st.numericExcitation)));
  }
  writeDataAndProfiles(s, f, h);
}

void Ultraexporter(Session& s) {
  const Header h = readHeader(s);
  WorkingState& st = s.state();
  const std::string p = changeExtension(s.controls().text("TFLayers.EditFileName"), ".simulation");
  st.exportFileName = p;
  if (!s.nraMode()) {
    write(s, changeExtension(p, "-Bessel.simulation"), curveText(meisCurve(s, MeisModel::Bessel)));
    write(s, changeExtension(p, "-Amsel.simulation"), curveText(meisCurve(s, MeisModel::Numeric)));
    write(s, changeExtension(p, "-AO.simulation"), curveText(meisCurve(s, MeisModel::ExternalCs)));
    write(s, changeExtension(p, "-Gauss.simulation"), curveText(meisCurve(s, MeisModel::Gaussian)));
  } else {
    write(s, changeExtension(p, " - Bessel.simulation"),
          curveText(excitationCurve(s, st.analyticExcitation)));
    write(s, changeExtension(p, " - Amsel.simulation"),
          curveText(excitationCurve(s, st.numericExcitation)));
  }
  writeDataAndProfiles(s, p, h);
}

}  // namespace tarvex
