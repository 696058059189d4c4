// "Undo edit" (Ctrl+Shift+Z) and "Redo edit" (Ctrl+Y) in the sample window, after strokes of
// the mouse on the real profile charts.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <fstream>
#include <sstream>

#include "core/numtext.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

QPoint inside(tarvex::ui::ChartView* v, double fx, double fy) {
  const QRect r = v->axisRect()->rect();
  return r.topLeft() + QPoint(static_cast<int>(r.width() * fx), static_cast<int>(r.height() * fy));
}

// A stroke with the real mouse from fx0 to fx1 across the chart, with a bend in the middle,
// and the same events as tarvex-cli's mouse lines (in the values the chart's pixels stand for).
std::vector<std::string> stroke(tarvex::ui::ChartView* v, double fx0, double fx1) {
  std::vector<std::string> lines;
  const auto event = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                         Qt::MouseButtons buttons) {
    mouse(v, type, at, button, buttons);
    const bool down = type != QEvent::MouseButtonRelease && buttons.testFlag(Qt::LeftButton);
    lines.push_back("mouse " + v->chartName() + " " +
                    tarvex::formatGeneral(v->xAxis->pixelToCoord(at.x()), 17) + " " +
                    tarvex::formatGeneral(v->yAxis->pixelToCoord(at.y()), 17) +
                    (down ? " down" : " up"));
  };
  const QPoint a = inside(v, fx0, 0.6);
  const QPoint m = inside(v, (fx0 + fx1) / 2, 0.2);
  const QPoint b = inside(v, fx1, 0.5);
  event(QEvent::MouseMove, a, Qt::NoButton, Qt::NoButton);
  event(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
  event(QEvent::MouseMove, m, Qt::NoButton, Qt::LeftButton);
  event(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
  event(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
  return lines;
}

// The key sequence typed into the sample window, as the user would.
void press(Gui& g, QKeyCombination keys) {
  QWidget* w = g.desktop->window("TFSample");
  w->show();
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w));
  QTest::keyClick(w, keys.key(), keys.keyboardModifiers());
  g.desktop->flush();
}

// The profile as the chart's graph holds it.
std::vector<double> drawn(tarvex::ui::ChartView* v, const std::string& series) {
  std::vector<double> out;
  for (const QCPGraphData& d : *v->graphOf(series)->data())
    out.push_back(d.value);
  return out;
}

std::vector<double> shown(const tarvex::profile& p) {
  return std::vector<double>(p.values.begin(), p.values.begin() + p.count);
}

}  // namespace

class EditHistoryTest : public QObject {
  Q_OBJECT

 private slots:
  void shortcutsUndoAndRedoAStrokeAsTheScriptDoes();
  void ionScatteringStrokesAndSmoothingUndone();
};

void EditHistoryTest::shortcutsUndoAndRedoAStrokeAsTheScriptDoes() {
  Gui g;
  g.session.run("Updateplot");
  g.session.charts().setBottom("ChartNRPProf", 0.0, 10.0);
  g.session.charts().setLeft("ChartNRPProf", 0.0, 1.0);
  tarvex::ui::ChartView* v = g.desktop->chart("ChartNRPProf");
  g.desktop->flush();
  QCOMPARE(g.desktop->menuItem("TFSample.UndoEdit1")->shortcut(),
           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  QCOMPARE(g.desktop->menuItem("TFSample.RedoEdit1")->shortcut(),
           QKeySequence(Qt::CTRL | Qt::Key_Y));
  const tarvex::profile& p = g.session.state().nraProfile;
  const tarvex::profile before = p;
  std::vector<std::string> lines = stroke(v, 0.2, 0.5);
  const tarvex::profile first = p;
  const std::vector<std::string> second = stroke(v, 0.4, 0.8);
  lines.insert(lines.end(), second.begin(), second.end());
  const tarvex::profile both = p;
  QVERIFY(first.values != before.values && both.values != first.values);

  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(p.values, first.values);
  QCOMPARE(drawn(v, "ChartNRPProf.SeriesAmostra"), shown(first));
  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(p.values, before.values);
  QCOMPARE(drawn(v, "ChartNRPProf.SeriesAmostra"), shown(before));
  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(g.controls().text("TFrameNRPSample.StatusDraw"), std::string("Nothing to undo"));
  QCOMPARE(p.values, before.values);
  press(g, Qt::CTRL | Qt::Key_Y);
  QCOMPARE(p.values, first.values);
  QCOMPARE(drawn(v, "ChartNRPProf.SeriesAmostra"), shown(first));

  // The same lines through tarvex-cli give the same profile, point for point.
  const QString cli = QCoreApplication::applicationDirPath() + "/../../tarvex-cli";
  if (!QFile::exists(cli)) QSKIP("tarvex-cli is not built");
  const std::string script = g.folder.filePath("strokes.tvx").toStdString();
  {
    std::ofstream f(script);
    f << "run Updateplot\n";
    for (const std::string& l : lines)
      f << l << '\n';
    f << "run UndoEdit\nrun UndoEdit\nrun UndoEdit\nrun RedoEdit\n";
    f << "series ChartNRPProf.SeriesAmostra\n";
  }
  QProcess run;
  run.setWorkingDirectory(g.folder.path());
  run.start(cli, {QString::fromStdString(script)});
  QVERIFY(run.waitForFinished(120000));
  QCOMPARE(run.exitCode(), 0);
  std::istringstream out(run.readAllStandardOutput().toStdString());
  std::vector<double> values;
  double x = 0.0;
  double y = 0.0;
  while (out >> x >> y)
    values.push_back(y);
  QCOMPARE(values, shown(first));
}

void EditHistoryTest::ionScatteringStrokesAndSmoothingUndone() {
  Gui g;
  g.session.setCheckedAsClick("TFOptions.RadioMEIS", true);
  for (const char* name : {"Hf", "O"}) {
    g.controls().setText("TFMEIS.EditElname", name);
    g.session.click("TFMEIS.ButtonAdd");
  }
  g.session.charts().setBottom("ChartMEISProf", 0.0, 10.0);
  g.session.charts().setLeft("ChartMEISProf", 0.0, 1.0);
  tarvex::ui::ChartView* v = g.desktop->chart("ChartMEISProf");
  g.desktop->flush();
  auto& profiles = g.session.state().elementProfiles;
  const std::map<std::string, tarvex::profile> before = profiles;
  g.session.select("TFrameMEISSample.ComboEl_list", 0);  // Hf
  stroke(v, 0.1, 0.6);
  g.session.select("TFrameMEISSample.ComboEl_list", 1);  // O
  stroke(v, 0.3, 0.9);
  const std::map<std::string, tarvex::profile> strokes = profiles;
  QVERIFY(strokes.at("Hf").values != before.at("Hf").values);
  QVERIFY(strokes.at("O").values != before.at("O").values);
  // "Smooth" (Ctrl+S) smooths both; one undo restores both.
  press(g, Qt::CTRL | Qt::Key_S);
  QVERIFY(profiles.at("Hf").values != strokes.at("Hf").values);
  QVERIFY(profiles.at("O").values != strokes.at("O").values);
  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(profiles.at("Hf").values, strokes.at("Hf").values);
  QCOMPARE(profiles.at("O").values, strokes.at("O").values);
  // The stroke on O, then the one on Hf: the element box follows the profile undone.
  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(profiles.at("O").values, before.at("O").values);
  press(g, Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
  QCOMPARE(profiles.at("Hf").values, before.at("Hf").values);
  QCOMPARE(g.controls().text("TFrameMEISSample.ComboEl_list"), std::string("Hf"));
  QCOMPARE(drawn(v, "ChartMEISProf.SeriesAmostra"), shown(before.at("Hf")));
  press(g, Qt::CTRL | Qt::Key_Y);
  QCOMPARE(profiles.at("Hf").values, strokes.at("Hf").values);
  QCOMPARE(drawn(v, "ChartMEISProf.SeriesAmostra"), shown(strokes.at("Hf")));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  EditHistoryTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "edit_history_test.moc"
