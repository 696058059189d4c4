#include "ui/report_page.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QSaveFile>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "ui/chart_view.h"

namespace tarvex::ui {
namespace {

// The page is laid out as a screen page at 96 dpi (A4 less its margins: 190 mm x 277 mm) and
// scaled onto the device, so text and charts keep the proportions they have on screen.
constexpr double kPageWidth = 190.0 / 25.4 * 96.0;
constexpr double kPageHeight = 277.0 / 25.4 * 96.0;
constexpr double kLine = 18.0;

QFont reportFont(int pixels, bool bold = false) {
  QFont f;
  f.setFamilies({"Arial", "DejaVu Sans"});
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// The texts of the page's labels: the store's, or (a store without the report window) the
// window's design texts with the labels the page's fill would write.
std::map<std::string, QString> labelTexts(const Session& s, ReportPage page) {
  std::map<std::string, QString> texts;
  bool inStore = true;
  for (const ControlSpec& c : reportControls()) {
    if (s.controls().has(c.key)) {
      texts[c.key] = QString::fromStdString(s.controls().text(c.key));
    } else {
      texts[c.key] = QString::fromUtf8(c.text);
      inStore = false;
    }
  }
  if (!inStore) {
    try {
      for (const ReportLabel& l :
           page == ReportPage::Nra ? nraReportLabels(s) : meisReportLabels(s)) {
        texts[l.key] = QString::fromStdString(l.text);
      }
    } catch (const ConversionError&) {
      // The page keeps its design texts; the command that fills it reports the field.
    }
  }
  return texts;
}

// Draws a chart of the chart store at screen size into target, as vectors.
void paintChart(QPainter& painter, const QRectF& target, Session& s, const std::string& chart,
                std::vector<SeriesView> series, const QString& bottomLabel,
                const QString& leftLabel = QString()) {
  ChartView view(s.charts(), chart, std::move(series));
  view.flush();
  view.xAxis->setLabel(bottomLabel);
  view.yAxis->setLabel(leftLabel);
  const QFont font = reportFont(12);
  view.xAxis->setLabelFont(font);
  view.xAxis->setTickLabelFont(font);
  view.yAxis->setLabelFont(font);
  view.yAxis->setTickLabelFont(font);
  view.setBackground(Qt::white);
  const int w = static_cast<int>(target.width());
  const int h = static_cast<int>(target.height());
  view.resize(w, h);
  QPicture picture;
  {
    QCPPainter p(&picture);
    view.toPainter(&p, w, h);
  }
  // A picture replays scaled from the resolution it was recorded at to the device's.
  painter.save();
  painter.translate(target.topLeft());
  const QPaintDevice* device = painter.device();
  painter.scale(static_cast<double>(picture.logicalDpiX()) / device->logicalDpiX(),
                static_cast<double>(picture.logicalDpiY()) / device->logicalDpiY());
  painter.drawPicture(QPointF(0, 0), picture);
  painter.restore();
}

class PageWriter {
 public:
  PageWriter(QPainter& p, const std::map<std::string, QString>& texts) : p_(p), texts_(texts) {}

  QString text(const char* label) const {
    const auto it = texts_.find(std::string("TFReport.") + label);
    return it == texts_.end() ? QString() : it->second;
  }
  // One line of the label column.
  void line(const char* label, double x = 0.0) {
    p_.setFont(reportFont(13));
    p_.drawText(QRectF(x, y_, kPageWidth - x, kLine), Qt::AlignLeft | Qt::AlignVCenter,
                text(label));
    y_ += kLine;
  }
  // A line preceded by a fraction symbol: numerator over denominator, with an optional
  // superscript on the numerator.
  void fractionLine(const char* label, const QString& num, const QString& sup, const QString& den) {
    const QFont small = reportFont(10);
    const QFontMetricsF fm(small);
    const double width = std::max(fm.horizontalAdvance(num + sup), fm.horizontalAdvance(den)) + 2;
    y_ += 5;  // the numerator stands above the line of text: room from the line above
    const double top = y_ - 3;
    p_.setFont(small);
    p_.drawText(QRectF(0, top, width, kLine / 2 + 2), Qt::AlignHCenter | Qt::AlignBottom, num);
    if (!sup.isEmpty()) {
      p_.setFont(reportFont(7));
      p_.drawText(QPointF(width / 2 + fm.horizontalAdvance(num) / 2, top + 6), sup);
      p_.setFont(small);
    }
    p_.drawLine(QPointF(0, y_ + kLine / 2), QPointF(width, y_ + kLine / 2));
    p_.drawText(QRectF(0, y_ + kLine / 2, width, kLine / 2 + 4), Qt::AlignHCenter | Qt::AlignTop,
                den);
    y_ += 5;  // room for the fraction
    line(label, width);
    y_ += 5;
  }
  void title(const char* label, const char* version) {
    p_.setFont(reportFont(18, true));
    p_.drawText(QRectF(0, y_, kPageWidth, 26), Qt::AlignLeft | Qt::AlignVCenter, text(label));
    p_.setFont(reportFont(11));
    p_.drawText(QRectF(0, y_, kPageWidth, 26), Qt::AlignRight | Qt::AlignVCenter, text(version));
    y_ += 30;
    p_.drawLine(QPointF(0, y_), QPointF(kPageWidth, y_));
    y_ += 8;
  }
  double y() const { return y_; }
  void skip(double dy) { y_ += dy; }

 private:
  QPainter& p_;
  const std::map<std::string, QString>& texts_;
  double y_ = 0.0;
};

void paintNra(QPainter& p, Session& s, const std::map<std::string, QString>& texts) {
  PageWriter w(p, texts);
  w.title("QRNRNA", "QRVersion");
  for (const char* label : {"QRSample", "QRDate", "QREr", "QREGauss", "QRELor", "QRDEDX", "QRS",
                            "QRShift", "QRBack", "QRDose", "QRCalc"}) {
    w.line(label);
  }
  w.skip(10);
  const double bottom = kPageHeight - 2 * kLine;
  const double room = bottom - w.y();
  const double spectrum = room * 0.55;
  paintChart(p, QRectF(0, w.y(), kPageWidth, spectrum), s, "ChartNRPSpec",
             {{"ChartNRPSpec.SeriesExp", SeriesKind::Points},
              {"ChartNRPSpec.SeriesPrinc", SeriesKind::Line},
              {"ChartNRPSpec.SeriesBessel", SeriesKind::Line}},
             "Energy (keV)", QString::fromUtf8(kCountsAxisTitle));
  w.skip(spectrum + 8);
  paintChart(
      p, QRectF(0, w.y(), kPageWidth, bottom - w.y()), s, "ChartNRPProf",
      {{"ChartNRPProf.SeriesProf", SeriesKind::Area}, {"ChartNRPProf.Series1", SeriesKind::Line}},
      QString::fromUtf8(kDepthAxisTitle));
  w.skip(bottom - w.y() + 8);
  w.line("QRFile");
}

void paintMeis(QPainter& p, Session& s, const std::map<std::string, QString>& texts,
               const QImage& picture) {
  PageWriter w(p, texts);
  w.title("QRMEIS", "QRVersionMEIS");
  const double top = w.y();
  for (const char* label :
       {"QRSampleMEIS", "QRDateMEIS", "QRCalcMEIS", "QREnergyMEIS", "QRGaussMEIS"}) {
    w.line(label);
  }
  w.fractionLine("QRDEDXMEIS", w.text("QRSymbolDE"), QString(), w.text("QRSymbolDx"));
  w.fractionLine("QRSMEIS", w.text("QRSymbolDW"), w.text("QRSymbolSquare"), w.text("QRSymbolDx2"));
  for (const char* label :
       {"QRShiftMEIS", "QRDoseMEIS", "QRIonMass", "QRZ", "QRThetaIn", "QRThetaOut", "QRMEISSigma",
        "QRNc", "QRDeltaE", "QRMaxThick", "QRProfStep", "QRTotal", "QRLinback", "QRDensity",
        "QRFileECSFile", "QRFileSCCFile"}) {
    w.line(label);
  }
  // The layered sample's picture beside the upper labels, in its own proportions.
  const QRectF frame(kPageWidth * 0.55, top, kPageWidth * 0.45, 12 * kLine);
  if (!picture.isNull()) {
    QSizeF size = picture.size();
    size.scale(frame.size(), Qt::KeepAspectRatio);
    p.drawImage(QRectF(frame.topLeft(), size), picture);
  }
  w.skip(10);
  const double bottom = kPageHeight - 2 * kLine;
  paintChart(p, QRectF(0, w.y(), kPageWidth, bottom - w.y()), s, "ChartMEISSpec",
             {{"ChartMEISSpec.SeriesExp", SeriesKind::Points},
              {"ChartMEISSpec.SeriesPrinc", SeriesKind::Line},
              {"ChartMEISSpec.SeriesBessel", SeriesKind::Line},
              {"ChartMEISSpec.SeriesGauss", SeriesKind::Line},
              {"ChartMEISSpec.SeriesExtCSMEIS", SeriesKind::Line}},
             "Energy (keV)", QString::fromUtf8(kCountsAxisTitle));
  w.skip(bottom - w.y() + 8);
  w.line("QRFileMEIS");
}

}  // namespace

void paintReport(QPainter& painter, const QRectF& rect, Session& session, ReportPage page,
                 const QImage& picture) {
  const std::map<std::string, QString> texts = labelTexts(session, page);
  painter.save();
  painter.translate(rect.topLeft());
  const double scale = std::min(rect.width() / kPageWidth, rect.height() / kPageHeight);
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(Qt::black);
  if (page == ReportPage::Nra) {
    paintNra(painter, session, texts);
  } else {
    paintMeis(painter, session, texts, picture);
  }
  painter.restore();
}

bool saveReportPdf(Session& session, const QString& file, ReportPage page, const QImage& picture) {
  // Written into a temporary file beside the target and renamed over it once complete, so a
  // failure leaves no half file and an older report of that name as it was.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return false;
  {
    QPdfWriter writer(&out);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("Tarvex"));
    writer.setTitle(page == ReportPage::Nra ? QStringLiteral("Resonant NRA report")
                                            : QStringLiteral("Ion scattering report"));
    QPainter painter;
    if (!painter.begin(&writer)) {
      out.cancelWriting();
      return false;
    }
    // The painter starts at the corner inside the margins.
    const QSizeF paper = writer.pageLayout().paintRectPixels(writer.resolution()).size();
    paintReport(painter, QRectF(QPointF(0, 0), paper), session, page, picture);
    if (!painter.end()) {
      out.cancelWriting();
      return false;
    }
  }
  return out.commit();
}

ReportPage reportPage(const std::string& name) {
  return name == reportPageName(ReportPage::Nra) ? ReportPage::Nra : ReportPage::Meis;
}

}  // namespace tarvex::ui
