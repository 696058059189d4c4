// The two one-page reports of the report window (form TFReport): "RNRA" for resonant NRA and
// "MEIS" for ion scattering. Their labels are filled from the current controls and state as
// texts typed, and the report commands fill one or both pages before a front end shows them.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "state/controls.h"
#include "state/session.h"

namespace tarvex {

enum class ReportPage { Nra, Meis };

// One label write: the label's key ("TFReport.QRSample") and its new text.
struct ReportLabel {
  std::string key;
  std::string text;
};

// The report window's controls: the two pages, their labels with the texts the window is
// created with, the fixed symbol labels and the picture of the ion-scattering page.
const std::vector<ControlSpec>& reportControls();

// The labels of the "RNRA" page in the order they are written, from the current controls and
// state. Changes nothing.
std::vector<ReportLabel> nraReportLabels(const Session& s);
// The labels of the "MEIS" page in the order they are written (a label can be written twice; the
// last write is its text). Throws ConversionError when the numeric model runs without Auto Mode
// and its vector or step size is not a number; changes nothing.
std::vector<ReportLabel> meisReportLabels(const Session& s);

// The background a report states: the level of a flat line ("1.75"), or the two points of a
// sloped one ("1 at 150 keV to 3 at 157 keV").
std::string drawnBackgroundText(const backgroundLine& line, char sep);

// The text of a label after the writes in order ("" when none writes it).
std::string labelText(const std::vector<ReportLabel>& labels, const std::string& key);

// The date and time a report shows: the C library's current locale format ("%x %X"), or
// "YYYY-MM-DD HH:MM:SS" when the program runs in the plain "C" (or "C.UTF-8") locale.
std::string reportDate(std::time_t when);

// Fills a page: its labels, and on the "RNRA" page the profile chart (the current resonant-NRA
// profile in the ranges of the sample window's profile chart). Every field is read before a
// label changes.
void fillNraReport(Session& s);
void fillMeisReport(Session& s);

// The name a front end knows a page by: "RNRA" or "MEIS".
const char* reportPageName(ReportPage page);

// The report's profile chart of a profile of n points (x = i * step): every point while the
// page could show them all, beyond that the lowest and highest point of each of a few thousand
// columns of depth, in depth order, with the first and last point kept.
std::vector<ChartPoint> reportProfilePoints(const std::vector<double>& values, std::size_t n,
                                            double step, Colour colour);

// Registers PreviewNRPReport, PreviewMEISReport, Report, ShowReport and SaveReportPdf. The
// preview, the window and the PDF are asked of the front end through the session's host.
void registerReportActions(Session& s);

}  // namespace tarvex
