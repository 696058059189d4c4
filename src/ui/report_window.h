// The report window's pages on screen and the print preview: both draw with the page painter,
// so the screen, the preview, the printed page and the PDF show the same page.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "app/report.h"
#include "state/session.h"

class QPrinter;
class QPrintPreviewDialog;
class QTabWidget;

namespace tarvex::ui {

// One report page as a sheet of paper scaled to the widget, redrawn whenever one of its labels,
// its charts or the picture changes.
class ReportPageView : public QWidget {
 public:
  // picture: the ion-scattering page's picture as it is when the page is drawn.
  ReportPageView(Session& session, ReportPage page, std::function<QImage()> picture,
                 QWidget* parent = nullptr);
  ~ReportPageView() override;
  ReportPageView(const ReportPageView&) = delete;
  ReportPageView& operator=(const ReportPageView&) = delete;

  ReportPage page() const { return page_; }
  // How many times the page was drawn (the window's tests).
  int paints() const { return paints_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Session& s_;
  ReportPage page_;
  std::function<QImage()> picture_;
  int controlObserver_ = 0;
  int chartObserver_ = 0;
  int paints_ = 0;
};

// The report window's page control: tab "RNRA" and tab "MEIS", the "MEIS" tab shown first.
QTabWidget* makeReportTabs(Session& session, const std::function<QImage()>& picture,
                           QWidget* parent);

// Sets a printer to the report's paper: A4 portrait with 10 mm margins.
void useReportPaper(QPrinter& printer);
// Draws a page on a printer (the preview's pages and the printed one).
void printReport(QPrinter& printer, Session& session, ReportPage page, const QImage& picture);
// Connects a print preview dialog (made on a printer set by useReportPaper) to a page.
void previewReport(QPrintPreviewDialog& dialog, Session& session, ReportPage page,
                   std::function<QImage()> picture);

}  // namespace tarvex::ui
