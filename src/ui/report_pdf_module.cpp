// The report PDF writer of tarvex-cli: a module the program loads with the first report a script
// writes, so that scripts that write none start without the toolkit's libraries. The toolkit
// starts on the offscreen platform (unless QT_QPA_PLATFORM names another) and ends when the
// program calls tarvex_end_report_pdf.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/report_page.h"

namespace {

char programName[] = "tarvex-cli";
char* arguments[] = {programName, nullptr};
int argumentCount = 1;

std::unique_ptr<QApplication>& application() {
  static std::unique_ptr<QApplication> app;
  return app;
}

// A script's output carries its own lines: the toolkit's notes about its environment (no
// runtime folder, no display) are not for its reader; errors still are.
void toolkitMessage(QtMsgType type, const QMessageLogContext& /*context*/, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
  }
}

}  // namespace

// Writes a filled report page ("RNRA" or "MEIS") of the session as a PDF: 1 when written, 0 when
// the file cannot be written (nothing is left of it then).
extern "C" __attribute__((visibility("default"))) int tarvex_write_report_pdf(
    tarvex::Session* session, const char* page, const char* file) {
  try {
    if (QCoreApplication::instance() == nullptr) {
      // No display is needed for a page: text and charts are drawn into the PDF.
      setenv("QT_QPA_PLATFORM", "offscreen", 0);
      qInstallMessageHandler(toolkitMessage);
      application() = std::make_unique<QApplication>(argumentCount, arguments);
    }
    return tarvex::ui::saveReportPdf(*session, QString::fromUtf8(file),
                                     tarvex::ui::reportPage(page))
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

// Ends the toolkit before the program ends.
extern "C" __attribute__((visibility("default"))) void tarvex_end_report_pdf() {
  application().reset();
}
