// The report window, its print preview and the report PDF.
#include "ui/desktop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "core/numtext.h"
#include "state/action_catalogue.h"
#include "state/drawing.h"
#include "state/readout.h"
#include "ui/desktop_widgets.h"
#include "ui/fit_window.h"
#include "ui/gui_host.h"
#include "ui/icon.h"
#include "ui/placement.h"
#include "ui/report_page.h"
#include "ui/report_window.h"

namespace tarvex::ui {

void Desktop::buildReport() {
  QWidget* w = newWindow("TFReport");
  auto* layout = new QVBoxLayout(w);
  layout->setContentsMargins(0, 0, 0, 0);
  reportTabs_ = makeReportTabs(
      s_, [this] { return reportPicture_; }, w);
  layout->addWidget(reportTabs_);
  w->resize(560, 780);
}

void Desktop::paintWindowIntoReport(const std::string& form, const std::string& picture) {
  if (picture != "TFReport.QRImage1") return;
  const auto it = windows_.find(form);
  if (it == windows_.end() || it->second == nullptr) return;
  QWidget* w = it->second;
  // A window that was never shown has not laid out its controls yet.
  if (QLayout* layout = w->layout()) layout->activate();
  // The command that asks for the picture keeps the window disabled: the picture shows it as
  // the user sees it between commands.
  const bool enabled = w->isEnabled();
  w->setEnabled(true);
  reportPicture_ = w->grab().toImage();
  w->setEnabled(enabled);
  for (int i = 0; reportTabs_ != nullptr && i < reportTabs_->count(); ++i)
    reportTabs_->widget(i)->update();
}

void Desktop::showReportPreview(ReportPage page) {
  // The preview is modal: it opens when the command has ended, so that the program is not busy
  // while the user looks at the page.
  QTimer::singleShot(0, mainWindow(), [this, page] { openReportPreview(page); });
}

void Desktop::openReportPreview(ReportPage page) {
  QPrinter printer(QPrinter::HighResolution);
  useReportPaper(printer);
  QPrintPreviewDialog dialog(&printer, mainWindow());
  previewReport(dialog, s_, page, [this] { return reportPicture_; });
  host_.runReportPreview(dialog);
}

void Desktop::showReportWindow() {
  QWidget* w = window("TFReport");
  if (!w->isVisible()) {
    if (shown_.count("TFReport") == 0 && restored_.count("TFReport") == 0) {
      placeBesideOpener("TFReport");
    }
    shown_.insert("TFReport");
    w->show();
  }
  w->raise();
  w->activateWindow();
}

bool Desktop::writeReportPdf(ReportPage page, const QString& file) {
  return saveReportPdf(s_, file, page, reportPicture_);
}

}  // namespace tarvex::ui
