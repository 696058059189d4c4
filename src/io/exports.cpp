#include "io/exports.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "io/files.h"
#include "io/profile_file.h"
#include "meis/plots.h"
#include "state/session.h"

namespace tarvex {
namespace {

void line(std::string& out, double x, double y) {
  out += formatG6(x);
  out += "   ";
  out += formatG6(y);
  out += '\n';
}

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

void saveMeis(Session& s, std::map<std::string, spectro>& spectra) {
  const auto chosen = chooseCurveFile(s, false);
  if (chosen) write(s, *chosen, meisCurveText(s, spectra));
}

void saveExcitation(Session& s, const spectro& curve) {
  const auto chosen = chooseCurveFile(s, true);
  if (chosen) write(s, *chosen, excitationCurveText(s, curve));
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

// Export all steps 4 to 6: the measured data, the profile files and the binary profile.
void writeDataAndProfiles(Session& s, const std::string& base, const Header& h) {
  write(s, changeExtension(base, ".exp"), measuredDataText(s, h.shift));
  const std::string pro = changeExtension(base, ".pro");
  writeProfileFiles(s, pro);
  writeBinaryProfile(s, pro, ProfileHeader{h.background, h.dose, h.shift});
}

}  // namespace

std::string meisCurveText(Session& s, std::map<std::string, spectro>& spectra) {
  const MeisTotal t = meisTotal(s, spectra, true);
  std::string out;
  for (std::size_t k = 0; k < t.y.size(); ++k)
    line(out, t.e[k], t.y[k]);
  return out;
}

std::string excitationCurveText(Session& s, const spectro& curve) {
  const double er = s.number("TFNRP.EditEnrg");
  const double dose = s.number("TFOptions.EditMult");
  std::string out;
  const backgroundLine& bg = s.state().nraBackgroundLine;
  for (int i = 0; i < curve.size(); ++i) {
    const double e = (i * curve.step - curve.offset) * 0.001 + er;
    line(out, e, lineValue(bg, e) + curve.values[i] * dose);
  }
  return out;
}

std::string measuredDataText(Session& s, double shift) {
  std::string out;
  const auto& points = s.state().measuredPoints;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    line(out, static_cast<double>(points[i].x) + shift, points[i].y);
  }
  return out;
}

void SaveAnaliticMEIS(Session& s) {
  saveMeis(s, s.state().besselSpectra);
}
void SaveNumericMEIS(Session& s) {
  saveMeis(s, s.state().numericSpectra);
}
void SaveNumericMEISExt(Session& s) {
  saveMeis(s, s.state().extCsSpectra);
}
void SaveGaussianMEIS(Session& s) {
  saveMeis(s, s.state().gaussianSpectra);
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
      write(s, f, meisCurveText(s, st.besselSpectra));
    } else if (c.checked("TFOptions.RadioNumeric")) {
      write(s, f, meisCurveText(s, st.numericSpectra));
    } else if (c.checked("TFOptions.RadioExternal")) {
      write(s, f, meisCurveText(s, st.extCsSpectra));
    } else if (c.checked("TFOptions.RadioGauss")) {
      write(s, f, meisCurveText(s, st.gaussianSpectra));
    }
  } else if (c.checked("TFOptions.RadioAnalitic")) {
    write(s, f, excitationCurveText(s, st.analyticExcitation));
  } else if (c.checked("TFOptions.RadioNumeric")) {
    write(s, f, excitationCurveText(s, st.numericExcitation));
  }
  writeDataAndProfiles(s, f, h);
}

void Ultraexporter(Session& s) {
  const Header h = readHeader(s);
  WorkingState& st = s.state();
  const std::string p = changeExtension(s.controls().text("TFLayers.EditFileName"), ".simulation");
  st.exportFileName = p;
  if (!s.nraMode()) {
    write(s, changeExtension(p, "-Bessel.simulation"), meisCurveText(s, st.besselSpectra));
    write(s, changeExtension(p, "-Amsel.simulation"), meisCurveText(s, st.numericSpectra));
    write(s, changeExtension(p, "-AO.simulation"), meisCurveText(s, st.extCsSpectra));
    write(s, changeExtension(p, "-Gauss.simulation"), meisCurveText(s, st.gaussianSpectra));
  } else {
    write(s, changeExtension(p, " - Bessel.simulation"),
          excitationCurveText(s, st.analyticExcitation));
    write(s, changeExtension(p, " - Amsel.simulation"),
          excitationCurveText(s, st.numericExcitation));
  }
  writeDataAndProfiles(s, p, h);
}

}  // namespace tarvex
