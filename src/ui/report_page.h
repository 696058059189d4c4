// The report pages drawn with a painter: one A4 portrait page per mode with its labels in one
// column, the spectrum chart and the profile chart or the layered sample's picture. The same
// drawing serves the report window, the print preview and the PDF file.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <memory>
#include <string>

#include "app/report.h"
#include "state/session.h"

class QApplication;
class QPainter;

namespace tarvex::ui {

// Draws a page into rect (the page inside its 10 mm margins, in the painter's units). The text
// and charts keep their proportions at any resolution; picture is the ion-scattering page's
// picture of the layered sample (null: left empty).
void paintReport(QPainter& painter, const QRectF& rect, Session& session, ReportPage page,
                 const QImage& picture = QImage());

// Writes a page as a one-page vector PDF (A4, 10 mm margins, fonts embedded). False when the
// file cannot be written.
bool saveReportPdf(Session& session, const QString& file, ReportPage page,
                   const QImage& picture = QImage());

// The page a front end names "RNRA" or "MEIS" (anything else: the ion-scattering page).
ReportPage reportPage(const std::string& name);

// Report PDFs for a program without windows (tarvex-cli): the toolkit starts on the offscreen
// platform (unless QT_QPA_PLATFORM names another) with the first page written, not before, and
// ends with this object.
class OffscreenReportPdf {
 public:
  OffscreenReportPdf();
  ~OffscreenReportPdf();
  OffscreenReportPdf(const OffscreenReportPdf&) = delete;
  OffscreenReportPdf& operator=(const OffscreenReportPdf&) = delete;

  ReportPdf write(Session& session, const std::string& page, const std::string& file);

 private:
  int argc_ = 1;
  char* argv_[2];
  std::unique_ptr<QApplication> app_;
};

}  // namespace tarvex::ui
