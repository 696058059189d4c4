// The report window, its print preview and the report PDF, on the offscreen platform.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTabWidget>
#include <QTest>

#include "ui/report_page.h"
#include "ui/report_window.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

QByteArray head(const QString& file, int n) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.read(n);
}

// How many pixels of an image are dark (text, lines, points).
int darkPixels(const QImage& image) {
  int n = 0;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      if (qGray(rgb.pixel(x, y)) < 80) ++n;
    }
  }
  return n;
}

}  // namespace

class ReportWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowHasBothPagesAndRedrawsThemWhenTheStoreChanges();
  void saveAsPdfWritesThePageOfTheMode_data();
  void saveAsPdfWritesThePageOfTheMode();
  void aFileThatCannotBeWrittenLeavesNothing();
  void thePreviewGoesThroughTheHostAndPrints();
  void theLayeredSampleWindowBecomesThePictureOfTheIonScatteringPage();
};

void ReportWindowTest::theWindowHasBothPagesAndRedrawsThemWhenTheStoreChanges() {
  Gui g;
  QTabWidget* tabs = g.desktop->reportTabs();
  QVERIFY(tabs != nullptr);
  QCOMPARE(tabs->count(), 2);
  QCOMPARE(tabs->tabText(0), QStringLiteral("RNRA"));
  QCOMPARE(tabs->tabText(1), QStringLiteral("MEIS"));
  QCOMPARE(tabs->currentIndex(), 1);  // "MEIS" first
  QVERIFY(!g.desktop->window("TFReport")->isVisible());

  QVERIFY(g.session.run("ShowReport"));
  QVERIFY(!g.session.lastCommandFailed());
  QWidget* window = g.desktop->window("TFReport");
  QTRY_VERIFY(window->isVisible());
  for (int i = 0; i < 2; ++i) {
    auto* page = static_cast<tarvex::ui::ReportPageView*>(tabs->widget(i));
    tabs->setCurrentIndex(i);
    QTRY_VERIFY(page->paints() > 0);
    const QImage image = page->grab().toImage();
    QVERIFY2(darkPixels(image) > 500, "the page shows its texts and charts");
    // A label written by a command redraws the page shown.
    const int before = page->paints();
    g.controls().setText(i == 0 ? "TFReport.QRSample" : "TFReport.QRSampleMEIS", "other.dat");
    QTRY_VERIFY(page->paints() > before);
  }
  QVERIFY(g.host.messages.empty());
}

void ReportWindowTest::saveAsPdfWritesThePageOfTheMode_data() {
  QTest::addColumn<bool>("ionScattering");
  QTest::newRow("resonant NRA") << false;
  QTest::newRow("ion scattering") << true;
}

void ReportWindowTest::saveAsPdfWritesThePageOfTheMode() {
  QFETCH(bool, ionScattering);
  Gui g;
  if (ionScattering) g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  g.controls().setText("TFOptions.EditShift", "0.25");
  const QDir out(g.folder.filePath(QStringLiteral("out")));
  QVERIFY(QDir().mkpath(out.path()));

  // Cancelled: nothing.
  QVERIFY(g.session.run("SaveReportPdf"));
  QVERIFY(!g.session.lastCommandFailed());
  QCOMPARE(g.host.dialogs.size(), std::size_t{1});
  QCOMPARE(g.host.dialogs[0].filter, std::string("PDF documents (*.pdf)|*.pdf"));
  QCOMPARE(out.entryList(QDir::Files).size(), 0);

  const QString file = out.filePath(QStringLiteral("report.pdf"));
  g.host.files.push_back(file.toStdString());
  g.desktop->menuItem("TFTarvex3.SaveReportPdf1")->trigger();
  QVERIFY2(!g.session.lastCommandFailed(),
           g.host.messages.empty() ? "" : g.host.messages.back().c_str());
  QVERIFY(g.host.messages.empty());
  QCOMPARE(head(file, 5), QByteArray("%PDF-"));
  QVERIFY(QFileInfo(file).size() > 5000);
  // Only the report: no temporary file stays beside it.
  QCOMPARE(out.entryList(QDir::Files), QStringList{QStringLiteral("report.pdf")});
  // Filled as "Report" fills the page of the mode.
  QCOMPARE(g.controls().text(ionScattering ? "TFReport.QRShiftMEIS" : "TFReport.QRShift"),
           std::string("Shift (keV): 0.25"));
  QCOMPARE(g.controls().text(ionScattering ? "TFReport.QRShift" : "TFReport.QRShiftMEIS"),
           std::string());
}

void ReportWindowTest::aFileThatCannotBeWrittenLeavesNothing() {
  Gui g;
  const QString missing = g.folder.filePath(QStringLiteral("no-such-folder/report.pdf"));
  g.host.files.push_back(missing.toStdString());
  QVERIFY(g.session.run("SaveReportPdf"));
  QVERIFY(g.session.lastCommandFailed());
  QCOMPARE(g.host.messages, std::vector<std::string>{"Cannot write " + missing.toStdString()});
  QVERIFY(!QFileInfo::exists(missing));
  QVERIFY(!QFileInfo::exists(g.folder.filePath(QStringLiteral("no-such-folder"))));
}

void ReportWindowTest::thePreviewGoesThroughTheHostAndPrints() {
  Gui g;
  QString printed;
  g.host.onPreview = [&](QPrintPreviewDialog& dialog) {
    // The "user" prints from the preview: into a PDF file.
    QPrinter printer(QPrinter::HighResolution);
    tarvex::ui::useReportPaper(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printed = g.folder.filePath(dialog.objectName() + QStringLiteral(".pdf"));
    printer.setOutputFileName(printed);
    emit dialog.paintRequested(&printer);
  };
  QVERIFY(g.session.run("Report"));
  QVERIFY(!g.session.lastCommandFailed());
  // The preview opens once the command has ended.
  QVERIFY(!g.session.busy());
  QTRY_COMPARE(g.host.previews, std::vector<std::string>{"RNRA"});
  QCOMPARE(head(printed, 5), QByteArray("%PDF-"));
  QVERIFY(!g.desktop->busy());

  // Ctrl+P: the report of the mode.
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  QAction* print = nullptr;
  for (QAction* a : g.desktop->shortcutActions()) {
    if (a->shortcuts().contains(QKeySequence(QKeySequence::Print))) print = a;
  }
  QVERIFY(print != nullptr);
  print->trigger();
  QTRY_COMPARE(g.host.previews, (std::vector<std::string>{"RNRA", "MEIS"}));
  QCOMPARE(head(printed, 5), QByteArray("%PDF-"));
  QVERIFY(printed.endsWith(QStringLiteral("MEIS.pdf")));
  QVERIFY(g.host.messages.empty());
}

void ReportWindowTest::theLayeredSampleWindowBecomesThePictureOfTheIonScatteringPage() {
  Gui g;
  QVERIFY(g.desktop->reportPicture().isNull());
  QTabWidget* tabs = g.desktop->reportTabs();
  auto* page = static_cast<tarvex::ui::ReportPageView*>(tabs->widget(1));
  page->resize(600, 850);
  const QImage without = page->grab().toImage();

  QVERIFY(g.session.click("TFLayers.BitBtn1"));
  QVERIFY(!g.session.lastCommandFailed());
  const QImage picture = g.desktop->reportPicture();
  QVERIFY(!picture.isNull());
  QWidget* layers = g.desktop->window("TFLayers");
  QCOMPARE(picture.size(), layers->size() * layers->devicePixelRatio());
  // The window as the user sees it, not greyed by the command that took it.
  QVERIFY(layers->isEnabled());
  const QImage with = page->grab().toImage();
  QVERIFY(with != without);
  QVERIFY(darkPixels(with) > darkPixels(without));

  // And in the PDF of the page.
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  const QString file = g.folder.filePath(QStringLiteral("meis.pdf"));
  g.host.files.push_back(file.toStdString());
  QVERIFY(g.session.run("SaveReportPdf"));
  QVERIFY(!g.session.lastCommandFailed());
  QCOMPARE(head(file, 5), QByteArray("%PDF-"));
  // The picture is stored in the file: larger than the page without it.
  const QString plain = g.folder.filePath(QStringLiteral("plain.pdf"));
  QVERIFY(tarvex::ui::saveReportPdf(g.session, plain, tarvex::ReportPage::Meis));
  QVERIFY(QFileInfo(file).size() > QFileInfo(plain).size() + 2000);
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  ReportWindowTest t;
  return QTest::qExec(&t, argc, argv);
}
#include "report_window_test.moc"
