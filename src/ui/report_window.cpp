#include "ui/report_window.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTabWidget>
#include <utility>

#include "ui/report_page.h"

namespace tarvex::ui {
namespace {

// A4 with 10 mm margins, in millimetres.
constexpr double kPaperWidth = 210.0;
constexpr double kPaperHeight = 297.0;
constexpr double kMargin = 10.0;

bool startsWith(const std::string& key, const char* prefix) {
  return key.rfind(prefix, 0) == 0;
}

// Whether a chart store key belongs to a page: its spectrum chart, or the resonant page's
// profile chart (series and axes).
bool chartOfPage(const std::string& key, ReportPage page) {
  if (page == ReportPage::Nra) {
    return startsWith(key, "ChartNRPSpec") || key == "ChartNRPProf" ||
           key == "ChartNRPProf.SeriesProf" || key == "ChartNRPProf.Series1";
  }
  return startsWith(key, "ChartMEISSpec");
}

}  // namespace

ReportPageView::ReportPageView(Session& session, ReportPage page, std::function<QImage()> picture,
                               QWidget* parent)
    : QWidget(parent), s_(session), page_(page), picture_(std::move(picture)) {
  setObjectName(QString::fromUtf8(reportPageName(page)));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(128, 128, 128));
  setPalette(pal);
  // update() only marks the page: several changes in a row draw it once.
  controlObserver_ = s_.controls().observe([this](const std::string& key) {
    if (startsWith(key, "TFReport.")) update();
  });
  chartObserver_ = s_.charts().observe([this](const std::string& key) {
    if (chartOfPage(key, page_)) update();
  });
}

ReportPageView::~ReportPageView() {
  s_.controls().unobserve(controlObserver_);
  s_.charts().unobserve(chartObserver_);
}

QSize ReportPageView::sizeHint() const {
  return {595, 842};
}

void ReportPageView::paintEvent(QPaintEvent* /*event*/) {
  ++paints_;
  QPainter painter(this);
  // The sheet: as large as the widget allows, in the paper's proportions.
  QSizeF sheet(kPaperWidth, kPaperHeight);
  sheet.scale(QSizeF(width() - 16.0, height() - 16.0), Qt::KeepAspectRatio);
  if (sheet.width() < 10 || sheet.height() < 10) return;
  const QRectF paper(QPointF((width() - sheet.width()) / 2, (height() - sheet.height()) / 2),
                     sheet);
  painter.fillRect(paper.translated(3, 3), QColor(90, 90, 90));
  painter.fillRect(paper, Qt::white);
  const double mm = paper.width() / kPaperWidth;
  const QRectF inside = paper.adjusted(kMargin * mm, kMargin * mm, -kMargin * mm, -kMargin * mm);
  paintReport(painter, inside, s_, page_, picture_ ? picture_() : QImage());
}

QTabWidget* makeReportTabs(Session& session, const std::function<QImage()>& picture,
                           QWidget* parent) {
  auto* tabs = new QTabWidget(parent);
  tabs->setObjectName(QStringLiteral("PageControl1"));
  const ControlStore& c = session.controls();
  const auto caption = [&](const char* key, const char* fallback) {
    return QString::fromStdString(c.has(key) ? c.get(key).caption : std::string(fallback));
  };
  tabs->addTab(new ReportPageView(session, ReportPage::Nra, picture, tabs),
               caption("TFReport.TabNRP", "RNRA"));
  tabs->addTab(new ReportPageView(session, ReportPage::Meis, picture, tabs),
               caption("TFReport.TabMEIS", "MEIS"));
  tabs->setCurrentIndex(1);
  return tabs;
}

void useReportPaper(QPrinter& printer) {
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                    QMarginsF(kMargin, kMargin, kMargin, kMargin),
                                    QPageLayout::Millimeter));
}

void printReport(QPrinter& printer, Session& session, ReportPage page, const QImage& picture) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  // The painter starts at the corner inside the margins.
  const QSizeF inside = printer.pageLayout().paintRectPixels(printer.resolution()).size();
  paintReport(painter, QRectF(QPointF(0, 0), inside), session, page, picture);
  painter.end();
}

void previewReport(QPrintPreviewDialog& dialog, Session& session, ReportPage page,
                   std::function<QImage()> picture) {
  dialog.setWindowTitle(QStringLiteral("Report"));
  dialog.setObjectName(QString::fromUtf8(reportPageName(page)));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&session, page, picture = std::move(picture)](QPrinter* printer) {
                     printReport(*printer, session, page, picture ? picture() : QImage());
                   });
}

}  // namespace tarvex::ui
