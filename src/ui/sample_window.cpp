// The sample window: the depth profile chart of the current mode, its menu and drawing.
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

void Desktop::buildSample() {
  auto* w = new QMainWindow;
  newWindow("TFSample", w);
  buildMenu("TFSample.MainMenu", w, nullptr, w->menuBar());
  if (QAction* a = menuItem("TFSample.Analitic1"))
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  if (QAction* a = menuItem("TFSample.Smooth1")) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  if (QAction* a = menuItem("TFSample.EnableZoom1")) {
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  }
  if (QAction* a = menuItem("TFSample.Undo1")) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  if (QAction* a = menuItem("TFSample.UndoEdit1")) {
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  }
  if (QAction* a = menuItem("TFSample.RedoEdit1"))
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));

  auto* central = new QWidget(w);
  auto* stack = new QGridLayout(central);
  stack->setContentsMargins(0, 0, 0, 0);

  // Resonant NRA frame: the profile chart and one status text.
  auto* nra = new QWidget(central);
  Form& fn = makeForm("TFrameNRPSample", nra);
  auto* nraLayout = new QVBoxLayout(nra);
  nraLayout->setContentsMargins(0, 0, 0, 0);
  auto* nraChart = new ChartView(s_.charts(), "ChartNRPProf",
                                 {{"ChartNRPProf.SeriesAmostra", SeriesKind::Area}}, nra);
  nraChart->setObjectName(QStringLiteral("ChartNRPProf"));
  nraChart->xAxis->setLabel(q(s_.controls().get("TFrameNRPSample.ChartNRPProf").caption));
  nraChart->setZoomEnabled(false);
  charts_["ChartNRPProf"] = nraChart;
  nraLayout->addWidget(nraChart, 1);
  QLabel* nraStatus = fn.panel("StatusDraw");
  nraStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  nraLayout->addWidget(nraStatus);
  binder_->frame("TFrameNRPSample", nra);

  // Ion-scattering frame: element box, profile chart with the total, status panels.
  auto* meis = new QWidget(central);
  Form& fm = makeForm("TFrameMEISSample", meis);
  auto* meisLayout = new QVBoxLayout(meis);
  meisLayout->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  top->addWidget(fm.combo("ComboEl_list"), 1);
  top->addWidget(fm.widget("ButtonNormalizar"));
  fm.label("ComboEl_list")->hide();
  meisLayout->addLayout(top);
  auto* meisChart = new ChartView(s_.charts(), "ChartMEISProf",
                                  {{"ChartMEISProf.SeriesAmostra", SeriesKind::Area},
                                   {"ChartMEISProf.SeriesSum", SeriesKind::Dotted}},
                                  meis);
  meisChart->setObjectName(QStringLiteral("ChartMEISProf"));
  meisChart->xAxis->setLabel(q(s_.controls().get("TFrameMEISSample.ChartMEISProf").caption));
  meisChart->setZoomEnabled(false);
  charts_["ChartMEISProf"] = meisChart;
  meisLayout->addWidget(meisChart, 1);
  auto* panels = new QHBoxLayout;
  for (const char* p : {"StatusDraw.0", "StatusDraw.1"}) {
    fm.panel(p)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels->addWidget(fm.panel(p), 1);
  }
  meisLayout->addLayout(panels);
  binder_->frame("TFrameMEISSample", meis);

  // Both frames in one place: the mode display shows the one of the current mode.
  stack->addWidget(nra, 0, 0);
  stack->addWidget(meis, 0, 0);
  for (QWidget* chartWidget : {static_cast<QWidget*>(nraChart), static_cast<QWidget*>(meisChart)}) {
    chartWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        chartWidget, &QWidget::customContextMenuRequested, chartWidget,
        [this, chartWidget](const QPoint& at) { popup_->popup(chartWidget->mapToGlobal(at)); });
  }
  // The mouse draws on the profile charts: every event goes to the session in chart values,
  // and the status bar follows the cursor with the depth and concentration under it.
  QStatusBar* cursor = w->statusBar();
  for (ChartView* v : {nraChart, meisChart}) {
    const auto send = [this, v, cursor](const QMouseEvent* e, bool leftDown) {
      const double x = v->xAxis->pixelToCoord(e->position().x());
      const double y = v->yAxis->pixelToCoord(e->position().y());
      const char sep = s_.decimalSeparator();
      cursor->showMessage(q("Depth: " + formatGeneral(x, 5, sep) +
                            " Angstroms   Concentration: " + formatGeneral(y, 4, sep)));
      profileMouse(s_,
                   {v->chartName(), x, y, leftDown, e->modifiers().testFlag(Qt::ShiftModifier)});
    };
    QObject::connect(v, &QCustomPlot::mousePress, v, [send](QMouseEvent* e) {
      if (e->button() == Qt::LeftButton) send(e, true);
    });
    QObject::connect(v, &QCustomPlot::mouseMove, v,
                     [send](QMouseEvent* e) { send(e, e->buttons().testFlag(Qt::LeftButton)); });
    QObject::connect(v, &QCustomPlot::mouseRelease, v, [send](QMouseEvent* e) {
      if (e->button() == Qt::LeftButton) send(e, false);
    });
    QObject::connect(v, &QCustomPlot::mouseDoubleClick, v,
                     [this](QMouseEvent*) { s_.click("TFSample.EnableZoom1"); });
  }
  // Rectangle zoom only in zoom mode, where the mouse does not draw.
  QPointer<ChartView> nraView(nraChart);
  QPointer<ChartView> meisView(meisChart);
  binder_->onChange("TFSample.EnableZoom1", [this, nraView, meisView] {
    const bool zoom = !drawingEnabled(s_);
    for (ChartView* v : {nraView.data(), meisView.data()}) {
      if (v != nullptr) v->setZoomEnabled(zoom);
    }
  });
  w->setCentralWidget(central);
  w->resize(480, 420);
  keepWideForMenuBar(w);
  // Right of the main window, whose curve the profile drawn here changes, with the gap the
  // design leaves.
  const QMainWindow* main = mainWindow();
  w->move(main != nullptr ? std::max(770, main->x() + main->width() + 44) : 770, 15);
}

// ---- Options window ---------------------------------------------------------------------------

}  // namespace tarvex::ui
