#include "app/report.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "core/numtext.h"

namespace tarvex {
namespace {

constexpr const char* kDataFilePanel = "TFTarvex3.StatusBar1.2";

std::string key(const char* label) {
  return std::string("TFReport.") + label;
}

void writeLabels(Session& s, const std::vector<ReportLabel>& labels) {
  ControlStore& c = s.controls();
  for (const ReportLabel& l : labels) {
    // A store built without the report window has no page to write into.
    if (c.has(l.key)) c.setText(l.key, l.text);
  }
}

}  // namespace

std::string reportDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  const char* name = std::setlocale(LC_TIME, nullptr);
  const bool plain = name == nullptr || std::strcmp(name, "C") == 0 ||
                     std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
  char buffer[128];
  const std::size_t n =
      std::strftime(buffer, sizeof buffer, plain ? "%Y-%m-%d %H:%M:%S" : "%x %X", &local);
  return std::string(buffer, n);
}

std::string labelText(const std::vector<ReportLabel>& labels, const std::string& k) {
  std::string text;
  for (const ReportLabel& l : labels) {
    if (l.key == k) text = l.text;
  }
  return text;
}

std::string drawnBackgroundText(const backgroundLine& line, char sep) {
  const auto general = [&](double v) { return formatGeneral(v, 15, sep); };
  if (line.y1 == line.y2) return general(line.y1);
  // A sloped line: its two points, as the "Background" window gives them.
  return general(line.y1) + " at " + general(line.x1) + " keV to " + general(line.y2) + " at " +
         general(line.x2) + " keV";
}

std::vector<ReportLabel> nraReportLabels(const Session& s) {
  const ControlStore& c = s.controls();
  const auto t = [&](const char* k) { return c.text(k); };
  return {
      {key("QRSample"), t(kDataFilePanel)},
      {key("QRDate"), reportDate(std::time(nullptr))},
      {key("QREr"), "Er (keV): " + t("TFNRP.EditEnrg")},
      {key("QREGauss"), "Gauss (eV): " + t("TFNRP.EditGauss")},
      {key("QRELor"), "Lorentz (eV): " + t("TFNRP.EditLor")},
      {key("QRDEDX"), "Stopping: " + t("TFNRP.Editdedx")},
      {key("QRS"), "Straggling: " + t("TFNRP.EditS")},
      {key("QRShift"), "Shift (keV): " + t("TFOptions.EditShift")},
      // The background under the drawn curves: the "Background" window's line as the last
      // calculation or preview (or a fit) applied it, not the Options field.
      {key("QRBack"), "Background (counts): " +
                          drawnBackgroundText(s.state().nraBackgroundLine, s.decimalSeparator())},
      {key("QRDose"), "Dose: " + t("TFOptions.EditMult")},
      {key("QRCalc"), c.checked("TFOptions.RadioNumeric") ? "Model: Numeric" : "Model: Bessel"},
      {key("QRFile"), s.state().lastDataFile},
  };
}

std::vector<ReportLabel> meisReportLabels(const Session& s) {
  const ControlStore& c = s.controls();
  const WorkingState& st = s.state();
  const char sep = s.decimalSeparator();
  const auto t = [&](const char* k) { return c.text(k); };
  const auto general = [&](double v) { return formatGeneral(v, 15, sep); };
  std::vector<ReportLabel> l;
  const auto set = [&](const char* label, std::string text) {
    l.push_back({key(label), std::move(text)});
  };

  set("QRFileSCCFile", "");
  set("QRFileECSFile", "");
  set("QRDeltaE", "");
  set("QRDeltaE", "Delta E (keV): " + t("TFMEIS.EditDeltaE"));
  set("QRDensity", "");

  set("QRSampleMEIS", t(kDataFilePanel));
  set("QRDateMEIS", reportDate(std::time(nullptr)));
  set("QREnergyMEIS", "Ion Energy (keV): " + t("TFMEIS.EditEnrg"));
  set("QRGaussMEIS", c.checked("TFOptions.CheckConv") ? "Instr FWHM (eV): " + t("TFMEIS.EditGauss")
                                                      : std::string("Instr. FWHM (eV): 0"));
  set("QRDEDXMEIS", " (eV/nm): " + t("TFMEIS.Editdedx"));
  set("QRSMEIS", " (eV^2/nm): " + t("TFMEIS.EditS"));
  set("QRIonMass", "Ion Mass: " + t("TFMEIS.EditPmass"));
  set("QRZ", "Ion Atomic #: " + t("TFMEIS.EditZp"));
  set("QRShiftMEIS", "Shift (keV): " + t("TFOptions.EditShift"));
  set("QRDoseMEIS", "Dose: " + t("TFOptions.EditMult"));
  set("QRThetaIn", "Theta in: " + t("TFMEIS.EditTIn"));
  set("QRThetaOut", "Theta out: " + t("TFMEIS.EditTOut"));
  set("QRFileMEIS", st.lastDataFile);
  set("QRTotal", t("TFrameMEISSample.StatusDraw.0"));
  const backgroundLine& b = st.meisBackgroundLine;
  set("QRLinback", "Linear Background= Es: " + general(b.x1) + "  Ys: " + general(b.y1) +
                       "  Ef: " + general(b.x2) + "  Yf: " + general(b.y2));
  // The selector can still name an element deleted from the composition: then the line has no
  // number (and the lookup must not create the element).
  const auto el = st.elementMap.find(t("TFrameMEISSample.ComboEl_list"));
  set("QRMEISSigma", "SCC 1/alpha (eV): " +
                         (el == st.elementMap.end() ? std::string() : general(el->second.sigma)));
  set("QRMaxThick", "Sample thickness (angstrom): " + t("TFMEIS.EditMaxDepth"));
  set("QRProfStep", "Stepsize (angstrom): " + t("TFMEIS.EditProfstep"));

  if (c.checked("TFOptions.RadioNumeric")) {
    set("QRNc", "Nc: " + t("TFMEIS.EditNc"));
    set("QRCalcMEIS", "MEIS: Amsel calculation");
    if (!c.checked("TFMEIS.CheckAuto")) {
      // The energy window the manual grid spans, in keV.
      const double window = s.number("TFMEIS.EditVecsize") * s.number("TFMEIS.EditStep") * 0.001;
      set("QRDeltaE", "Delta E (keV): " + formatGeneral(window, 2, sep));
    }
  } else if (c.checked("TFOptions.RadioAnalitic")) {
    set("QRCalcMEIS", "MEIS: Bessel calculation");
    set("QRNc", "Nc: -");
  } else if (c.checked("TFOptions.RadioGauss")) {
    set("QRCalcMEIS", "MEIS: Gaussian calculation");
    set("QRNc", "Nc: -");
  } else if (c.checked("TFOptions.RadioExternal")) {
    set("QRCalcMEIS", "MEIS External cross section");
    set("QRDEDXMEIS", " (eV/nm): " + t("TFExternCS.Editdedx"));
    set("QRSMEIS", " (eV^2/nm): " + t("TFExternCS.Editdw2dx"));
    set("QRMEISSigma", "1/alpha (eV): " + t("TFExternCS.EditSigmaExtSCC"));
    set("QRNc", "Nc: " + t("TFExternCS.EditNcExt"));
    set("QRDensity", "Density: (molecules/cm^3): " + t("TFExternCS.EditDensity"));
    if (c.checked("TFMEIS.CheckSCCorr")) {
      set("QRFileSCCFile", c.checked("TFExternCS.RadioSCCFile")
                               ? t("TFExternCS.EditSCCFile")
                               : std::string("SCC = alpha*exp(-alpha*E)"));
    }
    set("QRFileECSFile", t("TFExternCS.EditCSFile"));
  }
  if (!c.checked("TFMEIS.CheckSCCorr")) {
    set("QRMEISSigma", "1/alpha (eV): -");
    set("QRFileSCCFile", "No SCC");
  }
  return l;
}

void fillNraReport(Session& s) {
  const std::vector<ReportLabel> labels = nraReportLabels(s);
  ChartStore& ch = s.charts();
  // The report's profile chart shares its ranges with the sample window's resonant-NRA profile
  // chart (one "ChartNRPProf" in the chart store), so they are already the same.
  const profile& p = s.state().nraProfile;
  std::vector<ChartPoint> area;
  if (p.step > 0.0) {
    // The points that fit in the profile's depth, count x step.
    const double fit = std::floor(p.count * p.step / p.step);
    const std::size_t n = std::min(p.values.size(), static_cast<std::size_t>(std::max(fit, 0.0)));
    area = reportProfilePoints(p.values, n, p.step, ch.colour("ChartNRPProf.SeriesProf"));
  }
  std::vector<ChartPoint> outline = area;
  for (ChartPoint& point : outline)
    point.colour = ch.colour("ChartNRPProf.Series1");
  writeLabels(s, labels);
  ch.setPoints("ChartNRPProf.SeriesProf", std::move(area));
  ch.setPoints("ChartNRPProf.Series1", std::move(outline));
}

void fillMeisReport(Session& s) {
  writeLabels(s, meisReportLabels(s));
}

const char* reportPageName(ReportPage page) {
  return page == ReportPage::Nra ? "RNRA" : "MEIS";
}

std::vector<ChartPoint> reportProfilePoints(const std::vector<double>& values, std::size_t n,
                                            double step, Colour colour) {
  // A printed page is about 2 000 pixels wide at 300 dpi: twice that many columns show every
  // point the printer could.
  constexpr std::size_t kColumns = 4096;
  n = std::min(n, values.size());
  std::vector<ChartPoint> out;
  const auto point = [&](std::size_t i) {
    out.push_back({static_cast<double>(i) * step, values[i], colour});
  };
  if (n <= 2 * kColumns) {
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
      point(i);
    return out;
  }
  out.reserve(2 * kColumns + 2);
  point(0);
  for (std::size_t c = 0; c < kColumns; ++c) {
    const std::size_t begin = std::max<std::size_t>(1, c * n / kColumns);
    const std::size_t end = std::min(n - 1, (c + 1) * n / kColumns);
    if (begin >= end) continue;
    std::size_t lo = begin;
    std::size_t hi = begin;
    for (std::size_t i = begin + 1; i < end; ++i) {
      if (values[i] < values[lo]) lo = i;
      if (values[i] > values[hi]) hi = i;
    }
    point(std::min(lo, hi));
    if (lo != hi) point(std::max(lo, hi));
  }
  point(n - 1);
  return out;
}

void registerReportActions(Session& s) {
  // The preview, the window and the PDF are the front end's, reached through the session.
  Host& shows = s.host();
  s.registerAction("PreviewNRPReport", [&s] { fillNraReport(s); });
  s.registerAction("PreviewMEISReport", [&s] { fillMeisReport(s); });
  s.registerAction("Report", [&s, &shows] {
    if (s.nraMode()) {
      fillNraReport(s);
      shows.showReportPreview(reportPageName(ReportPage::Nra));
    } else {
      fillMeisReport(s);
      // The page is drawn from the store, so the window shows the new texts once pending events
      // have been processed.
      s.eventPoint();
      shows.showReportPreview(reportPageName(ReportPage::Meis));
    }
  });
  s.registerAction("ShowReport", [&s, &shows] {
    fillNraReport(s);
    fillMeisReport(s);
    if (s.controls().has("TFReport")) s.controls().setVisible("TFReport", true);
    shows.showReportWindow();
  });
  s.registerAction("SaveReportPdf", [&s, &shows] {
    const ReportPage page = s.nraMode() ? ReportPage::Nra : ReportPage::Meis;
    // A field the page cannot show stops here, before the dialog.
    if (page == ReportPage::Meis) (void)meisReportLabels(s);
    const std::optional<std::string> file = s.host().saveFile(
        {"Save report as PDF", "PDF documents (*.pdf)|*.pdf", "pdf", "report.pdf"});
    if (!file) return;
    if (page == ReportPage::Nra) {
      fillNraReport(s);
    } else {
      fillMeisReport(s);
    }
    switch (shows.writeReportPdf(reportPageName(page), *file)) {
      case ReportPdf::Written:
        s.SetStatus("Report saved: " + *file);
        break;
      case ReportPdf::Failed:
        // The status must not go on saying that an earlier report was saved.
        s.SetStatus("Cannot write " + *file);
        throw std::runtime_error("Cannot write " + *file);
      case ReportPdf::Unsupported:
        s.SetStatus("No report saved");
        throw std::runtime_error(
            "PDF reports need the libraries of the desktop program; this program was built "
            "without them");
    }
  });
}

}  // namespace tarvex
