// The windows driven through their widgets, on the offscreen platform.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <set>

#include "core/numtext.h"
#include "state/action_catalogue.h"
#include "state/drawing.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

void click(QWidget* w) {
  QVERIFY2(w->isVisible() && w->isEnabled(), qPrintable(w->objectName()));
  // Check boxes and radio buttons take clicks on their box or text, at the left.
  const bool box =
      qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr;
  QTest::mouseClick(w, Qt::LeftButton, {}, box ? QPoint(6, w->height() / 2) : QPoint());
}

void typeInto(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, text);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, modifiers);
  QApplication::sendEvent(w, &e);
}

// Every QAction of a menu and its submenus.
void collect(QMenu* m, std::vector<QAction*>& out) {
  for (QAction* a : m->actions()) {
    out.push_back(a);
    if (a->menu() != nullptr) collect(a->menu(), out);
  }
}

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsTheWindowsOfTheProgram();
  void typingReachesTheStoreAndWritesReachTheWidget();
  void calculateDrawsTheSeriesOfEachModeAndModel_data();
  void calculateDrawsTheSeriesOfEachModeAndModel();
  void cursorReadoutShowsEnergyAndCounts();
  void rectangleZoomAndZoomOut();
  void stopEndsALongRunAndKeepsEarlierResults_data();
  void stopEndsALongRunAndKeepsEarlierResults();
  void aFieldThatIsNotANumberShowsItsMessage();
  void closingKeepsTheWindowWhenAFieldDoesNotConvert();
  void everyActionIsReachableFromAMenuOrButton();
  void hideAndShowResizeTheOptionsWindow();
  void logAppendsWhatATableBuildWrites();
  void menuItemsShowTheirWindows();
  void targetWindowCalculatesALayeredTarget();
  void decimalSeparatorOfTheLocale();
  void fileDialogFilters();
  void saveChartAsPngAndPdf();
  void linearBackgroundNeedsTwoEnergies();
  void windowGeometryIsRestoredAtTheNextStart();
  void strokesOnTheProfileChartsDrawAsTheScriptDoes();
  void doubleClickTogglesZoomModeAndShiftDrawsNothing();
  void theElementBoxChoosesTheProfileDrawnAndSmoothTakesThemAll();
  void aLongProfileIsDrawnByPixelColumns();
  void everyMenuOfTheMenuBarsShows();
  void theAxesHoldStillWhileTheButtonIsDown();
};

void WindowsTest::startUpShowsTheWindowsOfTheProgram() {
  Gui g;
  struct {
    const char* form;
    const char* caption;
    bool shown;
  } rows[] = {{"TFTarvex3", "Tarvex 3.0 Beta", true},
              {"TFSample", "Sample", true},
              {"TFOptions", "Options", true},
              {"TFLog", "Log", false},
              {"TAboutBox", "About", false},
              {"TFReport", "Report", false},
              {"TFBackground", "Background playground", false},
              {"TFHG", "Uniform sample", false},
              {"TFLayers", "Layered sample", false},
              {"TFExternCS", "External cross section", true}};
  for (const auto& r : rows) {
    QWidget* w = g.desktop->window(r.form);
    QCOMPARE(w->windowTitle(), QString(r.caption));
    QCOMPARE(w->isVisible(), r.shown);
  }
  // At the top left of the screen, the other windows beside it.
  QCOMPARE(g.desktop->mainWindow()->pos(),
           QApplication::primaryScreen()->availableGeometry().topLeft());
  // Creating the Options window wrote the design defaults.
  QVERIFY(QFile::exists(g.folder.filePath("default.ini")));
  QCOMPARE(QFile(g.folder.filePath("default.ini")).size(), 600);
}

void WindowsTest::typingReachesTheStoreAndWritesReachTheWidget() {
  Gui g;
  QLineEdit* e = g.edit("TFNRP.EditEnrg");
  typeInto(e, "1683.3");
  QCOMPARE(g.controls().text("TFNRP.EditEnrg"), std::string("1683.3"));
  // A command reads what is on screen without any other event.
  g.session.setNumber("TFNRP.EditEmin", 12.5);
  QCOMPARE(g.edit("TFNRP.EditEmin")->text(), QString("12.5"));
  // Enabled states follow the store: Auto Mode unchecked enables the numeric fields.
  QVERIFY(!g.edit("TFNRP.EditNc")->isEnabled());
  click(g.widget("TFNRP.CheckAuto"));
  QVERIFY(!g.controls().checked("TFNRP.CheckAuto"));
  QVERIFY(g.edit("TFNRP.EditNc")->isEnabled());
}

void WindowsTest::calculateDrawsTheSeriesOfEachModeAndModel_data() {
  QTest::addColumn<bool>("meis");
  QTest::addColumn<QString>("model");
  QTest::addColumn<QString>("series");
  QTest::newRow("NRA Bessel") << false << "RadioAnalitic"
                              << "ChartPrinc.SeriesBessel";
  QTest::newRow("NRA Numeric") << false << "RadioNumeric"
                               << "ChartPrinc.SeriesPrinc";
  QTest::newRow("IS Gaussian") << true << "RadioGauss"
                               << "ChartPrinc.SeriesGauss";
  QTest::newRow("IS Bessel") << true << "RadioAnalitic"
                             << "ChartPrinc.SeriesBessel";
  QTest::newRow("IS Numeric") << true << "RadioNumeric"
                              << "ChartPrinc.SeriesPrinc";
  QTest::newRow("IS External CS") << true << "RadioExternal"
                                  << "ChartPrinc.SeriesExtCS";
}

void WindowsTest::calculateDrawsTheSeriesOfEachModeAndModel() {
  QFETCH(bool, meis);
  QFETCH(QString, model);
  QFETCH(QString, series);
  Gui g;
  const std::string frame = meis ? "TFMEIS" : "TFNRP";
  if (meis) {
    click(g.widget("TFOptions.RadioMEIS"));
    QVERIFY(g.desktop->window("TFOptions")->findChild<QWidget*>("TFMEIS.EditElname")->isVisible());
    for (const char* el : {"Hf", "O"}) {
      typeInto(g.edit("TFMEIS.EditElname"), el);
      if (std::string(el) == "O") {
        typeInto(g.edit("TFMEIS.EditMass"), "16");
        typeInto(g.edit("TFMEIS.EditZ"), "8");
      }
      click(g.widget("TFMEIS.ButtonAdd"));
    }
    g.controls().setText("TFExternCS.EditCSFile", g.crossSectionFile());
    click(g.widget("TFExternCS.RadioSCCBasic"));
  }
  typeInto(g.edit(frame + ".Editx2"), "10");
  if (meis) {
    for (int i = 0; i < 2; ++i) {
      g.session.select("TFrameMEISSample.ComboEl_list", i);
      click(g.widget(frame + ".ButtonDrawline"));
    }
  } else {
    click(g.widget(frame + ".ButtonDrawline"));
  }
  click(g.widget("TFOptions." + model.toStdString()));
  QVERIFY(g.host.messages.empty());
  QAbstractButton* calculate = qobject_cast<QAbstractButton*>(g.widget(frame + ".ButtonCalculate"));
  // The closed-form models have no numeric parameters: their Calculate is the sample menu's.
  if (calculate->isEnabled()) {
    click(calculate);
  } else {
    g.desktop->menuItem("TFSample.Calculate1")->trigger();
  }
  QVERIFY2(g.host.messages.empty(), g.host.messages.empty() ? "" : g.host.messages[0].c_str());
  QVERIFY(g.points(series.toStdString()) > 10);
  // Only the chosen model's curve is drawn.
  for (const char* other : {"ChartPrinc.SeriesPrinc", "ChartPrinc.SeriesBessel",
                            "ChartPrinc.SeriesGauss", "ChartPrinc.SeriesExtCS"}) {
    if (series != other) QCOMPARE(g.points(other), 0);
  }
  QVERIFY(!g.desktop->busy());
  QVERIFY(g.desktop->window("TFOptions")->isEnabled());
}

void WindowsTest::cursorReadoutShowsEnergyAndCounts() {
  Gui g;
  tarvex::ui::ChartView* chart = g.desktop->chart("ChartPrinc");
  g.session.charts().setPoints("ChartPrinc.SeriesPrinc", {{140, 0, 0}, {160, 1000, 0}});
  g.desktop->flush();
  const QPoint centre = chart->axisRect()->rect().center();
  mouse(chart, QEvent::MouseMove, centre, Qt::NoButton, Qt::NoButton);
  const QString energy = QString::fromStdString(g.controls().text("TFTarvex3.StatusBar1.0"));
  const QString counts = QString::fromStdString(g.controls().text("TFTarvex3.StatusBar1.1"));
  QVERIFY2(energy.startsWith("E: 1") && energy.endsWith(" keV"), qPrintable(energy));
  QVERIFY2(counts.startsWith("Counts: "), qPrintable(counts));
  // The panels of the status bar show the same texts.
  QCOMPARE(g.desktop->form("TFTarvex3").panel("StatusBar1.0")->text(), energy);
  const double e = energy.mid(3, energy.size() - 7).toDouble();
  QVERIFY(e > 145 && e < 155);
  QVERIFY(energy.mid(3).section(' ', 0, 0).section('.', 1).size() == 3);
}

void WindowsTest::rectangleZoomAndZoomOut() {
  Gui g;
  tarvex::ui::ChartView* chart = g.desktop->chart("ChartPrinc");
  std::vector<tarvex::ChartPoint> curve;
  for (int i = 0; i <= 100; ++i)
    curve.push_back({100.0 + i, 10.0 * i, 0});
  g.session.charts().setPoints("ChartPrinc.SeriesPrinc", curve);
  g.desktop->flush();
  const QCPRange x0 = chart->xAxis->range();
  const QCPRange y0 = chart->yAxis->range();
  QCOMPARE(x0.lower, 100.0);
  QCOMPARE(x0.upper, 200.0);
  const QRect r = chart->axisRect()->rect();
  const QPoint from = r.topLeft() + QPoint(r.width() / 4, r.height() / 4);
  const QPoint to = r.topLeft() + QPoint(r.width() / 2, r.height() / 2);
  mouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  QVERIFY(chart->zoomed());
  QVERIFY(chart->xAxis->range().lower > x0.lower + 10);
  QVERIFY(chart->xAxis->range().upper < x0.upper - 10);
  QVERIFY(chart->yAxis->range().size() < y0.size() / 2);
  // A new curve does not undo the zoom; "Zoom out" (menu) goes back to the whole data.
  g.session.charts().setPoints("ChartPrinc.SeriesBessel", {{50, 0, 0}, {60, 5, 0}});
  g.desktop->flush();
  QVERIFY(chart->xAxis->range().lower > x0.lower + 10);
  g.desktop->menuItem("TFTarvex3.ZoomOut1")->trigger();
  QCOMPARE(chart->xAxis->range().lower, 50.0);
  QCOMPARE(chart->xAxis->range().upper, 200.0);
  // A double click zooms out as well.
  mouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  mouse(chart, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  QVERIFY(chart->zoomed());
  mouse(chart, QEvent::MouseButtonDblClick, to, Qt::LeftButton, Qt::LeftButton);
  QVERIFY(!chart->zoomed());
  QCOMPARE(chart->xAxis->range().lower, 50.0);
  // The logarithmic counts axis is a toggle of the popup menu.
  g.desktop->menuItem("TFTarvex3.LogCounts1")->trigger();
  QCOMPARE(chart->yAxis->scaleType(), QCPAxis::stLogarithmic);
  QVERIFY(g.desktop->menuItem("TFTarvex3.LogCounts1")->isChecked());
  g.desktop->menuItem("TFTarvex3.LogCounts1")->trigger();
  QCOMPARE(chart->yAxis->scaleType(), QCPAxis::stLinear);
}

void WindowsTest::stopEndsALongRunAndKeepsEarlierResults_data() {
  QTest::addColumn<bool>("stopWithEsc");
  QTest::newRow("Stop button") << false;
  QTest::newRow("Esc") << true;
}

void WindowsTest::stopEndsALongRunAndKeepsEarlierResults() {
  QFETCH(bool, stopWithEsc);
  Gui g;
  g.sevenElementSample(g.crossSectionFile());
  // An earlier result: the Bessel spectrum.
  g.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  g.session.run("CalcSimulation");
  const int bessel = g.points("ChartPrinc.SeriesBessel");
  QVERIFY(bessel > 10);
  // The external cross-section run, with many collision orders, stopped from the status bar.
  g.session.setCheckedAsClick("TFOptions.RadioExternal", true);
  g.controls().setText("TFExternCS.EditNcExt", "400");
  bool sawBusy = false;
  int calls = 0;
  g.host.onEvents = [&] {
    if (++calls != 3) return;
    // While it runs, the other commands are disabled and the indicator shows.
    sawBusy = g.desktop->busy() && !g.desktop->window("TFOptions")->isEnabled() &&
              !g.desktop->mainWindow()->menuBar()->isEnabled() &&
              g.desktop->busyIndicator()->isVisible() && g.desktop->stopButton()->isVisible();
    // The main window does not close under a running command.
    sawBusy = sawBusy && !g.desktop->mainWindow()->close() && g.desktop->mainWindow()->isVisible();
    // A second command arriving now is refused.
    QTest::mouseClick(g.widget("TFOptions.Button1"), Qt::LeftButton);
    if (stopWithEsc) {
      QTest::keyClick(g.desktop->mainWindow(), Qt::Key_Escape);
    } else {
      QTest::mouseClick(g.desktop->stopButton(), Qt::LeftButton);
    }
  };
  g.desktop->menuItem("TFSample.Calculate1")->trigger();
  QVERIFY(sawBusy);
  QCOMPARE(g.controls().text("TFTarvex3.StatusBar1.3"), std::string("Stopped"));
  QVERIFY2(g.host.messages.empty(), g.host.messages.empty() ? "" : g.host.messages[0].c_str());
  QCOMPARE(g.points("ChartPrinc.SeriesBessel"), bessel);
  QVERIFY(!g.desktop->busy());
  QVERIFY(g.desktop->window("TFOptions")->isEnabled());
  QVERIFY(!g.desktop->stopButton()->isVisible());
  // The windows take commands again.
  g.host.onEvents = nullptr;
  g.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  click(g.widget("TFOptions.Button1"));
  QCOMPARE(g.points("ChartPrinc.SeriesBessel"), bessel);
}

void WindowsTest::aFieldThatIsNotANumberShowsItsMessage() {
  Gui g;
  g.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  typeInto(g.edit("TFOptions.EditMult"), "8x");
  g.desktop->menuItem("TFSample.Calculate1")->trigger();
  QCOMPARE(g.host.messages.size(), std::size_t(1));
  QCOMPARE(g.host.messages[0],
           std::string("'8x' is not a valid floating point value (Options: \"Ion dose\")"));
  QVERIFY(!g.desktop->busy());
  QVERIFY(g.desktop->window("TFOptions")->isEnabled());
}

void WindowsTest::closingKeepsTheWindowWhenAFieldDoesNotConvert() {
  Gui g;
  typeInto(g.edit("TFNRP.EditLor"), "wide");
  QVERIFY(!g.desktop->mainWindow()->close());
  QVERIFY(g.desktop->mainWindow()->isVisible());
  QCOMPARE(g.host.messages.back(), std::string("'wide' is not a valid floating point value "
                                               "(Options, Resonant NRA: \"Resonance FWHM (eV)\")"));
  QVERIFY(!QFile::exists(g.folder.filePath("tarvex.ini")));
  typeInto(g.edit("TFNRP.EditLor"), "120");
  QVERIFY(g.desktop->mayCloseMainWindow());
  QCOMPARE(QFile(g.folder.filePath("tarvex.ini")).size(), 600);
}

void WindowsTest::everyActionIsReachableFromAMenuOrButton() {
  Gui g;
  std::vector<QAction*> actions;
  for (QAction* a : g.desktop->mainWindow()->menuBar()->actions()) {
    actions.push_back(a);
    if (a->menu() != nullptr) collect(a->menu(), actions);
  }
  collect(g.desktop->popupMenu(), actions);
  for (QAction* a : qobject_cast<QMainWindow*>(g.desktop->window("TFSample"))->menuBar()->actions())
    actions.push_back(a);
  const std::set<QAction*> inMenus(actions.begin(), actions.end());
  // Controls that run an action, and whose widget or menu entry exists.
  std::set<std::string> reached;
  for (const auto& [key, c] : g.controls().all()) {
    if (c.action.empty()) continue;
    if (QAction* a = g.desktop->menuItem(key); a != nullptr && inMenus.count(a) != 0) {
      reached.insert(c.action);
    }
  }
  for (const std::string prefix :
       {"TFOptions", "TFNRP", "TFMEIS", "TFBackground", "TFrameMEISSample", "TFTarvex3"}) {
    for (const auto& [name, w] : g.desktop->form(prefix).widgets()) {
      const std::string& action = g.controls().get(prefix + "." + name).action;
      if (!action.empty() && qobject_cast<QAbstractButton*>(w) != nullptr) reached.insert(action);
    }
  }
  for (const tarvex::ActionSpec& a : tarvex::actionCatalogue()) {
    QAction* command = g.desktop->commandAction(a.name);
    const bool inCommands = command != nullptr && inMenus.count(command) != 0;
    QVERIFY2(reached.count(a.name) != 0 || inCommands, a.name);
    // An entry is enabled exactly when its command exists.
    if (command != nullptr) QCOMPARE(command->isEnabled(), g.session.hasAction(a.name));
  }
  // Menu items of the catalogue run existing commands.
  for (const tarvex::MenuSpec& m : tarvex::menuCatalogue()) {
    QVERIFY2(g.desktop->menuItem(m.key) != nullptr, m.key);
    const std::string& action = g.controls().get(m.key).action;
    if (!action.empty() && action != "Report" && action != "ShowReport") {
      QVERIFY2(g.session.hasAction(action), action.c_str());
    }
  }
}

void WindowsTest::hideAndShowResizeTheOptionsWindow() {
  Gui g;
  QWidget* options = g.desktop->window("TFOptions");
  QAbstractButton* hide = qobject_cast<QAbstractButton*>(g.widget("TFOptions.ButtonHide"));
  QCOMPARE(hide->text(), QString("Hide"));
  click(hide);
  QCOMPARE(hide->text(), QString("Show"));
  QCOMPARE(options->height(), 32);
  QVERIFY(!g.widget("TFNRP.EditEnrg")->isVisible());
  QVERIFY(g.widget("TFOptions.EditMult")->isVisible());
  click(hide);
  QCOMPARE(hide->text(), QString("Hide"));
  QVERIFY(options->height() >= 419);
  QVERIFY(g.widget("TFNRP.EditEnrg")->isVisible());
  // The mode display brings the ion-scattering frame to the front.
  click(g.widget("TFOptions.RadioMEIS"));
  QVERIFY(g.widget("TFMEIS.EditEnrg")->isVisible());
  QVERIFY(!g.widget("TFNRP.EditEnrg")->isVisible());
  QVERIFY(g.controls().checked("TFOptions.RadioMEIS"));
  QVERIFY(!qobject_cast<QAbstractButton*>(g.widget("TFOptions.RadioNRP"))->isChecked());
}

void WindowsTest::logAppendsWhatATableBuildWrites() {
  Gui g;
  g.session.setCheckedAsClick("TFOptions.RadioNumeric", true);
  g.controls().setText("TFNRP.Editx2", "10");
  g.session.run("Drawline");
  g.session.run("CalcSimulation");
  g.desktop->flush();
  const std::string& log = g.session.logText();
  QVERIFY(log.size() > 100);
  QCOMPARE(g.desktop->form("TFLog").memo("EditLog")->toPlainText().toStdString(), log);
}

void WindowsTest::menuItemsShowTheirWindows() {
  Gui g;
  g.desktop->menuItem("TFTarvex3.Log2")->trigger();
  QVERIFY(g.desktop->window("TFLog")->isVisible());
  click(g.widget("TFOptions.Button3"));
  QVERIFY(g.desktop->window("TFBackground")->isVisible());
  click(g.widget("TFOptions.Button2"));
  QVERIFY(!g.desktop->window("TFOptions")->isVisible());
  g.desktop->menuItem("TFTarvex3.Tarvex1")->trigger();
  QVERIFY(g.desktop->window("TFOptions")->isVisible());
  g.desktop->window("TFLog")->close();
  QVERIFY(!g.controls().get("TFLog").visible);
  g.desktop->menuItem("TFTarvex3.About")->trigger();
  QWidget* about = g.desktop->window("TAboutBox");
  QVERIFY(about->isVisible());
  QCOMPARE(g.desktop->form("TAboutBox").panel("ProductName")->text(), QString("Tarvex"));
  QCOMPARE(g.desktop->form("TAboutBox").panel("Version")->text(), QString("3.0.0.12"));
  click(g.widget("TAboutBox.OKButton"));
  QVERIFY(!about->isVisible());
  // "Sigma" draws the cross-section test curve.
  g.desktop->menuItem("TFTarvex3.Sgima1")->trigger();
  QCOMPARE(g.points("ChartPrinc.SeriesGauss"), 241);
}

// "Target..." opens the layered target's window; its "Calculate" draws the curve on the main
// chart under its own name and shows what it computed.
void WindowsTest::targetWindowCalculatesALayeredTarget() {
  Gui g;
  g.desktop->menuItem("TFTarvex3.Target1")->trigger();
  QWidget* w = g.desktop->window("TFTarget");
  QVERIFY(w->isVisible());
  g.controls().setText("TFNRP.EditMaxE", "40");
  g.controls().setText("TFTarget.EditStep", "200");
  click(g.widget("TFTarget.CheckLayered"));
  click(g.widget("TFTarget.ButtonCalculate"));
  g.desktop->flush();
  QCOMPARE(g.session.charts().series("ChartPrinc.SeriesPrinc").title,
           std::string("Layered target"));
  QVERIFY(g.points("ChartPrinc.SeriesPrinc") > 100);
  QVERIFY(g.desktop->form("TFTarget").memo("MemoResult")->toPlainText().contains("Layer 1 Al"));
}

void WindowsTest::decimalSeparatorOfTheLocale() {
  Gui g;
  tarvex::ui::useDecimalSeparator(g.session, ',');
  // The design texts are shown with the separator; names stay as they are.
  QCOMPARE(g.edit("TFNRP.Editdedx")->text(), QString("548,56"));
  QCOMPARE(g.edit("TFExternCS.EditDensity")->text(), QString("2,8e22"));
  QCOMPARE(g.edit("TFMEIS.EditElname")->text(), QString("Hf"));
  g.session.setCheckedAsClick("TFOptions.RadioAnalitic", true);
  typeInto(g.edit("TFNRP.EditGauss"), "150,5");
  g.desktop->menuItem("TFSample.Calculate1")->trigger();
  QVERIFY(g.host.messages.empty());
  QVERIFY(g.points("ChartPrinc.SeriesBessel") > 10);
  // The parameter file keeps its binary numbers: saved and read back, the field shows ','.
  QVERIFY(g.desktop->mayCloseMainWindow());
  g.controls().setText("TFNRP.EditGauss", "1");
  g.session.run("LoadParameters");
  QCOMPARE(g.edit("TFNRP.EditGauss")->text(), QString("150,5"));
}

void WindowsTest::fileDialogFilters() {
  QCOMPARE(tarvex::ui::qtFilter("Data files (*.dat; *.scd)|*.dat; *.scd;|All files (*.*)|*.*"),
           QString("Data files (*.dat *.scd);;All files (*.*)"));
  QCOMPARE(tarvex::ui::qtFilter("Tarvex profile files (*.pro)|*.pro"),
           QString("Tarvex profile files (*.pro)"));
}

void WindowsTest::saveChartAsPngAndPdf() {
  Gui g;
  g.session.charts().setPoints("ChartPrinc.SeriesPrinc", {{1, 1, 0}, {2, 3, 0}});
  for (const char* name : {"chart.png", "chart.pdf"}) {
    const QString file = g.folder.filePath(name);
    g.host.files.push_back(file.toStdString());
    g.desktop->menuItem("TFTarvex3.SaveChart1")->trigger();
    QVERIFY2(QFile(file).size() > 1000, name);
  }
  QCOMPARE(g.host.dialogs.back().defaultExt, std::string("png"));
  QVERIFY(g.host.messages.empty());
}

void WindowsTest::linearBackgroundNeedsTwoEnergies() {
  Gui g;
  click(g.widget("TFOptions.Button3"));
  auto* box = qobject_cast<QGroupBox*>(g.widget("TFBackground.Bkgrdradio"));
  const QList<QRadioButton*> radios = box->findChildren<QRadioButton*>();
  QCOMPARE(radios.size(), 2);
  QCOMPARE(radios[1]->text(), QString("Linear"));
  click(radios[1]);
  QCOMPARE(g.controls().get("TFBackground.Bkgrdradio").itemIndex, 1);
  typeInto(g.edit("TFBackground.EditYs"), "5");
  typeInto(g.edit("TFBackground.EditEf"), "0");
  QCOMPARE(g.controls().text("TFBackground.EditEf"), std::string("0"));
  QCOMPARE(g.controls().text("TFBackground.EditEs"), std::string("0"));
  const tarvex::backgroundLine before = g.session.state().nraBackgroundLine;
  click(g.widget("TFBackground.Button2"));  // "OK" redraws like "Preview"
  QCOMPARE(g.host.messages.size(), std::size_t(1));
  QVERIFY(g.session.state().nraBackgroundLine.x2 == before.x2);
  // The window stays open.
  QVERIFY(g.desktop->window("TFBackground")->isVisible());
  typeInto(g.edit("TFBackground.EditEf"), "500");
  click(g.widget("TFBackground.Button1"));
  QCOMPARE(g.host.messages.size(), std::size_t(1));
}

void WindowsTest::windowGeometryIsRestoredAtTheNextStart() {
  QTemporaryDir folder;
  const QString settings = folder.filePath("windows.conf");
  {
    FakeHost host;
    tarvex::Session session(host);
    tarvex::registerAllActions(session);
    session.state().startDirectory = folder.path().toStdString();
    tarvex::ui::Desktop desktop(session, host, {folder.path(), settings, true});
    desktop.window("TFExternCS")->setGeometry(200, 150, 500, 330);
    QVERIFY(desktop.mayCloseMainWindow());
  }
  FakeHost host;
  tarvex::Session session(host);
  tarvex::registerAllActions(session);
  session.state().startDirectory = folder.path().toStdString();
  tarvex::ui::Desktop desktop(session, host, {folder.path(), settings, true});
  QCOMPARE(desktop.window("TFExternCS")->size(), QSize(500, 330));
  // The parameters were saved on closing and applied at the start.
  QVERIFY(QFile::exists(folder.filePath("tarvex.ini")));
}

namespace {

// A stroke on a chart, and the same events as the script's mouse lines (the values the
// chart's pixels stand for) run in a session without windows.
struct Stroke {
  tarvex::ui::ChartView* chart;
  std::vector<std::string> lines;
  void event(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    mouse(chart, type, at, button, buttons);
    const bool down = type == QEvent::MouseButtonRelease ? false : buttons.testFlag(Qt::LeftButton);
    if (type == QEvent::MouseMove || button == Qt::LeftButton) {
      lines.push_back(chart->chartName() + " " +
                      tarvex::formatGeneral(chart->xAxis->pixelToCoord(at.x()), 17) + " " +
                      tarvex::formatGeneral(chart->yAxis->pixelToCoord(at.y()), 17) +
                      (down ? " down" : " up"));
    }
  }
};

QPoint inside(tarvex::ui::ChartView* v, double fx, double fy) {
  const QRect r = v->axisRect()->rect();
  return r.topLeft() + QPoint(static_cast<int>(r.width() * fx), static_cast<int>(r.height() * fy));
}

}  // namespace

void WindowsTest::strokesOnTheProfileChartsDrawAsTheScriptDoes() {
  Gui g;
  g.session.run("Updateplot");
  g.session.charts().setBottom("ChartNRPProf", 0.0, 10.0);
  g.session.charts().setLeft("ChartNRPProf", 0.0, 1.0);
  tarvex::ui::ChartView* v = g.desktop->chart("ChartNRPProf");
  g.desktop->flush();
  const tarvex::profile before = g.session.state().nraProfile;
  Stroke s{v, {}};
  // Pressed and moved before any move with the button up: nothing is drawn.
  s.event(QEvent::MouseButtonPress, inside(v, 0.2, 0.5), Qt::LeftButton, Qt::LeftButton);
  s.event(QEvent::MouseMove, inside(v, 0.4, 0.4), Qt::NoButton, Qt::LeftButton);
  QCOMPARE(g.session.state().nraProfile.values, before.values);
  s.event(QEvent::MouseButtonRelease, inside(v, 0.4, 0.4), Qt::LeftButton, Qt::NoButton);
  // Now armed: a stroke of three segments, one of them backwards.
  s.event(QEvent::MouseMove, inside(v, 0.2, 0.6), Qt::NoButton, Qt::NoButton);
  s.event(QEvent::MouseButtonPress, inside(v, 0.2, 0.6), Qt::LeftButton, Qt::LeftButton);
  s.event(QEvent::MouseMove, inside(v, 0.5, 0.3), Qt::NoButton, Qt::LeftButton);
  s.event(QEvent::MouseMove, inside(v, 0.35, 0.2), Qt::NoButton, Qt::LeftButton);
  s.event(QEvent::MouseMove, inside(v, 0.6, 0.5), Qt::NoButton, Qt::LeftButton);
  s.event(QEvent::MouseButtonRelease, inside(v, 0.6, 0.5), Qt::LeftButton, Qt::NoButton);
  s.event(QEvent::MouseMove, inside(v, 0.9, 0.1), Qt::NoButton, Qt::NoButton);
  const tarvex::profile& drawn = g.session.state().nraProfile;
  const double x0 = v->xAxis->pixelToCoord(inside(v, 0.2, 0).x());
  const double x1 = v->xAxis->pixelToCoord(inside(v, 0.6, 0).x());
  for (int i = 0; i < drawn.count; ++i) {
    const double depth = i * drawn.step;
    const bool between = depth > x0 + drawn.step && depth < x1 - drawn.step;
    const bool outside = depth < x0 - drawn.step || depth > x1 + drawn.step;
    if (between) QVERIFY2(drawn.values[i] > 0.0, qPrintable(QString::number(depth)));
    if (outside) QVERIFY2(drawn.values[i] == 0.0, qPrintable(QString::number(depth)));
  }
  g.desktop->flush();
  QCOMPARE(v->graphOf("ChartNRPProf.SeriesAmostra")->data()->isEmpty(), false);

  // The same events as script lines, in a session without windows.
  FakeHost host;
  tarvex::Session headless(host);
  tarvex::registerAllActions(headless);
  headless.run("Updateplot");
  for (const std::string& line : s.lines) {
    const auto m = tarvex::parseProfileMouse(line);
    QVERIFY2(m.has_value(), line.c_str());
    QVERIFY(tarvex::profileMouse(headless, *m));
  }
  QCOMPARE(headless.state().nraProfile.values, drawn.values);
  // The cursor shows depth and concentration in the window's status bar.
  auto* w = qobject_cast<QMainWindow*>(g.desktop->window("TFSample"));
  QVERIFY2(w->statusBar()->currentMessage().startsWith("Depth: "),
           qPrintable(w->statusBar()->currentMessage()));
  QVERIFY(w->statusBar()->currentMessage().contains("Concentration: "));
}

void WindowsTest::doubleClickTogglesZoomModeAndShiftDrawsNothing() {
  Gui g;
  g.session.run("Updateplot");
  tarvex::ui::ChartView* v = g.desktop->chart("ChartNRPProf");
  g.desktop->flush();
  const tarvex::profile before = g.session.state().nraProfile;
  QAction* item = g.desktop->menuItem("TFSample.EnableZoom1");
  QCOMPARE(item->text(), QString("Enable Zoom"));
  QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
  QVERIFY(item->isChecked());
  QCOMPARE(v->selectionRectMode(), QCP::srmNone);
  // Shift held: no stroke.
  mouse(v, QEvent::MouseMove, inside(v, 0.2, 0.5), Qt::NoButton, Qt::NoButton);
  mouse(v, QEvent::MouseButtonPress, inside(v, 0.2, 0.5), Qt::LeftButton, Qt::LeftButton,
        Qt::ShiftModifier);
  mouse(v, QEvent::MouseMove, inside(v, 0.6, 0.5), Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  mouse(v, QEvent::MouseButtonRelease, inside(v, 0.6, 0.5), Qt::LeftButton, Qt::NoButton,
        Qt::ShiftModifier);
  QCOMPARE(g.session.state().nraProfile.values, before.values);
  // A double click: zoom mode, caption, unchecked, rectangle zoom on both charts.
  mouse(v, QEvent::MouseButtonDblClick, inside(v, 0.5, 0.5), Qt::LeftButton, Qt::LeftButton);
  QCOMPARE(item->text(), QString("Disable Zoom"));
  QVERIFY(!item->isChecked());
  QCOMPARE(v->selectionRectMode(), QCP::srmZoom);
  QCOMPARE(g.desktop->chart("ChartMEISProf")->selectionRectMode(), QCP::srmZoom);
  QCOMPARE(g.session.charts().series("ChartNRPProf.SeriesAmostra").points.front().colour,
           tarvex::colours::blue);
  mouse(v, QEvent::MouseMove, inside(v, 0.2, 0.5), Qt::NoButton, Qt::NoButton);
  mouse(v, QEvent::MouseButtonPress, inside(v, 0.2, 0.5), Qt::LeftButton, Qt::LeftButton);
  mouse(v, QEvent::MouseMove, inside(v, 0.6, 0.5), Qt::NoButton, Qt::LeftButton);
  mouse(v, QEvent::MouseButtonRelease, inside(v, 0.6, 0.5), Qt::LeftButton, Qt::NoButton);
  QCOMPARE(g.session.state().nraProfile.values, before.values);
  // The menu item toggles back.
  item->trigger();
  QCOMPARE(item->text(), QString("Enable Zoom"));
  QVERIFY(item->isChecked());
  QCOMPARE(v->selectionRectMode(), QCP::srmNone);
  QVERIFY(!tarvex::drawingArmed(g.session, "ChartNRPProf"));
}

void WindowsTest::theElementBoxChoosesTheProfileDrawnAndSmoothTakesThemAll() {
  Gui g;
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  for (const char* name : {"Hf", "O"}) {
    g.controls().setText("TFMEIS.EditElname", name);
    g.session.click("TFMEIS.ButtonAdd");
  }
  g.controls().setText("TFMEIS.EditCmax", "1");
  g.session.run("Updateplot");
  QApplication::processEvents();
  tarvex::ui::ChartView* v = g.desktop->chart("ChartMEISProf");
  QVERIFY(v->isVisible());
  g.desktop->flush();
  const auto& items = g.controls().get("TFrameMEISSample.ComboEl_list").items;
  QCOMPARE(items.size(), std::size_t{2});
  for (int k = 0; k < 2; ++k) {
    QVERIFY(g.session.select("TFrameMEISSample.ComboEl_list", k));
    QCOMPARE(g.controls().text("TFrameMEISSample.ComboEl_list"), items[k]);
    const double fy = 0.3 + 0.3 * k;
    mouse(v, QEvent::MouseMove, inside(v, 0.2, fy), Qt::NoButton, Qt::NoButton);
    mouse(v, QEvent::MouseButtonPress, inside(v, 0.2, fy), Qt::LeftButton, Qt::LeftButton);
    mouse(v, QEvent::MouseMove, inside(v, 0.6, fy), Qt::NoButton, Qt::LeftButton);
    mouse(v, QEvent::MouseButtonRelease, inside(v, 0.6, fy), Qt::LeftButton, Qt::NoButton);
  }
  const auto& profiles = g.session.state().elementProfiles;
  const double a = profiles.at(items[0]).integral();
  const double b = profiles.at(items[1]).integral();
  QVERIFY(a > 0.0 && b > 0.0 && a > b);  // the first drawn higher up the chart
  QCOMPARE(g.session.state().nraProfile.integral(), 0.0);
  // "Smooth" (Ctrl+S) smooths every element's profile once more.
  std::map<std::string, tarvex::profile> want;
  for (const std::string& name : items) {
    want[name] = profiles.at(name);
    want[name].smooth(1);
  }
  QAction* smooth = g.desktop->menuItem("TFSample.Smooth1");
  QCOMPARE(smooth->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  smooth->trigger();
  for (const std::string& name : items)
    QCOMPARE(profiles.at(name).values, want[name].values);
}

void WindowsTest::aLongProfileIsDrawnByPixelColumns() {
  Gui g;
  // A 1 um film at 0.005 A: two million points, one of them a spike.
  tarvex::profile p(10000.0, 0.005);
  QCOMPARE(p.count, 2000000);
  p.values[1234567] = 0.75;
  p.values[1234568] = -0.25;
  g.session.state().nraProfile = p;
  g.session.charts().setBottom("ChartNRPProf", 0.0, 10000.0);
  g.session.charts().setLeft("ChartNRPProf", -0.5, 1.0);
  g.session.run("Plotprofile");
  tarvex::ui::ChartView* v = g.desktop->chart("ChartNRPProf");
  g.desktop->flush();
  QVERIFY(v->drawnByColumns("ChartNRPProf.SeriesAmostra"));
  const auto data = v->graphOf("ChartNRPProf.SeriesAmostra")->data();
  QVERIFY(data->size() <= 2 * v->axisRect()->width() + 4);
  double top = 0.0;
  double bottom = 0.0;
  for (const QCPGraphData& d : *data) {
    top = std::max(top, d.value);
    bottom = std::min(bottom, d.value);
  }
  QCOMPARE(top, 0.75);
  QCOMPARE(bottom, -0.25);
  // A range set on the axis keeps the graph drawn.
  v->xAxis->setRange(6172.0, 6173.0);
  g.desktop->flush();
  QVERIFY(data->size() > 0);
  // Drawing still reaches the long profile.
  mouse(v, QEvent::MouseMove, inside(v, 0.1, 0.2), Qt::NoButton, Qt::NoButton);
  mouse(v, QEvent::MouseButtonPress, inside(v, 0.1, 0.2), Qt::LeftButton, Qt::LeftButton);
  mouse(v, QEvent::MouseMove, inside(v, 0.3, 0.2), Qt::NoButton, Qt::LeftButton);
  mouse(v, QEvent::MouseButtonRelease, inside(v, 0.3, 0.2), Qt::LeftButton, Qt::NoButton);
  QVERIFY(g.session.state().nraProfile.integral() > p.integral());
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  WindowsTest t;
  return QTest::qExec(&t, argc, argv);
}

void WindowsTest::everyMenuOfTheMenuBarsShows() {
  Gui g;
  auto* main = qobject_cast<QMainWindow*>(g.desktop->window("TFTarvex3"));
  auto* sample = qobject_cast<QMainWindow*>(g.desktop->window("TFSample"));
  const auto allShown = [&] {
    for (QMainWindow* w : {main, sample}) {
      QVERIFY(w != nullptr);
      QVERIFY(QTest::qWaitForWindowExposed(w));
      QMenuBar* bar = w->menuBar();
      // Menus that do not fit go behind the bar's extension button.
      auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
      QVERIFY(more != nullptr);
      QVERIFY2(!more->isVisible(), qPrintable(w->objectName()));
      for (QAction* a : bar->actions()) {
        QVERIFY2(bar->rect().contains(bar->actionGeometry(a)), qPrintable(a->text()));
      }
      QVERIFY(w->width() >= 480);
    }
  };
  allShown();
  // The zoom item's caption grows to "Disable Zoom": the window grows with it.
  QVERIFY(g.session.click("TFSample.EnableZoom1"));
  QCOMPARE(g.desktop->menuItem("TFSample.EnableZoom1")->text(), QString("Disable Zoom"));
  QCoreApplication::processEvents();
  allShown();
  QVERIFY(main->width() >= 711);
  // The offscreen screen is too small for both side by side: the sample window leaves the main
  // window's menu bar free all the same.
  const QRect bar(main->mapToGlobal(QPoint(0, 0)), main->menuBar()->size());
  QVERIFY(!sample->frameGeometry().intersects(bar));
}

void WindowsTest::theAxesHoldStillWhileTheButtonIsDown() {
  // Before the first "Update plot" the concentration axis follows the data: a stroke at one
  // height must still draw one value, the axis catching up only at the release.
  Gui g;
  tarvex::ui::ChartView* v = g.desktop->chart("ChartNRPProf");
  g.desktop->flush();
  const QCPRange before = v->yAxis->range();
  Stroke s{v, {}};
  s.event(QEvent::MouseMove, inside(v, 0.1, 0.3), Qt::NoButton, Qt::NoButton);
  s.event(QEvent::MouseButtonPress, inside(v, 0.1, 0.3), Qt::LeftButton, Qt::LeftButton);
  for (double x : {0.3, 0.5, 0.7, 0.9}) {
    s.event(QEvent::MouseMove, inside(v, x, 0.3), Qt::NoButton, Qt::LeftButton);
    g.desktop->flush();
    QCoreApplication::processEvents();
    QCOMPARE(v->yAxis->range(), before);
  }
  const tarvex::profile& p = g.session.state().nraProfile;
  const double height = v->yAxis->pixelToCoord(inside(v, 0.0, 0.3).y());
  QVERIFY(height > 0.0);
  const auto at = [&](double fx) {
    const double depth = v->xAxis->pixelToCoord(inside(v, fx, 0.0).x());
    return p.values[static_cast<std::size_t>(depth / p.step)];
  };
  for (double fx : {0.2, 0.4, 0.6, 0.8})
    QCOMPARE(at(fx), height);
  s.event(QEvent::MouseButtonRelease, inside(v, 0.9, 0.3), Qt::LeftButton, Qt::NoButton);
  QCoreApplication::processEvents();
  g.desktop->flush();
  QVERIFY(v->yAxis->range() != before);
  QVERIFY(v->yAxis->range().contains(height));
}

#include "ui_test.moc"
