// The desktop program: the windows built from the control catalogue as views of one session, their
// menus and commands, the busy state while a command runs, and the chart saves.
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

#include "ui/desktop_widgets.h"

namespace tarvex::ui {

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
  for (const char* hidden : {"TFLog", "TAboutBox", "TFReport", "TFBackground", "TFHG", "TFLayers",
                             "TFFit", "TFStopping", "TFTarget"})
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
  buildTarget();
  buildStopping();
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

void Desktop::flush() {
  binder_->flushAppends();
  for (auto& [name, v] : charts_) {
    v->flush();
    v->replot(QCustomPlot::rpImmediateRefresh);
  }
}

}  // namespace tarvex::ui
