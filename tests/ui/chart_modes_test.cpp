// The main chart on the offscreen platform: one mode at a time with axes that fit it, a legend
// that names what is drawn, titled axes, the logarithmic decades in one format, and "Save chart
// as..." confirmed in the status bar.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <cmath>

#include "io/data_file.h"
#include "ui_fixture.h"

using Gui = tarvex::ui::testing::Windows<tarvex::ui::testing::FakeHost>;

namespace {

std::vector<tarvex::ChartPoint> curve(double from, double to, double top) {
  std::vector<tarvex::ChartPoint> p;
  for (int i = 0; i <= 100; ++i)
    p.push_back({from + (to - from) * i / 100.0, 1.0 + top * i / 100.0, 0});
  return p;
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// The names in the legend, in its order.
QStringList legendNames(tarvex::ui::ChartView* chart) {
  QStringList names;
  if (!chart->legend->visible()) return names;
  for (int i = 0; i < chart->legend->itemCount(); ++i) {
    if (auto* item = qobject_cast<QCPPlottableLegendItem*>(chart->legend->item(i))) {
      names << item->plottable()->name();
    }
  }
  return names;
}

}  // namespace

class ChartModesTest : public QObject {
  Q_OBJECT

 private slots:
  void eachModeShowsItsSeriesWithAxesAndLegendToMatch();
  void logarithmicDecadesShareOneFormat();
  void saveChartConfirmsInTheStatusBar();
  void theBackgroundFieldSaysWhereItIsUsed();
};

void ChartModesTest::eachModeShowsItsSeriesWithAxesAndLegendToMatch() {
  Gui g;
  tarvex::ChartStore& charts = g.session.charts();
  tarvex::ui::ChartView* chart = g.desktop->chart("ChartPrinc");
  QCOMPARE(chart->yAxis->label(), QStringLiteral("Counts"));
  QCOMPARE(chart->xAxis->label(), QStringLiteral("Energy (keV)"));
  // Resonant NRA: an excitation curve at 150-157 keV and its measured points.
  charts.setPoints("ChartPrinc.SeriesPrinc", curve(150, 157, 10), tarvex::ChartMode::Nra);
  const QString data = g.folder.filePath(QStringLiteral("n15.dat"));
  tarvex::loadDataContent(g.session, data.toStdString(), "150 1\n152 8\n156 3\n157 0\n");
  // Ion scattering: a spectrum at 90-100 keV, computed in that mode earlier.
  charts.setPoints("ChartPrinc.SeriesGauss", curve(90, 100, 4000), tarvex::ChartMode::Meis);
  g.desktop->flush();
  QVERIFY(chart->xAxis->range().lower >= 149.9);
  QVERIFY(chart->xAxis->range().upper <= 157.1);
  QCOMPARE(legendNames(chart), (QStringList{"Measured: n15.dat", "Numeric"}));

  // The switch to ion scattering: the axes fit the spectrum alone.
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  g.desktop->flush();
  QCOMPARE(g.points("ChartPrinc.SeriesPrinc"), 0);
  QCOMPARE(g.points("ChartPrinc.SeriesExp"), 0);
  QCOMPARE(g.points("ChartPrinc.SeriesGauss"), 101);
  QCOMPARE(chart->xAxis->range().lower, 90.0);
  QCOMPARE(chart->xAxis->range().upper, 100.0);
  QVERIFY(chart->yAxis->range().upper >= 4000.0);
  QCOMPARE(legendNames(chart), QStringList{"Gaussian"});

  // Back to resonant NRA after a rectangle zoom in ion scattering: the zoom ends.
  const QRect r = chart->axisRect()->rect();
  mouse(chart, QEvent::MouseButtonPress, r.topLeft() + QPoint(r.width() / 4, r.height() / 4),
        Qt::LeftButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseMove, r.center(), Qt::NoButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseButtonRelease, r.center(), Qt::LeftButton, Qt::NoButton);
  QVERIFY(chart->zoomed());
  g.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  g.desktop->flush();
  QVERIFY(!chart->zoomed());
  QVERIFY(chart->xAxis->range().lower >= 149.9);
  QVERIFY(chart->xAxis->range().upper <= 157.1);
  QVERIFY(chart->yAxis->range().upper < 100.0);
  QCOMPARE(legendNames(chart), (QStringList{"Measured: n15.dat", "Numeric"}));
}

void ChartModesTest::logarithmicDecadesShareOneFormat() {
  Gui g;
  std::vector<tarvex::ChartPoint> wide;
  for (int i = 0; i <= 60; ++i)
    wide.push_back({90.0 + i * 0.1, std::pow(10.0, i / 10.0), 0});
  g.session.charts().setPoints("ChartPrinc.SeriesPrinc", wide);
  g.desktop->flush();
  tarvex::ui::ChartView* chart = g.desktop->chart("ChartPrinc");
  chart->resize(800, 600);
  g.desktop->menuItem("TFTarvex3.LogCounts1")->trigger();
  chart->replot();
  const QVector<QString> labels = chart->yAxis->tickVectorLabels();
  QVERIFY2(labels.size() >= 5, qPrintable(QString::number(labels.size())));
  // Each label a power of ten written the same way (drawn as 10 with a raised exponent).
  const QRegularExpression decade(QStringLiteral("^1e[+-]\\d+$"));
  for (const QString& l : labels)
    QVERIFY2(decade.match(l).hasMatch(), qPrintable(l));
  // The linear axis gets its own format back.
  g.desktop->menuItem("TFTarvex3.LogCounts1")->trigger();
  chart->replot();
  QVERIFY(chart->yAxis->tickVectorLabels().contains(QStringLiteral("200000")));
}

void ChartModesTest::saveChartConfirmsInTheStatusBar() {
  Gui g;
  g.session.charts().setPoints("ChartPrinc.SeriesPrinc", {{1, 1, 0}, {2, 3, 0}});
  const QString file = g.folder.filePath(QStringLiteral("chart.png"));
  g.host.files.push_back(file.toStdString());
  g.desktop->menuItem("TFTarvex3.SaveChart1")->trigger();
  QVERIFY(QFile(file).size() > 1000);
  QCOMPARE(g.controls().text("TFTarvex3.StatusBar1.3"), "Chart saved: " + file.toStdString());
  // A folder that does not exist: said in the status and in a message.
  const std::string bad = g.folder.filePath(QStringLiteral("none/chart.png")).toStdString();
  g.host.files.push_back(bad);
  g.desktop->menuItem("TFTarvex3.SaveChart1")->trigger();
  QCOMPARE(g.controls().text("TFTarvex3.StatusBar1.3"), "Cannot write " + bad);
  QCOMPARE(g.host.messages.back(), "Cannot write " + bad);
}

void ChartModesTest::theBackgroundFieldSaysWhereItIsUsed() {
  Gui g;
  const QString tip = g.edit("TFOptions.EditBack")->toolTip();
  QVERIFY2(tip.contains(QStringLiteral(".pro")), qPrintable(tip));
  QVERIFY2(tip.contains(QStringLiteral("\"Background\" window")), qPrintable(tip));
}

QTEST_MAIN(ChartModesTest)
#include "chart_modes_test.moc"
