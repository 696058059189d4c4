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
#include "ui/fit_window.h"
#include "ui/gui_host.h"
#include "ui/icon.h"
#include "ui/placement.h"
#include "ui/report_page.h"
#include "ui/report_window.h"

namespace tarvex::ui {
namespace {

// Widens a window with a menu bar to what the bar asks for, so that no menu hides behind the
// bar's extension button; returns the width.
int widenToMenuBar(QMainWindow* w) {
  const int wanted = w->menuBar()->sizeHint().width();
  if (wanted > w->width()) w->resize(wanted, w->height());
  return w->width();
}

// Widens now and again whenever a menu's caption changes ("Enable Zoom" becomes the longer
// "Disable Zoom").
void keepWideForMenuBar(QMainWindow* w) {
  widenToMenuBar(w);
  for (QAction* a : w->menuBar()->actions())
    QObject::connect(a, &QAction::changed, w, [w] { widenToMenuBar(w); });
}

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// The main window: closing it ends the program, unless the parameters cannot be saved or a
// command is running.
class MainFrame : public QMainWindow {
 public:
  explicit MainFrame(std::function<bool()> mayClose) : mayClose_(std::move(mayClose)) {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (mayClose_()) {
      e->accept();
      QApplication::quit();
    } else {
      e->ignore();
    }
  }

 private:
  std::function<bool()> mayClose_;
};

// Closing any other window only hides it; the store learns that it is hidden.
class HideOnClose : public QObject {
 public:
  HideOnClose(Session& s, std::string form, QObject* parent)
      : QObject(parent), s_(s), form_(std::move(form)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Close && s_.controls().get(form_).visible) {
      s_.controls().setVisible(form_, false);
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  Session& s_;
  std::string form_;
};

QGroupBox* boxed(QGroupBox* g, QLayout* layout) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  g->setLayout(layout);
  return g;
}

QGridLayout* tightGrid() {
  auto* grid = new QGridLayout;
  grid->setContentsMargins(4, 2, 4, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  return grid;
}

void narrowEdits(const Form& f) {
  for (const auto& [name, w] : f.widgets()) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      e->setMinimumWidth(56);
      e->setMaximumWidth(70);
    }
  }
}

}  // namespace

void useDecimalSeparator(Session& session, char separator) {
  const char old = session.decimalSeparator();
  session.setDecimalSeparator(separator);
  if (old == separator) return;
  ControlStore& c = session.controls();
  for (const auto& [key, control] : c.all()) {
    if (control.kind != ControlKind::Edit) continue;
    try {
      parseFloat(control.text, old);
    } catch (const ConversionError&) {
      continue;  // not a number (a file name, an element)
    }
    std::string text = control.text;
    for (char& ch : text) {
      if (ch == old) ch = separator;
    }
    c.setText(key, text);
  }
}

Desktop::Desktop(Session& session, GuiHost& host, DesktopOptions options)
    : s_(session), host_(host), options_(std::move(options)) {
  binder_ = std::make_unique<Binder>(s_);
  host_.attach(this);
  ControlStore& c = s_.controls();
  // Which windows the program shows at start: the main, sample, Options and external
  // cross-section windows.
  for (const char* hidden :
       {"TFLog", "TAboutBox", "TFReport", "TFBackground", "TFHG", "TFLayers", "TFFit"})
    c.setVisible(hidden, false);
  c.setVisible("TFTarvex3.ButtonStop", false);
  registerWindowCommands();

  const QString version = QApplication::applicationVersion();
  if (version.isEmpty()) {
    host_.showMessage(" no version info");
  } else {
    c.setText("TAboutBox.Version", version.toStdString());
  }

  buildMain();
  buildSample();
  buildOptions();
  buildLog();
  buildAbout();
  buildReport();
  buildBackground();
  buildUniformSample();
  buildLayeredSample();
  buildExternCS();
  buildFit();
  restoreGeometry();
  placeFirstStartWindows();
  // The main window last, so that it has the focus (a window manager gives it to the window
  // mapped last), the others beside it.
  for (const std::string& f : order_) {
    if (c.get(f).visible && f != "TAboutBox" && f != "TFTarvex3") {
      windows_[f]->show();
      shown_.insert(f);
    }
  }
  QMainWindow* main = mainWindow();
  main->show();
  shown_.insert("TFTarvex3");
  main->raise();
  main->activateWindow();
}

Desktop::~Desktop() {
  host_.attach(nullptr);
  // Windows go before the binder and the forms that refer to them.
  charts_.clear();
  while (!owned_.empty())
    owned_.pop_back();
  forms_.clear();
  binder_.reset();
}

QMainWindow* Desktop::mainWindow() const {
  return qobject_cast<QMainWindow*>(windows_.at("TFTarvex3").data());
}

QWidget* Desktop::window(const std::string& form) const {
  return windows_.at(form).data();
}

ChartView* Desktop::chart(const std::string& name) const {
  return charts_.at(name);
}

const Form& Desktop::form(const std::string& prefix) const {
  return *forms_.at(prefix);
}

QAction* Desktop::menuItem(const std::string& key) const {
  auto it = menuItems_.find(key);
  return it == menuItems_.end() ? nullptr : it->second;
}

QAction* Desktop::commandAction(const std::string& action) const {
  auto it = commands_.find(action);
  return it == commands_.end() ? nullptr : it->second;
}

QWidget* Desktop::stopButton() const {
  return forms_.at("TFTarvex3")->widget("ButtonStop");
}

Form& Desktop::makeForm(const std::string& prefix, QWidget* parent) {
  auto f = std::make_unique<Form>(*binder_, prefix, parent);
  Form& ref = *f;
  forms_[prefix] = std::move(f);
  return ref;
}

QWidget* Desktop::newWindow(const std::string& form, QWidget* w) {
  if (w == nullptr) w = new QWidget;
  w->setObjectName(q(form));
  owned_.emplace_back(w);
  windows_[form] = w;
  order_.push_back(form);
  binder_->formCaption(form, w);
  if (form != "TFTarvex3") w->installEventFilter(new HideOnClose(s_, form, w));
  // Shown and hidden as the store says (menu items, "OK", "Background", ...).
  binder_->onChange(form, [this, form] {
    QWidget* win = windows_[form];
    if (win == nullptr) return;
    if (s_.controls().get(form).visible) {
      if (!win->isVisible()) {
        if (shown_.count(form) == 0 && restored_.count(form) == 0) placeBesideOpener(form);
        shown_.insert(form);
        win->show();
      }
      win->raise();
      win->activateWindow();
    } else if (form != "TFTarvex3") {
      win->hide();
    }
  });
  return w;
}

void Desktop::registerWindowCommands() {
  ControlStore& c = s_.controls();
  for (const ShowWindowSpec& item : showWindowItems()) {
    const std::string form = item.form;
    c.onClick(item.item, [this, form] { s_.controls().setVisible(form, true); });
  }
  c.onClick("TAboutBox.OKButton", [this] { s_.controls().setVisible("TAboutBox", false); });
  c.onClick("TFTarvex3.ZoomOut1", [this] { chart("ChartPrinc")->zoomOut(); });
  c.onClick("TFTarvex3.LogCounts1", [this] {
    const bool on = !s_.controls().checked("TFTarvex3.LogCounts1");
    s_.controls().setChecked("TFTarvex3.LogCounts1", on);
    chart("ChartPrinc")->setLogarithmicCounts(on);
  });
  c.onClick("TFTarvex3.SaveChart1", [this] {
    const auto file = s_.host().saveFile(
        FileDialog{s_.controls().get("TFTarvex3.SaveChart1").caption,
                   "PNG images (*.png)|*.png|PDF documents (*.pdf)|*.pdf", "png", "chart.png"});
    if (!file) return;
    // Confirmed in the status bar as a saved report is.
    if (saveChart(*file)) {
      s_.SetStatus("Chart saved: " + *file);
    } else {
      s_.SetStatus("Cannot write " + *file);
      s_.host().showMessage("Cannot write " + *file);
    }
  });
  c.onClick("TFTarvex3.Quit1", [this] {
    if (QMainWindow* w = mainWindow()) QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
  });
}

bool Desktop::saveChart(const std::string& file) {
  ChartView* v = chart("ChartPrinc");
  const QString name = q(file);
  if (name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) return v->savePdf(name);
  return v->savePng(name);
}

// ---- Main window ------------------------------------------------------------------------------

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

void Desktop::buildMenu(const std::string& menu, QWidget* owner, QMenu* top, QMenuBar* bar) {
  std::set<std::string> parents;
  for (const MenuSpec& m : menuCatalogue()) {
    if (m.menu == menu && *m.parent) parents.insert(m.parent);
  }
  std::map<std::string, QMenu*> submenus;
  for (const MenuSpec& m : menuCatalogue()) {
    if (m.menu != menu) continue;
    const std::string key = m.key;
    QMenu* parentMenu = *m.parent ? submenus.at(m.parent) : top;
    QAction* a = nullptr;
    if (parents.count(key) != 0 || key == "TFTarvex3.Actions1") {
      auto* sub = new QMenu(owner);
      submenus[key] = sub;
      a = sub->menuAction();
      if (key == "TFTarvex3.Actions1") buildCommandsMenu(sub);
    } else {
      a = new QAction(owner);
    }
    binder_->menuItem(key, a);
    menuItems_[key] = a;
    if (parentMenu != nullptr) {
      parentMenu->addAction(a);
    } else if (bar != nullptr) {
      bar->addAction(a);
    }
  }
}

void Desktop::buildCommandsMenu(QMenu* menu) {
  // Every action of the action list, by category: so every command has a place in a menu.
  // Entries are named in the user's words; the name a script runs is in the tool tip.
  menu->setToolTipsVisible(true);
  std::map<std::string, QMenu*> categories;
  for (const ActionSpec& a : actionCatalogue()) {
    const std::string name = a.name;
    QMenu* target = menu;
    if (*a.category) {
      QMenu*& sub = categories[a.category];
      if (sub == nullptr) {
        sub = menu->addMenu(q(a.category));
        sub->setToolTipsVisible(true);
      }
      target = sub;
    }
    const QString text = q(commandMenuText(a));
    QAction* act = target->addAction(text);
    act->setToolTip(text + QStringLiteral(" (in a script: run ") + q(name) + QStringLiteral(")"));
    act->setEnabled(s_.hasAction(name));
    QObject::connect(act, &QAction::triggered, act, [this, name] {
      if (name == "Stop") {
        s_.requestStop();
      } else {
        s_.run(name);
      }
    });
    commands_[name] = act;
  }
}

void Desktop::readout(const QPoint& pixel) {
  ChartView* v = chart("ChartPrinc");
  const double x = v->xAxis->pixelToCoord(pixel.x());
  const double y = v->yAxis->pixelToCoord(pixel.y());
  s_.setPanel(0, energyReadout(x, s_.decimalSeparator()));
  s_.setPanel(1, countsReadout(y, s_.decimalSeparator()));
}

// ---- Sample window ----------------------------------------------------------------------------

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

void Desktop::buildOptions() {
  QWidget* w = newWindow("TFOptions");
  Form& f = makeForm("TFOptions", w);
  narrowEdits(f);
  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(4, 4, 4, 4);
  outer->setSpacing(2);

  // The top row stays visible when the window is collapsed ("Hide").
  auto* topPanel = new QWidget(w);
  auto* topRow = new QHBoxLayout(topPanel);
  topRow->setContentsMargins(0, 0, 0, 0);
  topRow->setSpacing(4);
  for (const char* e : {"EditBack", "EditShift", "EditMult"}) {
    topRow->addWidget(f.label(e));
    topRow->addWidget(f.edit(e));
    f.edit(e)->setMinimumWidth(40);
    f.edit(e)->setMaximumWidth(50);
  }
  f.edit("EditBack")->setToolTip(QString::fromUtf8(kOptionsBackgroundTip));
  topRow->addStretch(1);
  for (const char* b : {"Button1", "Button2", "ButtonHide", "Button3"})
    topRow->addWidget(f.widget(b));
  outer->addWidget(topPanel);

  optionsLower_ = new QWidget(w);
  auto* lower = new QVBoxLayout(optionsLower_);
  lower->setContentsMargins(0, 0, 0, 0);
  lower->setSpacing(2);
  auto* choices = new QHBoxLayout;
  auto* mode = new QHBoxLayout;
  mode->addWidget(f.widget("RadioNRP"));
  mode->addWidget(f.widget("RadioMEIS"));
  choices->addWidget(boxed(f.group("GroupMode"), mode));
  auto* model = new QHBoxLayout;
  for (const char* r : {"RadioNumeric", "RadioAnalitic", "RadioGauss", "RadioExternal"})
    model->addWidget(f.widget(r));
  choices->addWidget(boxed(f.group("GroupModel"), model));
  auto* checks = new QVBoxLayout;
  checks->addWidget(f.widget("CheckConv"));
  checks->addWidget(f.widget("CheckRememberSettings"));
  choices->addLayout(checks);
  lower->addLayout(choices);

  // Resonant NRA frame.
  auto* nraBox = new QGroupBox(optionsLower_);
  binder_->frame("TFNRP", nraBox);
  Form& n = makeForm("TFNRP", nraBox);
  narrowEdits(n);
  {
    auto* grid = new QGridLayout(nraBox);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(4);
    auto* col0 = new QVBoxLayout;
    auto* tops = tightGrid();
    n.labelledRows(tops, {"EditEnrg", "EditLor", "EditGauss"});
    col0->addLayout(tops);
    auto* loss = tightGrid();
    n.labelledRows(loss, {"Editdedx", "EditS"});
    col0->addWidget(boxed(n.group("GroupEnergyLoss"), loss));
    col0->addStretch(1);
    grid->addLayout(col0, 0, 0);
    auto* num = tightGrid();
    n.labelledRows(num, {"EditMaxE", "EditStep", "EditNc", "EditVecsize", "EditEmin", "EditEmax"});
    num->addWidget(n.widget("CheckAuto"), 6, 0, 1, 2);
    num->addWidget(n.widget("ButtonCalculate"), 7, 0, 1, 2);
    grid->addWidget(boxed(n.group("GroupNumeric"), num), 0, 1, Qt::AlignTop);
  }
  // Ion-scattering frame.
  auto* meisBox = new QGroupBox(optionsLower_);
  binder_->frame("TFMEIS", meisBox);
  Form& m = makeForm("TFMEIS", meisBox);
  narrowEdits(m);
  {
    auto* grid = new QGridLayout(meisBox);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(4);
    auto* col0 = new QVBoxLayout;
    auto* tops = tightGrid();
    m.labelledRows(tops, {"EditEnrg", "EditGauss", "EditPmass", "EditZp"});
    col0->addLayout(tops);
    auto* loss = tightGrid();
    m.labelledRows(loss, {"Editdedx", "EditS"});
    col0->addWidget(boxed(m.group("GroupEnergyLoss"), loss));
    auto* geometry = tightGrid();
    m.labelledRows(geometry, {"EditTIn", "EditTOut"});
    col0->addWidget(boxed(m.group("GroupGeometry"), geometry));
    col0->addStretch(1);
    grid->addLayout(col0, 0, 0);
    auto* num = tightGrid();
    m.labelledRows(num, {"EditNc", "EditVecsize", "EditStep"});
    num->addWidget(m.widget("CheckAuto"), 3, 0, 1, 2);
    m.labelledRows(num, {"EditEmin", "EditEmax", "EditDeltaE", "EditSimMin", "EditSimMax"}, 4);
    num->addWidget(m.widget("ButtonCalculate"), 9, 0, 1, 2);
    grid->addWidget(boxed(m.group("GroupNumeric"), num), 0, 1, Qt::AlignTop);
    auto* comp = tightGrid();
    comp->addWidget(m.label("ListElements"), 0, 0, 1, 2);
    comp->addWidget(m.widget("ListElements"), 1, 0, 1, 2);
    m.list("ListElements")->setMaximumHeight(70);
    m.labelledRows(comp, {"EditElname", "EditMass", "EditZ", "EditSCL"}, 2);
    comp->addWidget(m.widget("CheckSCCorr"), 6, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (const char* b : {"ButtonAdd", "ButtonDel", "Button1"}) {
      buttons->addWidget(m.widget(b));
      m.widget(b)->setMinimumWidth(20);
    }
    comp->addLayout(buttons, 7, 0, 1, 2);
    grid->addWidget(boxed(m.group("GroupComposition"), comp), 0, 2, Qt::AlignTop);
  }
  // The profile tools of both frames, in a column of their own.
  for (Form* p : {&n, &m}) {
    auto* profile = tightGrid();
    p->labelledRows(profile, {"EditMaxDepth", "EditCont", "EditCmax"});
    int row = 3;
    if (p->has("EditProfstep")) p->labelledRows(profile, {"EditProfstep"}, row++);
    auto* erfc = tightGrid();
    p->labelledRows(erfc, {"Editqtd", "EditSigma"});
    erfc->addWidget(p->widget("ButtonAdderfc"), 2, 0);
    erfc->addWidget(p->widget("ButtonTryadderfc"), 2, 1);
    erfc->addWidget(p->widget("ButtonSubstracterfc"), 3, 0);
    erfc->addWidget(p->widget("ButtonTrysubtract"), 3, 1);
    profile->addWidget(boxed(p->group("GroupErfc"), erfc), row++, 0, 1, 2);
    auto* line = tightGrid();
    p->labelledRows(line, {"Editx1", "Editc1"}, 0, 0);
    p->labelledRows(line, {"Editx2", "Editc2"}, 0, 2);
    line->addWidget(p->widget("ButtonDrawline"), 2, 0, 1, 4);
    profile->addWidget(boxed(p->group("GroupLine"), line), row++, 0, 1, 2);
    profile->addWidget(p->widget("Button3"), row, 0, 1, 2);
    auto* grid = qobject_cast<QGridLayout*>(p == &n ? nraBox->layout() : meisBox->layout());
    grid->addWidget(boxed(p->group("GroupProfile"), profile), 0, p == &n ? 2 : 3, Qt::AlignTop);
    for (const char* e : {"Editx1", "Editx2", "Editc1", "Editc2"}) {
      p->edit(e)->setMinimumWidth(40);
      p->edit(e)->setMaximumWidth(45);
    }
  }
  // Both frames in one place; the mode display shows the one of the current mode.
  auto* frames = new QGridLayout;
  frames->addWidget(nraBox, 0, 0);
  frames->addWidget(meisBox, 0, 0);
  lower->addLayout(frames, 1);
  outer->addWidget(optionsLower_, 1);

  for (QWidget* source :
       {topPanel, static_cast<QWidget*>(nraBox), static_cast<QWidget*>(meisBox)}) {
    source->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(source, &QWidget::customContextMenuRequested, source,
                     [this, source](const QPoint& at) { popup_->popup(source->mapToGlobal(at)); });
  }
  binder_->onChange("TFOptions.ButtonHide", [this] { applyOptionsHeight(); });

  // Creating the Options window writes the design defaults and applies the last settings.
  if (options_.runStartUp) s_.run("StartUp");
  w->move(15, 500);
  w->resize(604, 416);
}

void Desktop::applyOptionsHeight() {
  QWidget* w = window("TFOptions");
  const int h = s_.optionsClientHeight();
  // Collapsed, only the top row of edits and buttons shows.
  optionsLower_->setVisible(h != 32);
  w->setMinimumHeight(0);
  w->resize(w->width(), h);
}

// ---- Log, About, Report, Background, builders, external cross section -------------------------

void Desktop::buildLog() {
  QWidget* w = newWindow("TFLog");
  Form& f = makeForm("TFLog", w);
  auto* layout = new QVBoxLayout(w);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(f.widget("EditLog"));
  w->move(630, 355);
  w->resize(420, 300);
}

void Desktop::buildAbout() {
  auto* d = new QDialog;
  newWindow("TAboutBox", d);
  Form& f = makeForm("TAboutBox", d);
  d->setModal(true);
  auto* layout = new QVBoxLayout(d);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(d);
  icon->setPixmap(programIcon().pixmap(64, 64));
  row->addWidget(icon);
  auto* texts = new QVBoxLayout;
  QFont big = f.panel("ProductName")->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  f.panel("ProductName")->setFont(big);
  texts->addWidget(f.panel("ProductName"));
  texts->addWidget(f.panel("Version"));
  row->addLayout(texts, 1);
  layout->addLayout(row);
  auto* ok = qobject_cast<QPushButton*>(f.widget("OKButton"));
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignRight);
  QObject::connect(d, &QDialog::rejected, d,
                   [this] { s_.controls().setVisible("TAboutBox", false); });
  d->resize(300, 140);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    d->move(screen->availableGeometry().center() - QPoint(150, 70));
  }
}

void Desktop::buildReport() {
  QWidget* w = newWindow("TFReport");
  auto* layout = new QVBoxLayout(w);
  layout->setContentsMargins(0, 0, 0, 0);
  reportTabs_ = makeReportTabs(
      s_, [this] { return reportPicture_; }, w);
  layout->addWidget(reportTabs_);
  w->resize(560, 780);
}

void Desktop::paintWindowIntoReport(const std::string& form, const std::string& picture) {
  if (picture != "TFReport.QRImage1") return;
  const auto it = windows_.find(form);
  if (it == windows_.end() || it->second == nullptr) return;
  QWidget* w = it->second;
  // A window that was never shown has not laid out its controls yet.
  if (QLayout* layout = w->layout()) layout->activate();
  // The command that asks for the picture keeps the window disabled: the picture shows it as
  // the user sees it between commands.
  const bool enabled = w->isEnabled();
  w->setEnabled(true);
  reportPicture_ = w->grab().toImage();
  w->setEnabled(enabled);
  for (int i = 0; reportTabs_ != nullptr && i < reportTabs_->count(); ++i)
    reportTabs_->widget(i)->update();
}

void Desktop::showReportPreview(ReportPage page) {
  // The preview is modal: it opens when the command has ended, so that the program is not busy
  // while the user looks at the page.
  QTimer::singleShot(0, mainWindow(), [this, page] { openReportPreview(page); });
}

void Desktop::openReportPreview(ReportPage page) {
  QPrinter printer(QPrinter::HighResolution);
  useReportPaper(printer);
  QPrintPreviewDialog dialog(&printer, mainWindow());
  previewReport(dialog, s_, page, [this] { return reportPicture_; });
  host_.runReportPreview(dialog);
}

void Desktop::showReportWindow() {
  QWidget* w = window("TFReport");
  if (!w->isVisible()) {
    if (shown_.count("TFReport") == 0 && restored_.count("TFReport") == 0) {
      placeBesideOpener("TFReport");
    }
    shown_.insert("TFReport");
    w->show();
  }
  w->raise();
  w->activateWindow();
}

bool Desktop::writeReportPdf(ReportPage page, const QString& file) {
  return saveReportPdf(s_, file, page, reportPicture_);
}

void Desktop::buildBackground() {
  QWidget* w = newWindow("TFBackground");
  Form& f = makeForm("TFBackground", w);
  auto* layout = new QVBoxLayout(w);
  layout->addWidget(f.widget("Bkgrdradio"));
  auto* constants = tightGrid();
  f.labelledRows(constants, {"EditEs", "EditEf"}, 0, 0);
  f.labelledRows(constants, {"EditYs", "EditYf"}, 0, 2);
  layout->addWidget(boxed(f.group("Constants"), constants));
  auto* buttons = new QHBoxLayout;
  auto* preview = qobject_cast<QPushButton*>(f.widget("Button1"));
  preview->setAutoDefault(true);
  preview->setDefault(true);
  buttons->addWidget(preview);
  buttons->addWidget(f.widget("Button2"));
  layout->addLayout(buttons);
  // The default button answers Enter in any of the edits.
  for (const char* e : {"EditEs", "EditEf", "EditYs", "EditYf"}) {
    QObject::connect(f.edit(e), &QLineEdit::returnPressed, preview, &QPushButton::click);
  }
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

namespace {

// The caption of an edit that the layout does not show (an empty one): it takes no room and
// catches no click.
void unusedLabel(const Form& f, const std::string& name) {
  f.label(name)->setGeometry(0, 0, 0, 0);
}

}  // namespace

void Desktop::buildUniformSample() {
  QWidget* w = newWindow("TFHG");
  Form& f = makeForm("TFHG", w);
  auto* layout = new QVBoxLayout(w);
  auto* grid = tightGrid();
  // One row per element: its check box, then "Element:", "Z", "Mass", "Sigma" and "Qtd" under
  // the headings the first row's captions give.
  const char* columns[] = {"Editel", "EditZ", "EditM", "EditSigma", "EditQtd"};
  for (int c = 0; c < 5; ++c) {
    grid->addWidget(f.label(std::string(columns[c]) + "1"), 0, c + 1);
  }
  for (int r = 1; r <= 8; ++r) {
    const std::string n = std::to_string(r);
    grid->addWidget(f.widget("Check" + n), r, 0);
    for (int c = 0; c < 5; ++c) {
      const std::string name = columns[c] + n;
      QLineEdit* e = f.edit(name);
      e->setFixedWidth(c == 0 ? 110 : 64);
      grid->addWidget(e, r, c + 1);
      if (r > 1) unusedLabel(f, name);
    }
  }
  layout->addLayout(grid);
  auto* bottom = new QHBoxLayout;
  // The common thickness has no caption of its own in the store.
  auto* thickness = new QLabel(QStringLiteral("Thickness:"), w);
  thickness->setBuddy(f.edit("Editthickness"));
  unusedLabel(f, "Editthickness");
  bottom->addWidget(thickness);
  f.edit("Editthickness")->setFixedWidth(64);
  bottom->addWidget(f.widget("Editthickness"));
  bottom->addStretch(1);
  for (const char* b : {"Button1", "Button2", "Button3"})
    bottom->addWidget(f.widget(b));
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  w->move(120, 120);
}

void Desktop::buildLayeredSample() {
  QWidget* w = newWindow("TFLayers");
  Form& f = makeForm("TFLayers", w);
  auto* layout = new QVBoxLayout(w);
  // The six layers, two a row: thickness and "Add", then the element names over their
  // concentrations.
  auto* layers = new QGridLayout;
  layers->setSpacing(6);
  for (int k = 1; k <= 6; ++k) {
    const std::string l = std::string("L").append(std::to_string(k));
    auto* box = new QGroupBox(QStringLiteral("Layer %1").arg(k), w);
    auto* grid = tightGrid();
    grid->addWidget(f.label("EditThick" + l), 0, 0);
    QLineEdit* thick = f.edit("EditThick" + l);
    thick->setFixedWidth(56);
    grid->addWidget(thick, 0, 1);
    auto* add = f.widget(std::string("BitBtn").append(std::to_string(k)));
    grid->addWidget(add, 0, 4, 1, 2);
    for (int slot = 1; slot <= 5; ++slot) {
      const std::string el = "EditEl" + std::to_string(slot) + l;
      const std::string qtd = "EditQtd" + std::to_string(slot) + l;
      f.edit(el)->setFixedWidth(56);
      f.edit(qtd)->setFixedWidth(56);
      grid->addWidget(f.edit(el), 1, slot);
      grid->addWidget(f.edit(qtd), 2, slot);
      if (slot == 1) {
        grid->addWidget(f.label(el), 1, 0);
        grid->addWidget(f.label(qtd), 2, 0);
      } else {
        unusedLabel(f, el);
        unusedLabel(f, qtd);
      }
    }
    layers->addWidget(boxed(box, grid), (k - 1) / 2, (k - 1) % 2);
  }
  layout->addLayout(layers);

  // The element presets at 100 keV.
  auto* presets = new QGridLayout;
  presets->setContentsMargins(4, 2, 4, 4);
  presets->setSpacing(4);
  int col = 0;
  for (const char* b : {"Button1", "Button2", "Button3", "Button4", "Button5"})
    presets->addWidget(f.widget(b), 0, col++);
  presets->addWidget(f.widget("Button7"), 1, 0, 1, 2);
  presets->addWidget(f.widget("Button6"), 1, 3, 1, 2);
  auto* keV = new QGroupBox(QStringLiteral("100 keV"), w);
  keV->setLayout(presets);

  // The exports: the Ultra Exporter's name and the batch procedures.
  auto* exports = tightGrid();
  exports->addWidget(f.label("EditFileName"), 0, 0, 1, 2);
  exports->addWidget(f.edit("EditFileName"), 1, 0, 1, 2);
  exports->addWidget(f.widget("ButtonUltra"), 2, 0);
  exports->addWidget(f.widget("Button8"), 2, 1);
  exports->addWidget(f.widget("Button9"), 3, 0);
  exports->addWidget(f.widget("Button11"), 3, 1);
  exports->addWidget(f.widget("Button12"), 4, 0, 1, 2);
  auto* lower = new QHBoxLayout;
  lower->addWidget(keV, 1);
  lower->addLayout(exports, 1);
  layout->addLayout(lower);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  w->move(160, 160);
}

void Desktop::buildExternCS() {
  QWidget* w = newWindow("TFExternCS");
  Form& f = makeForm("TFExternCS", w);
  auto* layout = new QVBoxLayout(w);
  auto* cs = tightGrid();
  cs->addWidget(f.label("EditCSFile"), 0, 0);
  cs->addWidget(f.edit("EditCSFile"), 0, 1);
  cs->addWidget(f.widget("ButCSF"), 0, 2);
  f.labelledRows(cs, {"EditNcExt", "EditDensity", "Editdedx", "Editdw2dx"}, 1);
  layout->addWidget(boxed(f.group("GroupCS"), cs));
  auto* scc = tightGrid();
  scc->addWidget(f.widget("RadioSCCBasic"), 0, 0, 1, 3);
  scc->addWidget(f.widget("RadioSCCFile"), 1, 0);
  scc->addWidget(f.edit("EditSCCFile"), 1, 1);
  f.label("EditSCCFile")->hide();
  f.label("EditSCCFile")->setParent(nullptr);
  scc->addWidget(f.widget("ButSCCF"), 1, 2);
  f.labelledRows(scc, {"EditSigmaExtSCC", "EditShift"}, 2);
  layout->addWidget(boxed(f.group("GroupSCC"), scc));
  layout->addStretch(1);
  for (const char* b : {"ButCSF", "ButSCCF"})
    f.widget(b)->setMaximumWidth(30);
  w->move(630, 60);
  w->resize(420, 280);
}

void Desktop::buildFit() {
  QWidget* w = newWindow("TFFit");
  Form& f = makeForm("TFFit", w);
  buildFitWindow(s_, f, w);
  if (QAction* a = menuItem("TFTarvex3.Fit1")) {
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    a->setShortcutContext(Qt::ApplicationShortcut);
  }
}

// ---- Busy, closing, geometry ------------------------------------------------------------------

void Desktop::setBusy(bool busy) {
  busy_ = busy;
  // While a command runs, nothing but "Stop" can start another one.
  if (QMainWindow* m = mainWindow()) m->menuBar()->setEnabled(!busy);
  popup_->setEnabled(!busy);
  for (QAction* a : shortcuts_)
    a->setEnabled(a == stopAction_ ? busy : !busy);
  for (const std::string& f : order_) {
    // The fit window keeps its own "Stop" usable and disables its fields itself.
    if (f == "TFTarvex3" || f == "TFLog" || f == "TFFit") continue;
    windows_[f]->setEnabled(!busy);
  }
  busyBar_->setVisible(busy);
  s_.controls().setVisible("TFTarvex3.ButtonStop", busy);
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void Desktop::setWaitingForUser(bool waiting) {
  if (!busy_) return;
  // A file dialog or a question is no calculation: nothing moves, and there is nothing to stop.
  busyBar_->setVisible(!waiting);
  s_.controls().setVisible("TFTarvex3.ButtonStop", !waiting);
  stopAction_->setEnabled(!waiting);
  if (waiting) {
    QApplication::restoreOverrideCursor();
  } else {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  }
}

bool Desktop::mayCloseMainWindow() {
  if (busy_ || s_.busy()) return false;
  // Saving "tarvex.ini" converts every field: a field that does not convert keeps the window.
  if (!s_.run("CloseMainWindow") || s_.lastCommandFailed()) return false;
  saveGeometry();
  return true;
}

void Desktop::saveGeometry() {
  if (options_.settingsFile.isEmpty()) return;
  QSettings settings(options_.settingsFile, QSettings::IniFormat);
  for (const std::string& f : order_) {
    // A window never shown has only the place the program would give it anyway.
    if (f == "TAboutBox" || (shown_.count(f) == 0 && restored_.count(f) == 0)) continue;
    settings.setValue(q(f) + "/geometry", windows_[f]->saveGeometry());
  }
}

void Desktop::restoreGeometry() {
  if (options_.settingsFile.isEmpty()) return;
  QSettings settings(options_.settingsFile, QSettings::IniFormat);
  for (const std::string& f : order_) {
    const QByteArray g = settings.value(q(f) + "/geometry").toByteArray();
    if (!g.isEmpty() && windows_[f]->restoreGeometry(g)) restored_.insert(f);
  }
}

namespace {

// What a window manager adds around a window before it is shown (a title bar and thin borders),
// as most themes draw them; once the main window is on screen its own frame is used.
constexpr QMargins kAssumedFrame(4, 28, 4, 4);
constexpr int kWindowGap = 6;
// A chart window gives up height, but not below this (client height): the chart stays usable.
constexpr int kMainLeastHeight = 200;
constexpr int kSampleLeastHeight = 200;

QRect available() {
  const QScreen* screen = QApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
}

Rect toRect(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

// The size a window asks for, and its least, both frame included.
WindowSize frameSize(QWidget* w, const QMargins& frame, int leastHeight = 0,
                     bool keepWidth = false) {
  // A window laid out to a fixed size takes it only when its layout runs.
  if (QLayout* layout = w->layout()) layout->activate();
  QSize size = w->testAttribute(Qt::WA_Resized) ? w->size() : w->sizeHint();
  const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
  size = size.expandedTo(least);
  const int fw = frame.left() + frame.right();
  const int fh = frame.top() + frame.bottom();
  return {size.width() + fw, size.height() + fh,
          (keepWidth ? size.width() : std::max(least.width(), 1)) + fw,
          std::min(size.height(), std::max(least.height(), leastHeight)) + fh};
}

// Puts a window's frame at r's top left and gives it r's size, frame included.
void putFrame(QWidget* w, const Rect& r, const QMargins& frame) {
  w->move(r.x, r.y);
  w->resize(r.w - frame.left() - frame.right(), r.h - frame.top() - frame.bottom());
}

}  // namespace

void Desktop::placeFirstStartWindows() {
  // The menu bars measure their items with the style and fonts they have once polished.
  for (const char* form : {"TFTarvex3", "TFSample"}) {
    auto* w = qobject_cast<QMainWindow*>(window(form));
    w->ensurePolished();
    w->menuBar()->ensurePolished();
    widenToMenuBar(w);
  }
  const QMargins f = kAssumedFrame;
  const FirstStart p = placeFirstStart(
      // The main window as wide as its menu bar: no menu goes behind the bar's extension.
      toRect(available()), frameSize(window("TFTarvex3"), f, kMainLeastHeight, true),
      frameSize(window("TFSample"), f, kSampleLeastHeight), frameSize(window("TFOptions"), f),
      frameSize(window("TFExternCS"), f), kWindowGap);
  const std::pair<const char*, Rect> places[] = {{"TFTarvex3", p.main},
                                                 {"TFSample", p.sample},
                                                 {"TFOptions", p.options},
                                                 {"TFExternCS", p.externCs}};
  for (const auto& [form, r] : places) {
    if (restored_.count(form) == 0) putFrame(window(form), r, f);
  }
}

void Desktop::placeBesideOpener(const std::string& form) {
  if (form == "TAboutBox" || form == "TFTarvex3") return;
  // Every window is opened from the main window's menus, but for the background window, which
  // the Options window's "Background" button opens.
  const std::string opener = form == "TFBackground" ? "TFOptions" : "TFTarvex3";
  QWidget* from = window(opener);
  QWidget* w = window(form);
  // The frame the window manager gives the windows on screen, once it has drawn one.
  QMargins frame = kAssumedFrame;
  if (QMainWindow* main = mainWindow(); main != nullptr && main->isVisible()) {
    const QRect outer = main->frameGeometry();
    const QRect inner = main->geometry();
    const QMargins real(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (!real.isNull()) frame = real;
  }
  std::vector<Rect> others;
  for (const std::string& f : order_) {
    if (f != form && windows_[f] != nullptr && windows_[f]->isVisible()) {
      others.push_back(toRect(windows_[f]->frameGeometry()));
    }
  }
  const Rect opened =
      toRect(from->isVisible() ? from->frameGeometry() : mainWindow()->frameGeometry());
  // To fit beside its opener a window gives up at most a third of its width or height: a
  // window's least size from its layout (a page of a report, a chart) is far too small to use.
  WindowSize size = frameSize(w, frame);
  size.minW = std::min(size.w, std::max(size.minW, 2 * size.w / 3));
  size.minH = std::min(size.h, std::max(size.minH, 2 * size.h / 3));
  putFrame(w, placeBeside(toRect(available()), opened, size, others, kWindowGap), frame);
}

void Desktop::flush() {
  binder_->flushAppends();
  for (auto& [name, v] : charts_) {
    v->flush();
    v->replot(QCustomPlot::rpImmediateRefresh);
  }
}

}  // namespace tarvex::ui
