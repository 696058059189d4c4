// What a new user meets first: windows that leave each other room, titles that name the program
// once, numbers shown from their first digit, a status bar that keeps still, menus that show
// their shortcuts in the user's words, and file dialogs that are not calculations.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <set>

#include "state/action_catalogue.h"
#include "ui_fixture.h"

using tarvex::ui::testing::FakeHost;
using Gui = tarvex::ui::testing::Windows<FakeHost>;

namespace {

// A host whose file dialogs look at the windows while they are open.
class LookingHost : public FakeHost {
 public:
  std::function<void()> onDialog;
  std::optional<std::string> openFile(const tarvex::FileDialog& d) override {
    if (onDialog) onDialog();
    return FakeHost::openFile(d);
  }
  std::optional<std::string> saveFile(const tarvex::FileDialog& d) override {
    if (onDialog) onDialog();
    return FakeHost::saveFile(d);
  }
};

void collect(QMenu* m, std::vector<QAction*>& out) {
  for (QAction* a : m->actions()) {
    out.push_back(a);
    if (a->menu() != nullptr) collect(a->menu(), out);
  }
}

}  // namespace

class FirstUseTest : public QObject {
  Q_OBJECT

 private slots:
  void theFirstStartWindowsDoNotCoverEachOther();
  void laterWindowsOpenBesideTheirOpener();
  void titlesNameTheProgramOnce();
  void numbersWrittenByACommandShowFromTheirFirstDigit();
  void theLayeredSampleHoldsItsExampleConcentrations();
  void theProgressPanelKeepsItsWidth();
  void aFileDialogIsNotACalculation();
  void menusShowShortcutsAndNoActionNames();
};

void FirstUseTest::theFirstStartWindowsDoNotCoverEachOther() {
  Gui g;
  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  const char* forms[] = {"TFTarvex3", "TFSample", "TFOptions", "TFExternCS"};
  std::vector<QRect> frames;
  for (const char* f : forms) {
    QWidget* w = g.desktop->window(f);
    QVERIFY2(w->isVisible(), f);
    frames.push_back(w->frameGeometry());
  }
  // The offscreen screen (800 x 600) is too small for all of them side by side; the main window
  // is at its top left all the same, as wide as its menu bar, and nothing covers that bar.
  QCOMPARE(frames[0].topLeft(), screen.topLeft());
  QVERIFY(frames[0].bottom() <= screen.bottom());
  const QRect menu(g.desktop->mainWindow()->mapToGlobal(QPoint(0, 0)),
                   g.desktop->mainWindow()->menuBar()->size());
  for (std::size_t i = 1; i < frames.size(); ++i)
    QVERIFY2(!frames[i].intersects(menu), forms[i]);
  // The main window was shown last: the window manager gives it the focus.
  QVERIFY(g.desktop->mainWindow()->isActiveWindow() || QApplication::activeWindow() == nullptr ||
          QApplication::activeWindow() == g.desktop->mainWindow());
}

void FirstUseTest::laterWindowsOpenBesideTheirOpener() {
  Gui g;
  QMainWindow* main = g.desktop->mainWindow();
  for (const char* item : {"TFTarvex3.Fit1", "TFTarvex3.Log2", "TFTarvex3.Layers1"})
    g.session.click(item);
  for (const char* f : {"TFFit", "TFLog", "TFLayers"}) {
    QWidget* w = g.desktop->window(f);
    QVERIFY2(w->isVisible(), f);
    // Beside the main window where the screen has room, and never over its menu bar.
    const QRect menu(main->mapToGlobal(QPoint(0, 0)), main->menuBar()->size());
    QVERIFY2(!w->frameGeometry().intersects(menu), f);
  }
  // A window placed by the user keeps its place when it is opened again.
  QWidget* log = g.desktop->window("TFLog");
  log->move(333, 222);
  g.controls().setVisible("TFLog", false);
  g.session.click("TFTarvex3.Log2");
  QCOMPARE(log->pos(), QPoint(333, 222));
}

void FirstUseTest::titlesNameTheProgramOnce() {
  Gui g;
  // The window system appends the program's title to a window's own unless the window's title
  // already ends with it.
  const QString program = QApplication::applicationDisplayName();
  QCOMPARE(program, QString("Tarvex 3.0 Beta"));
  QVERIFY(g.desktop->mainWindow()->windowTitle().endsWith(program));
  QCOMPARE(g.desktop->window("TFOptions")->windowTitle(), QString("Options"));
}

void FirstUseTest::numbersWrittenByACommandShowFromTheirFirstDigit() {
  Gui g;
  // A second numeric run writes a long number into a narrow read-only field.
  for (const char* key : {"TFNRP.EditEmin", "TFNRP.EditEmax", "TFMEIS.EditEmax"}) {
    QLineEdit* e = g.edit(key);
    g.session.setNumber(key, 1.2345678901234e-3);
    g.session.setNumber(key, 12351118664.25);
    QCOMPARE(e->text(), QString("12351118664.25"));
    QCOMPARE(e->cursorPosition(), 0);
  }
  // The field the user types into keeps its cursor where the typing left it.
  QLineEdit* typed = g.edit("TFNRP.EditEnrg");
  g.desktop->window("TFOptions")->activateWindow();
  typed->setFocus();
  QTest::keyClick(typed, Qt::Key_End);
  QTest::keyClicks(typed, "5");
  QCOMPARE(typed->cursorPosition(), typed->text().size());
}

void FirstUseTest::theLayeredSampleHoldsItsExampleConcentrations() {
  Gui g;
  std::set<std::string> values;
  for (int k = 1; k <= 6; ++k) {
    for (int s = 1; s <= 5; ++s) {
      const std::string key = "TFLayers.EditQtd" + std::to_string(s) + "L" + std::to_string(k);
      const std::string& text = g.controls().text(key);
      values.insert(text);
      // Only the first slot of the first layer (hafnium at 0) holds a zero.
      if (!(k == 1 && s == 1)) QVERIFY2(text != "0", key.c_str());
    }
  }
  for (const char* example : {"0.6", "0.74", "0.9522"})
    QVERIFY2(values.count(example) != 0, example);
  QCOMPARE(g.controls().text("TFLayers.EditQtd1L2"), std::string("1"));
}

void FirstUseTest::theProgressPanelKeepsItsWidth() {
  Gui g;
  QStatusBar* bar = g.desktop->mainWindow()->statusBar();
  QLabel* progress = qobject_cast<QLabel*>(g.widget("TFTarvex3.StatusBar1.0"));
  QVERIFY(progress != nullptr);
  g.session.setPanel(0, "E: 95.123 keV");
  QApplication::processEvents();
  bar->layout()->activate();
  const int width = progress->width();
  g.session.setPanel(0,
                     "Fit: iteration 21, reduced chi-square 1.023, 1234 evaluations, done at last");
  QApplication::processEvents();
  bar->layout()->activate();
  QCOMPARE(progress->width(), width);
  // The whole text is at hand in the panel's tool tip.
  QVERIFY(progress->toolTip().startsWith("Fit: iteration 21"));
}

void FirstUseTest::aFileDialogIsNotACalculation() {
  tarvex::ui::testing::Windows<LookingHost> g;
  int dialogs = 0;
  g.host.onDialog = [&] {
    ++dialogs;
    QVERIFY(g.session.busy());  // the command that asked is still running...
    // ...but nothing says that a calculation runs, and there is nothing to stop.
    QVERIFY(g.desktop->busyIndicator()->isHidden());
    QVERIFY(!g.controls().get("TFTarvex3.ButtonStop").visible);
    QVERIFY(g.desktop->stopButton()->isHidden());
  };
  g.session.run("Loaddata");
  g.session.run("SaveProfile");
  QCOMPARE(dialogs, 2);
  // A calculation shows both.
  bool shownWhileBusy = false;
  g.host.onEvents = [&] {
    shownWhileBusy = shownWhileBusy || (!g.desktop->busyIndicator()->isHidden() &&
                                        g.controls().get("TFTarvex3.ButtonStop").visible);
  };
  g.session.run("CalcSimulation");
  QVERIFY(shownWhileBusy);
  QVERIFY(g.desktop->busyIndicator()->isHidden());
}

void FirstUseTest::menusShowShortcutsAndNoActionNames() {
  Gui g;
  std::vector<QAction*> commands;
  collect(g.desktop->menuItem("TFTarvex3.Actions1")->menu(), commands);
  std::set<QString> texts;
  for (QAction* a : commands) {
    if (a->menu() != nullptr) continue;
    const QString text = a->text();
    // No entry shows a script name, and no two entries look alike.
    for (const tarvex::ActionSpec& entry : tarvex::actionCatalogue()) {
      const QString name = QString::fromLatin1(entry.name);
      QVERIFY2(!text.contains("(" + name + ")"), qPrintable(text));
      if (text == name) QVERIFY2(name == QString::fromLatin1(entry.caption), qPrintable(text));
    }
    QVERIFY2(texts.insert(text).second, qPrintable(text));
  }
  struct Row {
    const char* action;
    QString text;
    QKeySequence keys;
  };
  const Row rows[] = {
      {"CalcSimulation", "Calculate: selected mode and model", QKeySequence(Qt::Key_F5)},
      {"CalcNumericExcitation", "Calculate: numeric resonant NRA", {}},
      {"CalcMEISAutos", "Calculate: ion-scattering collision tables only", {}},
      {"CalcGaussianMEIS", "Calculate: Gaussian ion scattering", {}},
      {"Loaddata", "Load data", QKeySequence(QKeySequence::Open)},
      {"Report", "Report: print preview of the selected mode", QKeySequence(QKeySequence::Print)},
      {"Stop", "Stop", QKeySequence(Qt::Key_Escape)},
  };
  for (const Row& r : rows) {
    QAction* a = g.desktop->commandAction(r.action);
    QVERIFY2(a != nullptr, r.action);
    QCOMPARE(a->text(), r.text);
    QCOMPARE(a->shortcut(), r.keys);
    // The script name is at hand for those who write scripts.
    QVERIFY2(a->toolTip().contains(r.action), qPrintable(a->toolTip()));
  }
  // The popup menu's "Report" shows the key that runs it too.
  QCOMPARE(g.desktop->menuItem("TFTarvex3.PreviewReport1")->shortcut(),
           QKeySequence(QKeySequence::Print));
  // A shortcut shown in a menu does not take the key from the command that owns it: Ctrl+O
  // still loads data (one dialog asked for).
  g.desktop->mainWindow()->activateWindow();
  QApplication::setActiveWindow(g.desktop->mainWindow());
  QTest::keySequence(g.desktop->mainWindow(), QKeySequence(QKeySequence::Open));
  QCOMPARE(g.host.dialogs.size(), std::size_t{1});
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FirstUseTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "first_use_test.moc"
