// The stopping window driven through its widgets, on the offscreen platform: opened from the
// main menu and from the buttons beside the two modes' stopping fields, "Calculate" filling the
// values, the text and the chart, a bad formula clearing them, "Apply" changing the mode's field
// and "Undo apply" putting it back.
#include <QAction>
#include <QApplication>
#include <QTest>

#include "ui/chart_view.h"
#include "ui/stopping_window.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

void click(QWidget* w) {
  QVERIFY2(w->isVisible() && w->isEnabled(), qPrintable(w->objectName()));
  QTest::mouseClick(w, Qt::LeftButton);
  QApplication::processEvents();
}

QWidget* stoppingWidget(Gui& g, const std::string& name) {
  return g.desktop->form("TFStopping").widget(name);
}

QString shown(Gui& g, const std::string& name) {
  return g.desktop->form("TFStopping").edit(name)->text();
}

int chartPoints(Gui& g, const std::string& series) {
  g.desktop->flush();
  tarvex::ui::ChartView* chart = tarvex::ui::stoppingWindowChart(g.desktop->window("TFStopping"));
  return chart->graphOf(series)->dataCount();
}

}  // namespace

class StoppingWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void theMenuAndTheButtonsBesideTheFieldsOpenIt();
  void calculateFillsValuesTextAndChartAndApplyChangesTheField();
};

void StoppingWindowTest::theMenuAndTheButtonsBesideTheFieldsOpenIt() {
  Gui g;
  QWidget* w = g.desktop->window("TFStopping");
  QVERIFY(!w->isVisible());
  QAction* item = g.desktop->menuItem("TFTarvex3.Stopping1");
  QCOMPARE(item->text(), QString("Stopping..."));
  item->trigger();
  QApplication::processEvents();
  QVERIFY(w->isVisible());
  QCOMPARE(w->windowTitle(), QString("Stopping"));
  // Resonant NRA: the resonance energy, protons, the field's unit.
  QCOMPARE(shown(g, "EditEnergy"), QString("151"));
  QCOMPARE(g.desktop->form("TFStopping").combo("ComboIon")->currentText(), QString("H"));
  QCOMPARE(g.desktop->form("TFStopping").panel("PanelStoppingUnit")->text(), QString("eV/Å"));
  w->close();
  QVERIFY(!w->isVisible());

  // The button beside the ion-scattering frame's "dE/dx:" opens it for that mode.
  g.controls().setText("TFMEIS.EditEnrg", "110");
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  QApplication::processEvents();
  click(g.widget("TFMEIS.ButtonStopping"));
  QVERIFY(w->isVisible());
  QCOMPARE(shown(g, "EditEnergy"), QString("110"));
  QCOMPARE(g.desktop->form("TFStopping").panel("PanelStoppingUnit")->text(), QString("eV/nm"));
  w->close();

  // And the one beside the resonant NRA frame's "Stopping Power:".
  g.session.setCheckedAsClick("TFOptions.RadioNRP", true);
  QApplication::processEvents();
  QVERIFY(!g.widget("TFMEIS.ButtonStopping")->isVisible());
  click(g.widget("TFNRP.ButtonStopping"));
  QVERIFY(w->isVisible());
  QCOMPARE(shown(g, "EditEnergy"), QString("151"));
}

void StoppingWindowTest::calculateFillsValuesTextAndChartAndApplyChangesTheField() {
  Gui g;
  g.desktop->menuItem("TFTarvex3.Stopping1")->trigger();
  QApplication::processEvents();
  QCOMPARE(shown(g, "EditFormula"), QString("HfO2"));
  QCOMPARE(chartPoints(g, "ChartStopping.SeriesStopping"), 0);

  g.host.messages.clear();  // what the start said (no version of a test program)
  click(stoppingWidget(g, "ButtonCalculate"));
  QVERIFY2(g.host.messages.empty(), g.host.messages.empty() ? "" : g.host.messages[0].c_str());
  const QString stopping = shown(g, "EditStopping");
  QVERIFY(!stopping.isEmpty());
  QVERIFY(!shown(g, "EditStraggling").isEmpty());
  const QString text = g.desktop->form("TFStopping").memo("MemoResult")->toPlainText();
  QVERIFY2(text.contains("Hf ") && text.contains("O ") && text.contains("Bragg's rule"),
           qPrintable(text));
  QVERIFY(chartPoints(g, "ChartStopping.SeriesStopping") > 50);
  QCOMPARE(chartPoints(g, "ChartStopping.SeriesPoints"), 1);

  // Apply writes the value into the resonant NRA field; Undo apply puts the old one back.
  QLineEdit* dedx = g.edit("TFNRP.Editdedx");
  QCOMPARE(dedx->text(), QString("548.56"));
  QVERIFY(!stoppingWidget(g, "ButtonUndo")->isEnabled());
  click(stoppingWidget(g, "ButtonApply"));
  QCOMPARE(dedx->text(), stopping);
  QVERIFY(g.desktop->form("TFStopping").panel("StatusStopping")->text().startsWith("Applied"));
  click(stoppingWidget(g, "ButtonUndo"));
  QCOMPARE(dedx->text(), QString("548.56"));
  QVERIFY(!stoppingWidget(g, "ButtonUndo")->isEnabled());

  // A formula typed wrong: the message names the field, the old results go.
  QLineEdit* formula = g.desktop->form("TFStopping").edit("EditFormula");
  formula->selectAll();
  QTest::keyClicks(formula, "HfQ2");
  click(stoppingWidget(g, "ButtonCalculate"));
  QCOMPARE(g.host.messages.size(), std::size_t{1});
  QVERIFY2(g.host.messages[0].rfind("Stopping: \"Formula\"", 0) == 0, g.host.messages[0].c_str());
  QVERIFY(shown(g, "EditStopping").isEmpty());
  QCOMPARE(chartPoints(g, "ChartStopping.SeriesStopping"), 0);
  QVERIFY(g.desktop->form("TFStopping").memo("MemoResult")->toPlainText().isEmpty());
  QCOMPARE(dedx->text(), QString("548.56"));
}

QTEST_MAIN(StoppingWindowTest)
#include "stopping_window_test.moc"
