// The picture of the fit window for the documentation: a two-layer resonant sample fitted to
// noisy measured points, the fitted curve over the data. Written only when
// TARVEX_SCREENSHOT_DIR names a folder (as fit-window.png there); skipped otherwise.
//
//   TARVEX_SCREENSHOT_DIR=docs/screenshots xvfb-run -a ui_fit_screenshot_test
#include <QApplication>
#include <QDir>
#include <QTest>
#include <random>

#include "app/fit_command.h"
#include "ui/fit_window.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

void settle(Gui& g) {
  for (int i = 0; i < 5; ++i)
    QApplication::processEvents();
  g.desktop->flush();
  if (auto* chart = tarvex::ui::fitWindowChart(g.desktop->window("TFFit"))) {
    chart->flush();
    chart->replot(QCustomPlot::rpImmediateRefresh);
  }
  QApplication::processEvents();
}

}  // namespace

class FitScreenshotTest : public QObject {
  Q_OBJECT

 private slots:
  void fitWindowAfterAFit();
};

void FitScreenshotTest::fitWindowAfterAFit() {
  const QByteArray folder = qgetenv("TARVEX_SCREENSHOT_DIR");
  if (folder.isEmpty()) QSKIP("TARVEX_SCREENSHOT_DIR is not set");
  Gui g;
  tarvex::Session& s = g.session;
  QWidget* w = g.desktop->window("TFFit");
  g.desktop->menuItem("TFTarvex3.Fit1")->trigger();
  w->move(40, 40);
  w->resize(1000, 640);

  // The truth in a 30 A profile: 4 A of concentration 0.6 over 5 A of concentration 1, edges
  // of 0.8 and 1 A, under a flat background of 80 counts, the measured energies shifted by
  // 0.08 keV.
  s.controls().setText("TFNRP.EditMaxDepth", "30");
  // An excitation curve that reaches below both layers (18 Å).
  s.controls().setText("TFNRP.EditMaxE", "10");
  s.run("Updateplot");
  s.setNumber("TFOptions.EditMult", 3000.0);
  std::vector<tarvex::FitLayer> truth(2);
  truth[0].thickness.value = 4.0;
  truth[0].concentration = {tarvex::FitParameter{0.6}};
  truth[0].sigma.value = 0.8;
  truth[1].thickness.value = 5.0;
  truth[1].concentration = {tarvex::FitParameter{1.0}};
  truth[1].sigma.value = 1.0;
  s.state().nraProfile = tarvex::layeredProfile(s.state().nraProfile, truth, 0);
  QVERIFY(s.guarded([&] { s.CalcSimulation(); }));
  const auto curve = s.charts().series("ChartPrinc.SeriesPrinc").points;
  std::mt19937 rng(42);
  auto& points = s.state().measuredPoints;
  points.clear();
  for (std::size_t i = 0; i < curve.size(); i += 6) {
    std::poisson_distribution<int> counts(curve[i].y + 80.0);
    points.push_back({static_cast<float>(curve[i].x - 0.08), static_cast<float>(counts(rng))});
  }
  points.push_back({0.0f, 0.0f});

  // "From profile" reads the two layers from the true profile; the fit starts well off, the
  // concentration of the top layer bounded.
  QTest::mouseClick(g.desktop->form("TFFit").widget("ButtonFromProfile"), Qt::LeftButton);
  QCOMPARE(s.controls().text("TFFit.EditLayers"), std::string("2"));
  tarvex::FitModel start = tarvex::currentFitModel(s);
  start.layers[0].thickness = {3.2, true, 0.0};
  start.layers[0].concentration[0] = {0.45, true, 0.0, 1.0};
  start.layers[0].sigma = {0.5, true, 0.0};
  start.layers[1].thickness = {6.2, true, 0.0};
  start.layers[1].concentration[0] = {1.2, true, 0.0};
  start.layers[1].sigma = {1.3, true, 0.0};
  start.shift.free = true;
  start.background.free = true;
  tarvex::setFitModel(s, start);
  s.setNumber("TFOptions.EditShift", 0.0);
  s.setNumber("TFBackground.EditYs", 50.0);
  std::fill(s.state().nraProfile.values.begin(), s.state().nraProfile.values.end(), 0.0);

  w->findChild<QCheckBox*>("TFFit.View.Bounds")->setChecked(true);
  QTest::mouseClick(g.desktop->form("TFFit").widget("ButtonFit"), Qt::LeftButton);
  QVERIFY2(!s.lastCommandFailed(), g.host.messages.empty() ? "" : g.host.messages.back().c_str());
  QVERIFY(tarvex::lastFitReport(s).done);
  settle(g);
  const QString file = QDir(QString::fromLocal8Bit(folder)).filePath("fit-window.png");
  QVERIFY(w->grab().save(file));
  qInfo("wrote %s", qPrintable(file));
}

QTEST_MAIN(FitScreenshotTest)
#include "fit_screenshot_test.moc"
