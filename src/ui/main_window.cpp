// The main window: its chart, menus, status bar and the cursor readout.
#include "ui/desktop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "core/numtext.h"
#include "state/action_catalogue.h"
#include "state/drawing.h"
#include "state/readout.h"
#include "ui/desktop_widgets.h"
#include "ui/fit_window.h"
#include "ui/gui_host.h"
#include "ui/icon.h"
#include "ui/placement.h"
#include "ui/report_page.h"
#include "ui/report_window.h"

namespace tarvex::ui {

void Desktop::buildMain() {
  auto* w = new MainFrame([this] { return mayCloseMainWindow(); });
  newWindow("TFTarvex3", w);
  // The main window's caption is the program's title (message boxes, the other windows' title
  // bars): the window system then names the program once in each title.
  QApplication::setApplicationDisplayName(q(s_.controls().get("TFTarvex3").caption));
  Form& f = makeForm("TFTarvex3", w);

  ChartView* chartView = newSpectrumView(s_, w);
  chartView->setObjectName(QStringLiteral("ChartPrinc"));
  charts_["ChartPrinc"] = chartView;
  w->setCentralWidget(chartView);
  w->setMouseTracking(true);
  chartView->setMouseTracking(true);
  QObject::connect(chartView, &QCustomPlot::mouseMove, chartView,
                   [this](QMouseEvent* e) { readout(e->pos()); });
  QObject::connect(chartView, &QCustomPlot::mouseDoubleClick, chartView,
                   [this](QMouseEvent*) { s_.click("TFTarvex3.ZoomOut1"); });

  QStatusBar* bar = w->statusBar();
  const int widths[] = {90, 90, 100, 100};
  for (int i = 0; i < 4; ++i) {
    const std::string key = "TFTarvex3.StatusBar1." + std::to_string(i);
    QLabel* p = f.panel("StatusBar1." + std::to_string(i));
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (i == 3) {
      // The last status text takes the room the others leave.
      p->setMinimumWidth(widths[i]);
      p->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      bar->addWidget(p, 1);
    } else {
      // The cursor readout, the progress of a table build or a fit, and the file name keep
      // their width whatever they say (the status bar must not jump with every iteration); a
      // text longer than the panel is cut, and whole in the panel's tool tip.
      const char* widest[] = {"Fit: iteration 1000", "Counts: 100000.0", ""};
      const int text = p->fontMetrics().horizontalAdvance(QString::fromLatin1(widest[i]));
      p->setFixedWidth(std::max(widths[i], text + 2 * p->frameWidth() + 8));
      bar->addWidget(p, 0);
    }
    QPointer<QLabel> panel(p);
    binder_->onChange(key, [this, panel, key] {
      if (panel) panel->setToolTip(q(s_.controls().text(key)));
    });
  }
  busyBar_ = new QProgressBar(w);
  busyBar_->setRange(0, 0);  // an indicator that moves without a known end
  busyBar_->setMaximumWidth(80);
  busyBar_->setMaximumHeight(14);
  busyBar_->setTextVisible(false);
  busyBar_->hide();
  bar->addPermanentWidget(busyBar_);
  bar->addPermanentWidget(f.widget("ButtonStop"));
  bar->setContextMenuPolicy(Qt::CustomContextMenu);

  popup_ = new QMenu(w);
  buildMenu("TarvexPopup", w, popup_, nullptr);
  QAction* logCounts = menuItem("TFTarvex3.LogCounts1");
  logCounts->setCheckable(true);
  const auto openPopup = [this](QWidget* source) {
    source->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(source, &QWidget::customContextMenuRequested, source,
                     [this, source](const QPoint& at) { popup_->popup(source->mapToGlobal(at)); });
  };
  openPopup(bar);
  openPopup(chartView);
  buildMenu("MainMenu1", w, nullptr, w->menuBar());

  // Shortcuts: F5 and Ctrl+R calculate, Ctrl+O loads data, Ctrl+P previews the report of the
  // mode, Ctrl+Q quits, Esc stops.
  const auto shortcut = [&](QAction* a, const QList<QKeySequence>& keys) {
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::ApplicationShortcut);
    w->addAction(a);
    shortcuts_.push_back(a);
  };
  auto* calculate = new QAction(q(findActionSpec("CalcSimulation")->caption), w);
  QObject::connect(calculate, &QAction::triggered, w, [this] { s_.run("CalcSimulation"); });
  shortcut(calculate, {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  shortcut(menuItem("TFTarvex3.LoadData1"), {QKeySequence(QKeySequence::Open)});
  if (QAction* report = menuItem("TFTarvex3.Report1")) {
    shortcut(report, {QKeySequence(QKeySequence::Print)});
  }
  auto* quit = new QAction(w);
  binder_->menuItem("TFTarvex3.Quit1", quit);
  menuItems_["TFTarvex3.Quit1"] = quit;
  shortcut(quit, {QKeySequence(Qt::CTRL | Qt::Key_Q)});
  auto* stop = new QAction(q(findActionSpec("Stop")->caption), w);
  QObject::connect(stop, &QAction::triggered, w, [this] { s_.requestStop(); });
  shortcut(stop, {QKeySequence(Qt::Key_Escape)});
  // Esc belongs to the dialogs unless a command is running.
  stop->setEnabled(false);
  stopAction_ = stop;
  // The menus show the keys of their commands. The key stays with the command's own entry
  // above: a menu entry holds it only while its menu has the focus.
  const auto showKeys = [](QAction* entry, const QKeySequence& keys) {
    if (entry == nullptr) return;
    entry->setShortcut(keys);
    entry->setShortcutContext(Qt::WidgetShortcut);
  };
  showKeys(commandAction("CalcSimulation"), QKeySequence(Qt::Key_F5));
  showKeys(commandAction("Loaddata"), QKeySequence(QKeySequence::Open));
  showKeys(commandAction("Report"), QKeySequence(QKeySequence::Print));
  showKeys(menuItem("TFTarvex3.PreviewReport1"), QKeySequence(QKeySequence::Print));
  showKeys(commandAction("Stop"), QKeySequence(Qt::Key_Escape));

  w->move(15, 15);
  w->resize(711, 454);
  keepWideForMenuBar(w);
}

void Desktop::readout(const QPoint& pixel) {
  ChartView* v = chart("ChartPrinc");
  const double x = v->xAxis->pixelToCoord(pixel.x());
  const double y = v->yAxis->pixelToCoord(pixel.y());
  s_.setPanel(0, energyReadout(x, s_.decimalSeparator()));
  s_.setPanel(1, countsReadout(y, s_.decimalSeparator()));
}

// ---- Sample window ----------------------------------------------------------------------------

}  // namespace tarvex::ui
