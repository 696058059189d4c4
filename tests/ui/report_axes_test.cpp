// The report pages title their axes: counts on both spectrum charts, the depth with its unit on
// the resonant page's profile chart. Read back from the written PDF's text.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "ui/report_page.h"
#include "ui_fixture.h"

using Gui = tarvex::ui::testing::Windows<tarvex::ui::testing::FakeHost>;

class ReportAxesTest : public QObject {
  Q_OBJECT

 private slots:
  void bothPagesTitleTheirAxes();
};

void ReportAxesTest::bothPagesTitleTheirAxes() {
  const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (pdftotext.isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
  Gui g;
  g.session.charts().setPoints("ChartNRPSpec.SeriesPrinc", {{150, 1, 0}, {157, 3, 0}});
  g.session.charts().setPoints("ChartMEISSpec.SeriesGauss", {{90, 1, 0}, {99, 3, 0}});
  const auto text = [&](tarvex::ReportPage page, const char* name) {
    const QString file = g.folder.filePath(QString::fromLatin1(name));
    if (!tarvex::ui::saveReportPdf(g.session, file, page)) return QString();
    QProcess p;
    p.start(pdftotext, {file, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
  };
  const QString nra = text(tarvex::ReportPage::Nra, "nra.pdf");
  QVERIFY2(nra.contains(QStringLiteral("Counts")), qPrintable(nra));
  QVERIFY2(nra.contains(QStringLiteral("Depth (Angstroms)")), qPrintable(nra));
  QVERIFY2(nra.contains(QStringLiteral("Energy (keV)")), qPrintable(nra));
  const QString meis = text(tarvex::ReportPage::Meis, "meis.pdf");
  QVERIFY2(meis.contains(QStringLiteral("Counts")), qPrintable(meis));
  QVERIFY2(meis.contains(QStringLiteral("Energy (keV)")), qPrintable(meis));
}

QTEST_MAIN(ReportAxesTest)
#include "report_axes_test.moc"
