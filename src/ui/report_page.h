// The report pages drawn with a painter: one A4 portrait page per mode with its labels in one
// column, the spectrum chart and the profile chart or the layered sample's picture. The same
// drawing serves the report window, the print preview and the PDF file.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <string>

#include "app/report.h"
#include "state/session.h"

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

}  // namespace tarvex::ui
