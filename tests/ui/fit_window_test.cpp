// The fit window driven through its widgets, on the offscreen platform: opened by Ctrl+F and
// the menu, its layer table filled by "From profile", a fit of synthetic data shown in the table,
// the result text and the chart, "Undo fit", "Stop" pressed in the window while it fits, and
// nothing left disabled afterwards.
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <cmath>
#include <random>

#include "app/fit_command.h"
#include "ui/fit_window.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

void click(QWidget* w) {
  QVERIFY2(w->isVisible() && w->isEnabled(), qPrintable(w->objectName()));
  // Check boxes take clicks on their box or text, at the left.
  const bool box = qobject_cast<QCheckBox*>(w) != nullptr;
  QTest::mouseClick(w, Qt::LeftButton, {}, box ? QPoint(6, w->height() / 2) : QPoint());
}

QWidget* fitWidget(Gui& g, const std::string& name) {
  return g.desktop->form("TFFit").widget(name);
}

QString shown(Gui& g, const std::string& name) {
  return g.desktop->form("TFFit").edit(name)->text();
}

void openFitWindow(Gui& g) {
  g.desktop->menuItem("TFTarvex3.Fit1")->trigger();
  QApplication::processEvents();
}

// Measured points of the numeric excitation curve of a 6 A layer with a 1 A edge over a flat
// background of 100 counts, shifted by 0.1 keV, with seeded Poisson noise; the fit model starts
// 20-30 % off with thickness, concentration, edge, shift and background free.
void prepareData(Gui& g, unsigned seed) {
  tarvex::Session& s = g.session;
  s.setNumber("TFOptions.EditMult", 4000.0);
  tarvex::FitModel truth = tarvex::defaultFitModel();
  truth.layers[0].thickness.value = 6.0;
  truth.layers[0].sigma.value = 1.0;
  s.state().nraProfile = tarvex::layeredProfile(s.state().nraProfile, truth.layers, 0);
  QVERIFY(s.guarded([&] { s.CalcSimulation(); }));
  const std::vector<tarvex::ChartPoint> curve = s.charts().series("ChartPrinc.SeriesPrinc").points;
  std::mt19937 rng(seed);
  auto& points = s.state().measuredPoints;
  points.clear();
  for (std::size_t i = 0; i < curve.size(); i += 8) {
    std::poisson_distribution<int> counts(std::max(curve[i].y + 100.0, 1e-9));
    points.push_back({static_cast<float>(curve[i].x - 0.1), static_cast<float>(counts(rng))});
  }
  points.push_back({0.0f, 0.0f});  // the entry the reader leaves after the last line
  s.run("PlotExp");
  s.state().nraProfile = tarvex::defaultProfile();
  s.setNumber("TFOptions.EditShift", 0.125);
  s.setNumber("TFBackground.EditYs", 75.0);
  tarvex::FitModel start = tarvex::currentFitModel(s);
  start.layers[0].thickness = {7.5, true, 0.0};
  start.layers[0].concentration[0] = {0.75, true, 0.0};
  start.layers[0].sigma = {1.3, true, 0.0};
  start.shift.free = true;
  start.background.free = true;
  tarvex::setFitModel(s, start);
}

// Every window, the menu bar and every widget of the fit window enabled as the store says.
void nothingLeftDisabled(Gui& g) {
  QVERIFY(!g.desktop->busy());
  QVERIFY(g.desktop->mainWindow()->menuBar()->isEnabled());
  for (const char* form :
       {"TFTarvex3", "TFSample", "TFOptions", "TFBackground", "TFExternCS", "TFLog", "TFFit"}) {
    QVERIFY2(g.desktop->window(form)->isEnabled(), form);
  }
  for (const auto& [name, w] : g.desktop->form("TFFit").widgets()) {
    // "Stop" only while a command runs.
    const bool enabled = g.controls().enabled("TFFit." + name) && name != "ButtonStop";
    QVERIFY2(w->isEnabled() == enabled, name.c_str());
  }
}

}  // namespace

class FitWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ctrlFAndTheMenuOpenTheWindow();
  void fromProfileFillsTheLayerTable();
  void aFitFillsTableResultAndChartAndUndoRestores();
  void stopInTheWindowEndsTheFitWithEverythingAsBefore();
  void ionScatteringHasAConcentrationColumnPerElement();
  void theStartValuesAreTheFieldsOfTheOtherWindows();
  void typingKeepsItsOrderWhileAnotherWindowIsActive();
};

void FitWindowTest::ctrlFAndTheMenuOpenTheWindow() {
  Gui g;
  QWidget* w = g.desktop->window("TFFit");
  QVERIFY(!w->isVisible());
  QAction* item = g.desktop->menuItem("TFTarvex3.Fit1");
  QCOMPARE(item->text(), QString("Fit..."));
  QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
  QMainWindow* main = g.desktop->mainWindow();
  main->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(main));
  QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
  QVERIFY2(w->isVisible(), QApplication::activeWindow()
                               ? qPrintable(QApplication::activeWindow()->objectName())
                               : "no active window");
  QCOMPARE(w->windowTitle(), QString("Fit"));
  w->close();
  QVERIFY(!w->isVisible());
  QVERIFY(!g.controls().get("TFFit").visible);
  openFitWindow(g);
  QVERIFY(w->isVisible());
  // The default model: one layer, its thickness and concentration free; the chart is there.
  QVERIFY(fitWidget(g, "EditThickL1")->isVisible());
  QVERIFY(!fitWidget(g, "EditThickL2")->isVisible());
  QVERIFY(!fitWidget(g, "EditConc2L1")->isVisible());
  QVERIFY(qobject_cast<QCheckBox*>(fitWidget(g, "CheckFreeThickL1"))->isChecked());
  QVERIFY(tarvex::ui::fitWindowChart(w) != nullptr);
  // Bounds show on demand.
  QVERIFY(!fitWidget(g, "EditMinThickL1")->isVisible());
  auto* bounds = w->findChild<QCheckBox*>("TFFit.View.Bounds");
  QVERIFY(bounds != nullptr);
  click(bounds);
  QVERIFY(fitWidget(g, "EditMinThickL1")->isVisible());
  QVERIFY(fitWidget(g, "EditMaxDose")->isVisible());
}

void FitWindowTest::fromProfileFillsTheLayerTable() {
  Gui g;
  openFitWindow(g);
  std::vector<tarvex::FitLayer> layers(2);
  layers[0].thickness.value = 3.0;
  layers[0].concentration = {tarvex::FitParameter{0.5}};
  layers[0].sigma.value = 0.4;
  layers[1].thickness.value = 4.0;
  layers[1].concentration = {tarvex::FitParameter{1.5}};
  g.session.state().nraProfile = tarvex::layeredProfile(g.session.state().nraProfile, layers, 0);
  click(fitWidget(g, "ButtonFromProfile"));
  QCOMPARE(shown(g, "EditLayers"), QString("2"));
  QVERIFY(fitWidget(g, "EditThickL2")->isVisible());
  QVERIFY(fitWidget(g, "CheckFreeSigmaL2")->isVisible());
  QVERIFY(!fitWidget(g, "EditThickL3")->isVisible());
  QVERIFY(std::fabs(shown(g, "EditThickL1").toDouble() - 3.0) < 0.01);
  QVERIFY(std::fabs(shown(g, "EditConc1L2").toDouble() - 1.5) < 1e-6);
  QVERIFY(std::fabs(shown(g, "EditSigmaL1").toDouble() - 0.4) < 0.02);
  QVERIFY(g.desktop->form("TFFit").panel("StatusFit")->text().contains("2 layers"));
  // Typing the number of layers shows the rows at once.
  auto* e = g.desktop->form("TFFit").edit("EditLayers");
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, "4");
  QVERIFY(fitWidget(g, "EditThickL4")->isVisible());
  QVERIFY(!fitWidget(g, "EditThickL5")->isVisible());
}

void FitWindowTest::aFitFillsTableResultAndChartAndUndoRestores() {
  Gui g;
  openFitWindow(g);
  prepareData(g, 1234);
  const QString thicknessBefore = shown(g, "EditThickL1");
  const std::string shiftBefore = g.controls().text("TFOptions.EditShift");
  const std::vector<double> profileBefore = g.session.state().nraProfile.values;
  QWidget* w = g.desktop->window("TFFit");
  QWidget* stop = fitWidget(g, "ButtonStop");
  QWidget* fit = fitWidget(g, "ButtonFit");
  // While it fits: the window stays enabled with its "Stop", the commands and fields are
  // disabled, and the progress line counts the iterations.
  // The first panel of the status bar shows the progress in short and keeps its width.
  QLabel* panel = g.desktop->form("TFTarvex3").panel("StatusBar1.0");
  QApplication::processEvents();
  const int panelWidth = panel->width();
  int widest = panelWidth;
  int seen = 0;
  bool sawBusy = false, sawProgress = false;
  g.host.onEvents = [&] {
    if (!g.desktop->busy()) return;
    widest = std::max(widest, panel->width());
    ++seen;
    sawBusy = sawBusy || (w->isEnabled() && stop->isEnabled() && !fit->isEnabled() &&
                          !fitWidget(g, "EditThickL1")->isEnabled());
    sawProgress =
        sawProgress || g.desktop->form("TFFit").panel("StatusFit")->text().contains("iteration");
  };
  QVERIFY(!stop->isEnabled());
  click(fit);
  g.host.onEvents = nullptr;
  QVERIFY2(!g.session.lastCommandFailed(),
           g.host.messages.empty() ? "" : g.host.messages.back().c_str());
  QVERIFY(seen > 0);
  QVERIFY(sawBusy);
  QVERIFY(sawProgress);
  nothingLeftDisabled(g);
  QVERIFY(!stop->isEnabled());

  // The best values in the table and the fields, the result text, the curve in the chart.
  const tarvex::FitReport& r = tarvex::lastFitReport(g.session);
  QVERIFY(r.done);
  QCOMPARE(r.values.front().name, std::string("Layer 1 thickness (Å)"));
  QCOMPARE(shown(g, "EditThickL1"), QString::fromStdString(g.controls().text("TFFit.EditThickL1")));
  QVERIFY(std::fabs(shown(g, "EditThickL1").toDouble() - 6.0) < 3.0 * r.values.front().uncertainty);
  const QString result = g.desktop->form("TFFit").memo("MemoResult")->toPlainText();
  QVERIFY2(result.contains("Layer 1 thickness (Å) = ") && result.contains(" ± ") &&
               result.contains("deviance ratio") && result.contains("Evaluations: "),
           qPrintable(result));
  QVERIFY(g.desktop->form("TFFit")
              .panel("StatusFit")
              ->text()
              .startsWith(QStringLiteral("Fit done: %1 iterations").arg(r.iterations)));
  QApplication::processEvents();
  QCOMPARE(panel->text().left(panel->text().indexOf(':')),
           QStringLiteral("Iter. %1").arg(r.iterations));
  QCOMPARE(widest, panelWidth);
  QCOMPARE(panel->width(), panelWidth);
  QVERIFY2(panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width(),
           qPrintable(panel->text()));
  tarvex::ui::ChartView* chart = tarvex::ui::fitWindowChart(w);
  chart->flush();
  QVERIFY(chart->graphOf("ChartPrinc.SeriesExp")->dataCount() > 10);
  QVERIFY(chart->graphOf("ChartPrinc.SeriesPrinc")->dataCount() > 10);
  QCOMPARE(chart->graphOf("ChartPrinc.SeriesPrinc")->dataCount(),
           static_cast<int>(g.session.charts().series("ChartPrinc.SeriesPrinc").points.size()));

  click(fitWidget(g, "ButtonUndo"));
  QVERIFY(!g.session.lastCommandFailed());
  QCOMPARE(shown(g, "EditThickL1"), thicknessBefore);
  QCOMPARE(g.controls().text("TFOptions.EditShift"), shiftBefore);
  QCOMPARE(g.session.state().nraProfile.values, profileBefore);
  QVERIFY(g.desktop->form("TFFit").memo("MemoResult")->toPlainText().isEmpty());
  nothingLeftDisabled(g);
}

void FitWindowTest::stopInTheWindowEndsTheFitWithEverythingAsBefore() {
  Gui g;
  openFitWindow(g);
  prepareData(g, 5);
  const QString thicknessBefore = shown(g, "EditThickL1");
  const std::vector<double> profileBefore = g.session.state().nraProfile.values;
  QWidget* stop = fitWidget(g, "ButtonStop");
  int events = 0;
  bool pressed = false;
  g.host.onEvents = [&] {
    if (++events == 30 && g.desktop->busy()) {
      // The user presses the fit window's own "Stop".
      pressed = stop->isVisible() && stop->isEnabled();
      QTest::mouseClick(stop, Qt::LeftButton);
    }
  };
  click(fitWidget(g, "ButtonFit"));
  g.host.onEvents = nullptr;
  QVERIFY(pressed);
  QVERIFY(g.session.lastCommandFailed());
  QCOMPARE(g.controls().text("TFTarvex3.StatusBar1.3"), std::string("Stopped"));
  QVERIFY(g.desktop->form("TFFit").panel("StatusFit")->text().startsWith("Stopped"));
  QCOMPARE(shown(g, "EditThickL1"), thicknessBefore);
  QCOMPARE(g.session.state().nraProfile.values, profileBefore);
  QVERIFY(!tarvex::lastFitReport(g.session).done);
  nothingLeftDisabled(g);
}

void FitWindowTest::ionScatteringHasAConcentrationColumnPerElement() {
  Gui g;
  openFitWindow(g);
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  for (const char* el : {"O", "Hf"}) {
    g.controls().setText("TFMEIS.EditElname", el);
    g.session.click("TFMEIS.ButtonAdd");
  }
  QVERIFY(fitWidget(g, "EditConc1L1")->isVisible());
  QVERIFY(fitWidget(g, "EditConc2L1")->isVisible());
  QVERIFY(!fitWidget(g, "EditConc3L1")->isVisible());
  // The columns in the composition's order, as the fit reads them.
  QCOMPARE(g.desktop->form("TFFit").panel("PanelElement1")->text(), QString("Hf"));
  QCOMPARE(g.desktop->form("TFFit").panel("PanelElement2")->text(), QString("O"));
  QVERIFY(g.desktop->form("TFFit").panel("PanelElement1")->isVisible());
  QVERIFY(!g.desktop->form("TFFit").panel("PanelElement3")->isVisible());
  // The spread of the current mode.
  QWidget* w = g.desktop->window("TFFit");
  QVERIFY(w->findChild<QLineEdit*>("TFFit.View.TFMEIS.EditGauss")->isVisible());
  QVERIFY(!w->findChild<QLineEdit*>("TFFit.View.TFNRP.EditGauss")->isVisible());
  g.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  QVERIFY(!fitWidget(g, "EditConc2L1")->isVisible());
  QVERIFY(!g.desktop->form("TFFit").panel("PanelElement1")->isVisible());
  QVERIFY(w->findChild<QLineEdit*>("TFFit.View.TFNRP.EditGauss")->isVisible());
}

void FitWindowTest::theStartValuesAreTheFieldsOfTheOtherWindows() {
  Gui g;
  openFitWindow(g);
  QWidget* w = g.desktop->window("TFFit");
  auto* dose = w->findChild<QLineEdit*>("TFFit.View.TFOptions.EditMult");
  QVERIFY(dose != nullptr);
  QCOMPARE(dose->text(), g.edit("TFOptions.EditMult")->text());
  dose->setFocus();
  dose->selectAll();
  QTest::keyClicks(dose, "12");
  QCOMPARE(g.controls().text("TFOptions.EditMult"), std::string("12"));
  QCOMPARE(g.edit("TFOptions.EditMult")->text(), QString("12"));
  g.controls().setText("TFBackground.EditYs", "7");
  QCOMPARE(w->findChild<QLineEdit*>("TFFit.View.TFBackground.EditYs")->text(), QString("7"));
}

QTEST_MAIN(FitWindowTest)
void FitWindowTest::typingKeepsItsOrderWhileAnotherWindowIsActive() {
  // Keys reaching the edit while another window is active: each key stays where it was typed,
  // while a value a command writes still shows from its first digit.
  Gui g;
  openFitWindow(g);
  g.desktop->menuItem("TFTarvex3.Log2")->trigger();
  auto* e = qobject_cast<QLineEdit*>(fitWidget(g, "EditSigmaL1"));
  QVERIFY(e != nullptr);
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, QStringLiteral("2.75"));
  QCOMPARE(e->text(), QStringLiteral("2.75"));
  QCOMPARE(g.controls().text("TFFit.EditSigmaL1"), std::string("2.75"));
  g.session.controls().setText("TFFit.EditSigmaL1", "1.2345678901234567");
  QCOMPARE(e->text(), QStringLiteral("1.2345678901234567"));
  QCOMPARE(e->cursorPosition(), 0);
}

#include "fit_window_test.moc"
