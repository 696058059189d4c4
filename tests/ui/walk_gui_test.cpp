// A seeded random walk through the windows, as a user clicks about: every step is drawn from
// what is on screen at that moment (enabled buttons, check boxes and radio buttons of every
// visible window, line edits, lists and combo boxes, the entries of the menu bars, the popup
// menu and the shortcuts, strokes and double clicks on the charts, closing a window), with file
// dialogs answered from a queue and "Stop" pressed at a random event point of a long command.
// After every step: no dialog opened outside the host, the windows idle again (nothing left
// disabled, no busy indicator), every widget showing what its control holds, no number that is
// not finite unless the typed inputs make it so, and the element list agreeing with the
// composition. A failure prints the seed and the shortest run of steps found that still fails,
// in a form TARVEX_WALK_GUI_REPLAY runs again.
//
// TARVEX_WALK_SEED and TARVEX_WALK_STEPS set the seed and length of the walk with the changing
// seed (scripts/walk_gui.sh runs long walks this way).
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../support/temp_dir.h"
#include "../support/walk_checks.h"
#include "state/action_catalogue.h"
#include "ui_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvex;
using tarvex::ui::GuiHost;

// ---- Steps -------------------------------------------------------------------------------------

// One step of the walk as a line of text, so a failing walk can be written out, shortened and
// run again. Widgets are named by their window and their place among the window's widgets;
// menu entries by their place in the menu tree. Lines before a step queue what happens during
// it: dialog answers ("answer open|save|yes|no ..."), "Stop" at the n-th event point
// ("stop N button|esc|menu") and another command tried while it runs ("intrude N").
struct Step {
  std::vector<std::string> lines;  // modifiers first, the action last
  std::string label;               // what the action touches, for a reader
};

// ---- The host ----------------------------------------------------------------------------------

// Records messages, answers dialogs from queues (a file dialog with nothing queued is cancelled,
// a question answered No) and never blocks.
class WalkHost : public GuiHost {
 public:
  std::vector<std::string> messages;
  std::deque<std::optional<std::string>> opens, saves;
  std::deque<bool> answers;
  int events = 0;
  std::function<void(int)> onEvents;

  void showMessage(const std::string& text) override { messages.push_back(text); }
  bool askYesNo(const std::string& text) override {
    messages.push_back(text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> openFile(const FileDialog&) override { return pop(opens); }
  std::optional<std::string> saveFile(const FileDialog&) override { return pop(saves); }
  void processEvents() override {
    ++events;
    QCoreApplication::processEvents();
    if (onEvents) onEvents(events);
  }
  // Served inside the long loops, at moments that depend on the machine: the windows react,
  // but the walk's event points (where it presses "Stop") stay those of a replay.
  void serveEvents() override { QCoreApplication::processEvents(); }
  // The program runs a report's preview as a modal dialog; the walk has its pages drawn
  // instead, as the preview would draw them.
  void runReportPreview(QPrintPreviewDialog& dialog) override {
    ++previews;
    if (auto* w = dialog.findChild<QPrintPreviewWidget*>()) w->updatePreview();
  }
  int previews = 0;

  void clearQueues() {
    opens.clear();
    saves.clear();
    answers.clear();
  }

 private:
  static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto f = q.front();
    q.pop_front();
    return f;
  }
};

using Gui = tarvex::ui::testing::Windows<WalkHost>;

// ---- What is on screen -------------------------------------------------------------------------

// The program's windows by form name, in catalogue order: windows that land later (a new form
// of the catalogue) are walked as soon as the desktop makes them.
std::vector<std::pair<std::string, QWidget*>> windowsOf(const Gui& g) {
  // The catalogue is the program's own: its forms are the same for every desktop.
  static const std::set<std::string> forms = [&g] {
    std::set<std::string> f;
    for (const auto& [key, c] : g.session.controls().all())
      f.insert(key.substr(0, key.find('.')));
    return f;
  }();
  std::vector<std::pair<std::string, QWidget*>> out;
  for (const std::string& f : forms) {
    try {
      if (QWidget* w = g.desktop->window(f)) out.emplace_back(f, w);
    } catch (const std::out_of_range&) {
      // a form of the catalogue that is a frame, not a window
    }
  }
  return out;
}

// The control key of each widget the forms made ("TFNRP.EditEnrg").
std::map<const QWidget*, std::string> controlKeys(const Gui& g) {
  std::map<const QWidget*, std::string> keys;
  std::set<std::string> prefixes;
  for (const auto& [key, c] : g.session.controls().all()) {
    if (key.find('.') != std::string::npos) prefixes.insert(key.substr(0, key.find('.')));
  }
  for (const std::string& p : prefixes) {
    try {
      for (const auto& [name, w] : g.desktop->form(p).widgets())
        keys[w] = p + "." + name;
    } catch (const std::out_of_range&) {
      // a prefix with no form of widgets (menus, status panels)
    }
  }
  return keys;
}

bool usable(const QWidget* w) {
  return w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0;
}

enum class WidgetKind { None, Button, Edit, Combo, List, Chart };

WidgetKind kindOf(QWidget* w) {
  if (qobject_cast<QCustomPlot*>(w)) return WidgetKind::Chart;
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    // The edit inside an editable combo box belongs to the box.
    if (qobject_cast<QComboBox*>(w->parentWidget())) return WidgetKind::None;
    return e->isReadOnly() ? WidgetKind::None : WidgetKind::Edit;
  }
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    // The menu bar's button for entries that do not fit opens their menu, whose entries are
    // walked as menu entries.
    if (qobject_cast<QMenuBar*>(w->parentWidget())) return WidgetKind::None;
    if (auto* t = qobject_cast<QToolButton*>(b); t && t->menu() != nullptr) return WidgetKind::None;
    return WidgetKind::Button;
  }
  if (auto* c = qobject_cast<QComboBox*>(w)) {
    return c->count() > 0 ? WidgetKind::Combo : WidgetKind::None;
  }
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    return l->count() > 0 ? WidgetKind::List : WidgetKind::None;
  }
  return WidgetKind::None;
}

struct Target {
  std::string window;
  int index = 0;  // among the window's widgets, hidden ones included
  QWidget* widget = nullptr;
};

// Every leaf entry of a menu tree with its path of indices.
void menuEntries(QMenu* m, const std::string& path, bool enabledOnly,
                 std::vector<std::pair<std::string, QAction*>>& out) {
  if (enabledOnly && !m->isEnabled()) return;
  const QList<QAction*> actions = m->actions();
  for (int i = 0; i < actions.size(); ++i) {
    QAction* a = actions[i];
    if (a->isSeparator() || !a->isVisible() || (enabledOnly && !a->isEnabled())) continue;
    const std::string p = path + "/" + std::to_string(i);
    if (a->menu() != nullptr) {
      menuEntries(a->menu(), p, enabledOnly, out);
    } else {
      out.emplace_back(p, a);
    }
  }
}

// Menu entries by path: "bar:TFSample/1/4" (menu bar of a window), "popup/3", "shortcut/1".
std::vector<std::pair<std::string, QAction*>> menuActions(const Gui& g, bool enabledOnly) {
  std::vector<std::pair<std::string, QAction*>> out;
  for (const auto& [form, w] : windowsOf(g)) {
    auto* mw = qobject_cast<QMainWindow*>(w);
    if (mw == nullptr || (enabledOnly && !usable(mw))) continue;
    QMenuBar* bar = mw->menuBar();
    if (enabledOnly && !bar->isEnabled()) continue;
    const QList<QAction*> top = bar->actions();
    for (int i = 0; i < top.size(); ++i) {
      QAction* a = top[i];
      if (!a->isVisible() || (enabledOnly && !a->isEnabled())) continue;
      const std::string p = "bar:" + form + "/" + std::to_string(i);
      if (a->menu() != nullptr) {
        menuEntries(a->menu(), p, enabledOnly, out);
      } else {
        out.emplace_back(p, a);
      }
    }
  }
  if (!enabledOnly || g.desktop->popupMenu()->isEnabled()) {
    menuEntries(g.desktop->popupMenu(), "popup", enabledOnly, out);
  }
  const auto& shortcuts = g.desktop->shortcutActions();
  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    if (!enabledOnly || shortcuts[i]->isEnabled()) {
      out.emplace_back("shortcut/" + std::to_string(i), shortcuts[i]);
    }
  }
  // Quitting ends the program, and with it the walk.
  QAction* quit = g.desktop->menuItem("TFTarvex3.Quit1");
  std::erase_if(out, [quit](const auto& e) { return e.second == quit; });
  return out;
}

// ---- Drawing steps -----------------------------------------------------------------------------

class Drawer {
 public:
  Drawer(std::uint64_t seed, std::vector<std::string> fixtures)
      : rng_(seed), fixtures_(std::move(fixtures)) {}

  Step next(const Gui& g) {
    Step step;
    std::vector<std::string>& lines = step.lines;
    if (chance(35)) answers(lines);
    if (chance(25)) {
      static const char* how[] = {"button", "esc", "menu"};
      lines.push_back("stop " + std::to_string(uniform(1, 40)) + " " + how[uniform(0, 2)]);
    }
    if (chance(8)) lines.push_back("intrude " + std::to_string(uniform(1, 20)));
    keys_ = controlKeys(g);

    // What the user can reach now: a modal window takes every click while it shows.
    std::vector<std::pair<std::string, QWidget*>> windows;
    QWidget* modal = QApplication::activeModalWidget();
    for (const auto& [form, w] : windowsOf(g)) {
      if (w->isVisible() && (modal == nullptr || w == modal)) windows.emplace_back(form, w);
    }
    std::map<WidgetKind, std::vector<Target>> found;
    for (const auto& [form, w] : windows) {
      const QList<QWidget*> all = w->findChildren<QWidget*>();
      for (int i = 0; i < all.size(); ++i) {
        const WidgetKind k = kindOf(all[i]);
        if (k != WidgetKind::None && usable(all[i])) found[k].push_back({form, i, all[i]});
      }
    }
    const auto menus =
        modal == nullptr ? menuActions(g, true) : std::vector<std::pair<std::string, QAction*>>{};
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int r = uniform(0, 99);
      if (r < 30 && !found[WidgetKind::Edit].empty()) {
        lines.push_back(typeLine(pick(found[WidgetKind::Edit]), g, &step.label));
      } else if (r < 55 && !found[WidgetKind::Button].empty()) {
        const Target& t = pick(found[WidgetKind::Button]);
        lines.push_back("click " + t.window + " " + std::to_string(t.index));
        step.label = describe(t.widget);
      } else if (r < 63 &&
                 (!found[WidgetKind::Combo].empty() || !found[WidgetKind::List].empty())) {
        const bool combo =
            found[WidgetKind::List].empty() || (!found[WidgetKind::Combo].empty() && chance(50));
        const Target& t = pick(found[combo ? WidgetKind::Combo : WidgetKind::List]);
        const int count = combo ? qobject_cast<QComboBox*>(t.widget)->count()
                                : qobject_cast<QListWidget*>(t.widget)->count();
        const int item = uniform(0, count - 1);
        lines.push_back("select " + t.window + " " + std::to_string(t.index) + " " +
                        std::to_string(item));
        step.label = describe(t.widget) + " item " + std::to_string(item);
      } else if (r < 83 && !menus.empty()) {
        const auto& [path, action] =
            menus[static_cast<std::size_t>(uniform(0, static_cast<int>(menus.size()) - 1))];
        lines.push_back("action " + path);
        step.label = "\"" + action->text().toStdString() + "\"";
      } else if (r < 95 && !found[WidgetKind::Chart].empty()) {
        const Target& t = pick(found[WidgetKind::Chart]);
        lines.push_back(chartLine(t));
        step.label = t.widget->objectName().toStdString();
      } else if (r >= 95) {
        std::vector<std::string> closable;
        for (const auto& [form, w] : windows) {
          if (w != g.desktop->mainWindow()) closable.push_back(form);
        }
        if (closable.empty()) continue;
        lines.push_back("close " + pick(closable));
      } else {
        continue;
      }
      return step;
    }
    lines.push_back("wait");
    return step;
  }

 private:
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return uniform(0, 99) < percent; }
  double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  template <class T>
  const T& pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(uniform(0, static_cast<int>(v.size()) - 1))];
  }

  std::string describe(const QWidget* w) const {
    std::string text;
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text().toStdString();
    auto it = keys_.find(w);
    std::string s = it != keys_.end() ? it->second : w->metaObject()->className();
    if (!text.empty()) s += " \"" + text + "\"";
    return s;
  }

  void answers(std::vector<std::string>& lines) {
    const int r = uniform(0, 9);
    if (r < 4) {
      lines.push_back("answer open " + pick(fixtures_));
    } else if (r < 7) {
      static const char* exts[] = {".dat", ".pro", ".ini", ".png", ".pdf", ".txt"};
      lines.push_back("answer save walk" + std::to_string(uniform(1, 4)) + exts[uniform(0, 5)]);
    } else if (r == 7) {
      lines.push_back(uniform(0, 1) ? "answer open-cancel" : "answer save-cancel");
    } else {
      lines.push_back(uniform(0, 1) ? "answer yes" : "answer no");
    }
  }

  // Plausible numbers mostly (near what the edit shows), hostile texts sometimes; then Enter
  // or the focus moving on.
  std::string typeLine(const Target& t, const Gui& g, std::string* label) {
    auto* e = qobject_cast<QLineEdit*>(t.widget);
    const std::string shown = e->text().toStdString();
    std::string text;
    double v = 0.0;
    if (chance(15)) {
      text = pick(walk::hostileTexts());
    } else if (walk::isNumberText(shown, &v) && std::isfinite(v)) {
      const bool whole = shown.find_first_of(".eE") == std::string::npos;
      if (chance(10)) {
        text = shown;
      } else if (v == 0.0) {
        text = whole ? std::to_string(uniform(0, 3)) : formatGeneral(real(0.0, 2.0), 3);
      } else if (whole) {
        text = std::to_string(std::max<long long>(1, std::llround(v * real(0.5, 2.0))));
      } else {
        text = formatGeneral(v * real(0.5, 2.0), 4);
      }
    } else {
      static const std::vector<std::string> names = {"Hf", "O", "Si", "Zr", "Al", "Ti", "N"};
      text = chance(50) ? pick(names) : shown;
    }
    (void)g;
    auto it = keys_.find(t.widget);
    *label = it != keys_.end() ? "set " + it->second + " " + text : describe(t.widget);
    return "type " + t.window + " " + std::to_string(t.index) + (chance(60) ? " enter" : " leave") +
           " \"" + text + "\"";
  }

  // A stroke of a few segments, or a double click; now and then with Shift held or partly
  // outside the axes.
  std::string chartLine(const Target& t) {
    std::ostringstream line;
    line << "chart " << t.window << " " << t.index << (chance(20) ? " double" : " drag")
         << (chance(10) ? " shift" : " plain");
    const int points = uniform(2, 5);
    for (int i = 0; i < points; ++i) {
      line << " " << formatGeneral(real(-0.1, 1.1), 3) << "," << formatGeneral(real(-0.1, 1.1), 3);
    }
    return line.str();
  }

  std::mt19937_64 rng_;
  std::vector<std::string> fixtures_;
  std::map<const QWidget*, std::string> keys_;
};

// ---- Running and checking ----------------------------------------------------------------------

struct Failure {
  std::size_t step = 0;
  std::string kind;
  std::string detail;
};

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, modifiers);
  QApplication::sendEvent(w, &e);
}

// One walk (or replay) on a fresh desktop.
class Runner {
 public:
  Runner(fs::path fixtures, double limit) : fixtures_(std::move(fixtures)), limit_(limit) {
    // The program writes some files where it was started (default parameters, exports).
    previous_ = fs::current_path();
    fs::current_path(g_.folder.path().toStdString());
    g_.host.onEvents = [this](int n) { eventPoint(n); };
    chartObserver_ = g_.session.charts().observe([this](const std::string& key) {
      if (g_.session.charts().has(key)) changedSeries_[key] = overflowAllowed_;
    });
    settle();
    for (const auto& [form, w] : windowsOf(g_))
      idleWindows_[form] = w->isEnabled();
    for (const auto& [path, a] : menuActions(g_, false))
      idleActions_[a] = a->isEnabled();
    keys_ = controlKeys(g_);
    watchdog_.setInterval(50);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { watch(); });
    watchdog_.start();
  }
  ~Runner() {
    watchdog_.stop();
    g_.host.onEvents = nullptr;
    g_.session.charts().unobserve(chartObserver_);
    std::error_code ec;
    fs::current_path(previous_, ec);
  }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  Gui& gui() { return g_; }
  double seconds() const { return seconds_; }
  int stopsPressed() const { return stopsPressed_; }

  // Runs one step; the failure, if any. A step whose widget is not there or not usable (a
  // shorter replay) is reported as kind "skip".
  std::optional<Failure> step(const Step& s, std::size_t index) {
    stopAt_ = 0;
    intrudeAt_ = 0;
    g_.host.clearQueues();
    g_.host.events = 0;
    watchFailure_.reset();
    overflowAllowed_ = anyOverflowingEdit();
    for (std::size_t i = 0; i + 1 < s.lines.size(); ++i)
      modifier(s.lines[i]);
    clock_.emplace();
    inStep_ = true;
    const bool done = act(s.lines.back());
    settle();
    inStep_ = false;
    const double took = clock_->seconds();
    seconds_ += took;
    g_.host.clearQueues();
    if (watchFailure_) return Failure{index, watchFailure_->kind, watchFailure_->detail};
    if (!done) return Failure{index, "skip", s.lines.back()};
    if (took > limit_) {
      return Failure{index, "a step ran longer than the limit",
                     "it ran " + std::to_string(took) + " s"};
    }
    return check(index);
  }

 private:
  void settle() {
    for (int i = 0; i < 3; ++i)
      QCoreApplication::processEvents();
  }

  void modifier(const std::string& line) {
    std::istringstream in(line);
    std::string cmd, a, b;
    in >> cmd >> a;
    std::getline(in >> std::ws, b);
    if (cmd == "answer") {
      const std::string folder = g_.folder.path().toStdString();
      if (a == "open") g_.host.opens.push_back((fixtures_ / b).string());
      if (a == "save") g_.host.saves.push_back(folder + "/" + b);
      if (a == "open-cancel") g_.host.opens.push_back(std::nullopt);
      if (a == "save-cancel") g_.host.saves.push_back(std::nullopt);
      if (a == "yes" || a == "no") g_.host.answers.push_back(a == "yes");
    } else if (cmd == "stop") {
      stopAt_ = std::stoi(a);
      stopHow_ = b;
    } else if (cmd == "intrude") {
      intrudeAt_ = std::stoi(a);
    }
  }

  // What the user does while a command runs: "Stop" at one event point, another command at
  // another (which the busy session refuses).
  void eventPoint(int n) {
    if (n == stopAt_ && g_.session.busy()) {
      ++stopsPressed_;
      if (stopHow_ == "button" && usable(g_.desktop->stopButton())) {
        QTest::mouseClick(g_.desktop->stopButton(), Qt::LeftButton);
      } else if (stopHow_ == "esc") {
        QTest::keyClick(g_.desktop->mainWindow(), Qt::Key_Escape);
      } else if (QAction* stop = g_.desktop->commandAction("Stop")) {
        stop->trigger();
      }
    }
    if (n == intrudeAt_ && g_.session.busy()) {
      // Every entry of the menus, whatever the windows show: the session must refuse them.
      const auto all = menuActions(g_, false);
      if (!all.empty()) all[static_cast<std::size_t>(n * 7919) % all.size()].second->trigger();
    }
  }

  // Runs between events, also inside a dialog's own event loop: a dialog that did not come
  // through the host blocks the walk, so it is noted and closed; a step that runs too long is
  // stopped.
  void watch() {
    // A popup menu left open takes the mouse; the user would close it.
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    QWidget* modal = QApplication::activeModalWidget();
    bool ours = false;
    for (const auto& [form, w] : windowsOf(g_))
      ours = ours || w == modal;
    if (modal != nullptr && !ours) {
      if (!watchFailure_) {
        watchFailure_ = Failure{0, "a modal dialog blocked the windows",
                                std::string(modal->metaObject()->className()) + " \"" +
                                    modal->windowTitle().toStdString() + "\""};
      }
      if (auto* d = qobject_cast<QDialog*>(modal)) {
        d->reject();
      } else {
        modal->close();
      }
    }
    if (inStep_ && clock_->seconds() > limit_ && g_.session.busy()) {
      if (!watchFailure_) {
        watchFailure_ = Failure{0, "a step ran longer than the limit", "stopped by the walk"};
      }
      g_.session.requestStop();
    }
  }

  QWidget* resolve(const std::string& window, int index) {
    for (const auto& [form, w] : windowsOf(g_)) {
      if (form != window) continue;
      const QList<QWidget*> all = w->findChildren<QWidget*>();
      if (index < 0 || index >= all.size()) return nullptr;
      QWidget* target = all[index];
      QWidget* modal = QApplication::activeModalWidget();
      if (!usable(target) || (modal != nullptr && target->window() != modal)) return nullptr;
      return target;
    }
    return nullptr;
  }

  bool act(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd == "wait") return true;
    if (cmd == "action") {
      std::string path;
      in >> path;
      for (const auto& [p, a] : menuActions(g_, true)) {
        if (p != path) continue;
        a->trigger();
        return true;
      }
      return false;
    }
    if (cmd == "close") {
      std::string form;
      in >> form;
      for (const auto& [f, w] : windowsOf(g_)) {
        if (f == form && w->isVisible() && w != g_.desktop->mainWindow()) {
          w->close();
          return true;
        }
      }
      return false;
    }
    std::string window;
    int index = -1;
    in >> window >> index;
    QWidget* w = resolve(window, index);
    if (w == nullptr) return false;
    if (cmd == "click" && kindOf(w) == WidgetKind::Button) {
      const bool box = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
      QTest::mouseClick(w, Qt::LeftButton, {}, box ? QPoint(6, w->height() / 2) : QPoint());
      return true;
    }
    if (cmd == "type" && kindOf(w) == WidgetKind::Edit) {
      auto* e = qobject_cast<QLineEdit*>(w);
      std::string how, rest;
      in >> how;
      std::getline(in >> std::ws, rest);
      const std::string text = rest.size() >= 2 ? rest.substr(1, rest.size() - 2) : "";
      typed_[e] = text;
      e->setFocus();
      e->selectAll();
      QTest::keyClick(e, Qt::Key_Backspace);
      QTest::keyClicks(e, QString::fromStdString(text));
      if (how == "enter") {
        QTest::keyClick(e, Qt::Key_Return);
      } else {
        e->clearFocus();
      }
      return true;
    }
    if (cmd == "select") {
      int item = -1;
      in >> item;
      if (auto* c = qobject_cast<QComboBox*>(w); c && item >= 0 && item < c->count()) {
        c->setCurrentIndex(item);
        emit c->activated(item);
        return true;
      }
      if (auto* l = qobject_cast<QListWidget*>(w); l && item >= 0 && item < l->count()) {
        l->scrollToItem(l->item(item));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {},
                          l->visualItemRect(l->item(item)).center());
        return true;
      }
      return false;
    }
    if (cmd == "chart" && kindOf(w) == WidgetKind::Chart) {
      auto* v = qobject_cast<QCustomPlot*>(w);
      std::string how, keys;
      in >> how >> keys;
      const Qt::KeyboardModifiers mods = keys == "shift" ? Qt::ShiftModifier : Qt::NoModifier;
      std::vector<QPoint> at;
      const QRect r = v->axisRect()->rect();
      for (std::string xy; in >> xy;) {
        const double fx = std::stod(xy.substr(0, xy.find(',')));
        const double fy = std::stod(xy.substr(xy.find(',') + 1));
        at.push_back(r.topLeft() +
                     QPoint(static_cast<int>(r.width() * fx), static_cast<int>(r.height() * fy)));
      }
      if (at.empty()) return false;
      mouse(v, QEvent::MouseMove, at[0], Qt::NoButton, Qt::NoButton, mods);
      mouse(v, QEvent::MouseButtonPress, at[0], Qt::LeftButton, Qt::LeftButton, mods);
      if (how == "double") {
        mouse(v, QEvent::MouseButtonRelease, at[0], Qt::LeftButton, Qt::NoButton, mods);
        mouse(v, QEvent::MouseButtonDblClick, at[0], Qt::LeftButton, Qt::LeftButton, mods);
        mouse(v, QEvent::MouseButtonRelease, at[0], Qt::LeftButton, Qt::NoButton, mods);
        return true;
      }
      for (std::size_t i = 1; i < at.size(); ++i)
        mouse(v, QEvent::MouseMove, at[i], Qt::NoButton, Qt::LeftButton, mods);
      mouse(v, QEvent::MouseButtonRelease, at.back(), Qt::LeftButton, Qt::NoButton, mods);
      return true;
    }
    return false;
  }

  bool anyOverflowingEdit() {
    for (const auto& [edit, text] : typed_) {
      if (edit->text().toStdString() == text && walk::overflowingText(text)) return true;
    }
    return false;
  }

  std::optional<Failure> check(std::size_t index) {
    Session& s = g_.session;
    if (s.busy() || g_.desktop->busy()) return Failure{index, "still busy after a step", ""};
    // Idle again: windows, menu bars, the popup menu and the shortcuts as at the start.
    for (const auto& [form, w] : windowsOf(g_)) {
      auto it = idleWindows_.find(form);
      if (it != idleWindows_.end() && it->second && !w->isEnabled()) {
        return Failure{index, "a window stayed disabled after a command", form};
      }
    }
    for (const auto& [form, w] : windowsOf(g_)) {
      auto* mw = qobject_cast<QMainWindow*>(w);
      if (mw != nullptr && !mw->menuBar()->isEnabled()) {
        return Failure{index, "a menu bar stayed disabled after a command", form};
      }
    }
    if (!g_.desktop->popupMenu()->isEnabled()) {
      return Failure{index, "the popup menu stayed disabled after a command", ""};
    }
    for (const auto& [path, a] : menuActions(g_, false)) {
      auto it = idleActions_.find(a);
      const std::string key = actionKey(a);
      const Control* c = key.empty() ? nullptr : &s.controls().get(key);
      const bool want = c ? c->enabled && (c->action.empty() || s.hasAction(c->action))
                          : (it == idleActions_.end() || it->second);
      if (a->isEnabled() != want && path.rfind("shortcut", 0) != 0) {
        return Failure{index, "a menu entry is not enabled as its control",
                       path + " \"" + a->text().toStdString() + "\""};
      }
      if (path.rfind("shortcut", 0) == 0 && it != idleActions_.end() &&
          a->isEnabled() != it->second) {
        return Failure{index, "a shortcut is not as when idle", a->text().toStdString()};
      }
    }
    if (g_.desktop->stopButton()->isVisible() || g_.desktop->busyIndicator()->isVisible()) {
      return Failure{index, "the busy indicator shows after a command", ""};
    }
    if (QApplication::overrideCursor() != nullptr) {
      return Failure{index, "the busy cursor stayed after a command", ""};
    }
    // Every widget shows what its control holds.
    for (const auto& [w, key] : keys_) {
      const Control& c = s.controls().get(key);
      const bool ownEnabled = !w->testAttribute(Qt::WA_ForceDisabled);
      switch (c.kind) {
        case ControlKind::Edit:
        case ControlKind::Check:
        case ControlKind::Radio:
        case ControlKind::Button:
        case ControlKind::Combo:
        case ControlKind::List:
          if (ownEnabled != c.enabled) {
            return Failure{index, "a widget is not enabled as its control",
                           key + (c.enabled ? " enabled" : " disabled") + " in the store"};
          }
          break;
        default:
          break;
      }
      if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        if (e->text().toStdString() != c.text) {
          return Failure{index, "an edit shows another text than its control", key};
        }
        // The user's own text, typed here or into a field that mirrors this one.
        const bool own = std::any_of(typed_.begin(), typed_.end(),
                                     [&](const auto& t) { return t.second == c.text; });
        const char* kind = "an edit shows a number that is not finite";
        if (!own && !walk::holdsName(key) && walk::nonFiniteText(c.text) &&
            !walk::ignored(kind, key)) {
          return Failure{index, kind, key + " = " + c.text};
        }
      }
    }
    for (const auto& [key, allowed] : changedSeries_) {
      if (allowed) continue;
      for (const ChartPoint& p : s.charts().series(key).points) {
        const char* kind = "a series holds a value that is not finite";
        if ((!std::isfinite(p.x) || !std::isfinite(p.y)) && !walk::ignored(kind, key)) {
          return Failure{index, kind, key};
        }
      }
    }
    changedSeries_.clear();
    if (auto p = walk::compositionProblem(s)) return Failure{index, p->kind, p->detail};
    return std::nullopt;
  }

  std::string actionKey(const QAction* a) {
    if (actionKeys_.empty()) {
      for (const auto& [key, c] : g_.session.controls().all()) {
        if (c.kind != ControlKind::MenuItem) continue;
        if (QAction* m = g_.desktop->menuItem(key)) actionKeys_[m] = key;
      }
    }
    auto it = actionKeys_.find(a);
    return it == actionKeys_.end() ? std::string() : it->second;
  }

  Gui g_;
  fs::path fixtures_;
  double limit_;
  fs::path previous_;
  QTimer watchdog_;
  std::optional<walk::StepClock> clock_;
  bool inStep_ = false;
  std::optional<Failure> watchFailure_;
  int stopAt_ = 0;
  std::string stopHow_;
  int intrudeAt_ = 0;
  int stopsPressed_ = 0;
  double seconds_ = 0.0;
  int chartObserver_ = 0;
  bool overflowAllowed_ = false;
  std::map<std::string, bool> changedSeries_;
  std::map<const QLineEdit*, std::string> typed_;
  std::map<std::string, bool> idleWindows_;
  std::map<const QAction*, bool> idleActions_;
  std::map<const QAction*, std::string> actionKeys_;
  std::map<const QWidget*, std::string> keys_;
};

// ---- The walk, shrinking and reporting ---------------------------------------------------------

// The fixtures a dialog may be answered with, copied so that nothing the walk does can change
// the repository's files.
// Their names, in the order the draw picks them from.
std::vector<std::string> copyFixtures(const fs::path& folder) {
  std::vector<std::string> names;
  fs::create_directories(folder);
  int n = 0;
  for (const std::string& f : walk::fixtureFiles()) {
    const std::string name = std::to_string(n++) + "-" + fs::path(f).filename().string();
    fs::copy_file(f, folder / name, fs::copy_options::overwrite_existing);
    names.push_back(name);
  }
  return names;
}

struct Outcome {
  int stepsRun = 0;
  double seconds = 0.0;
  int stops = 0;
  std::optional<Failure> failure;
  std::vector<Step> steps;  // the shortest failing run found
  int shrinkRuns = 0;
};

// Runs steps on a fresh desktop; the first failure. Steps that find nothing to act on are
// dropped from the list.
std::optional<Failure> replay(std::vector<Step>* steps, const fs::path& fixtures, double limit) {
  Runner runner(fixtures, limit);
  std::vector<Step> kept;
  std::optional<Failure> failure;
  for (const Step& s : *steps) {
    auto f = runner.step(s, kept.size());
    if (f && f->kind == "skip") continue;
    kept.push_back(s);
    if (f) {
      failure = f;
      break;
    }
  }
  *steps = std::move(kept);
  return failure;
}

std::vector<Step> shrink(std::vector<Step> steps, const Failure& failure, const fs::path& fixtures,
                         double limit, double budget, int* runs) {
  return tarvex::walk::shrinkSteps(std::move(steps), budget, [&](std::vector<Step>& candidate) {
    ++*runs;
    const auto f = replay(&candidate, fixtures, limit);
    return f && f->kind == failure.kind;
  });
}

Outcome walkGui(std::uint64_t seed, int steps, const fs::path& fixtures,
                const std::vector<std::string>& names, std::ostream* journal) {
  Outcome o;
  std::vector<Step> done;
  {
    Runner runner(fixtures, walk::kStepLimitSeconds);
    Drawer drawer(seed, names);
    for (int i = 0; i < steps && !o.failure; ++i) {
      Step s = drawer.next(runner.gui());
      if (journal) {
        for (const std::string& l : s.lines)
          *journal << l << '\n';
        *journal << std::flush;
      }
      auto f = runner.step(s, done.size());
      if (f && f->kind == "skip") continue;  // drawn from the screen, so never expected
      done.push_back(s);
      ++o.stepsRun;
      o.failure = f;
    }
    o.seconds = runner.seconds();
    o.stops = runner.stopsPressed();
  }
  if (!o.failure) return o;
  o.steps = done;
  const double budget = walk::environmentNumber("TARVEX_WALK_SHRINK_SECONDS").value_or(120);
  o.steps = shrink(done, *o.failure, fixtures, walk::kStepLimitSeconds, static_cast<double>(budget),
                   &o.shrinkRuns);
  if (auto f = replay(&o.steps, fixtures, walk::kStepLimitSeconds)) o.failure = f;
  return o;
}

std::string stepsText(const std::vector<Step>& steps) {
  std::ostringstream text;
  for (const Step& s : steps) {
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
      text << s.lines[i];
      if (i + 1 == s.lines.size() && !s.label.empty()) text << "    # " << s.label;
      text << '\n';
    }
  }
  return text.str();
}

std::vector<Step> readSteps(std::istream& in) {
  std::vector<Step> steps;
  Step current;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t comment = line.find("    # ");
    if (comment != std::string::npos) line.erase(comment);
    current.lines.push_back(line);
    const std::string cmd = line.substr(0, line.find(' '));
    if (cmd != "answer" && cmd != "stop" && cmd != "intrude") {
      steps.push_back(current);
      current = {};
    }
  }
  return steps;
}

}  // namespace

class WalkGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void fixedSeed();
  void changingSeed();
  void replayFile();

 private:
  void walkAndReport(std::uint64_t seed, int steps);
  tarvex::testing::TempDir dir_{"walk-gui"};
  fs::path fixtures_;
  std::vector<std::string> names_;
};

namespace {
QtMessageHandler previousHandler = nullptr;
// The offscreen platform says so for every window it shows; nothing the walk checks.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QStringLiteral("This plugin does not support"))) {
    return;
  }
  if (previousHandler != nullptr) previousHandler(type, context, text);
}
}  // namespace

void WalkGuiTest::initTestCase() {
  previousHandler = qInstallMessageHandler(quietHandler);
  fixtures_ = dir_.path() / "fixtures";
  names_ = copyFixtures(fixtures_);
}

void WalkGuiTest::walkAndReport(std::uint64_t seed, int steps) {
  const fs::path journalPath = dir_.path() / ("journal-" + std::to_string(seed) + ".txt");
  std::ofstream journal(journalPath);
  std::cout << "walk through the windows: seed " << seed << ", " << steps
            << " steps (TARVEX_WALK_SEED=" << seed
            << " replays it); steps as they run: " << journalPath.string() << std::endl;
  const Outcome o = walkGui(seed, steps, fixtures_, names_, &journal);
  std::cout << "walk through the windows: " << o.stepsRun << " steps in " << o.seconds
            << " s of steps (" << (o.seconds > 0 ? o.stepsRun / o.seconds : 0.0)
            << " steps/s), Stop pressed during " << o.stops << " commands" << std::endl;
  if (!o.failure) return;
  const fs::path kept =
      fs::temp_directory_path() / ("tarvex-walk-gui-" + std::to_string(seed) + ".txt");
  std::ostringstream text;
  text << "# Walk through the windows of seed " << seed << ": after the last step, "
       << o.failure->kind << " (" << o.failure->detail << ").\n# Shrunk from " << o.stepsRun
       << " steps to " << o.steps.size() << " in " << o.shrinkRuns
       << " runs. Replay it: TARVEX_WALK_GUI_REPLAY=" << kept.string()
       << " QT_QPA_PLATFORM=offscreen ui_walk_gui_test replayFile\n"
       << stepsText(o.steps);
  std::ofstream(kept) << text.str();
  QFAIL(qPrintable(QString::fromStdString("walk of seed " + std::to_string(seed) +
                                          " failed: " + o.failure->kind + " (" + o.failure->detail +
                                          ")\n" + text.str())));
}

// Eighty steps a seed keep the suite's run of each build well under a minute, sanitizers included.
constexpr int kShortWalk = 80;
// The walk of a changing seed: longer where the steps run fast (about 200 steps a second in an
// optimised build without the sanitizers).
#if defined(NDEBUG) && !defined(TARVEX_SANITIZED)
constexpr int kChangingWalk = 2000;
#else
constexpr int kChangingWalk = kShortWalk;
#endif

void WalkGuiTest::fixedSeed() {
  walkAndReport(20261210, kShortWalk);
}

void WalkGuiTest::changingSeed() {
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  const std::uint64_t seed =
      static_cast<std::uint64_t>(tarvex::walk::environmentNumber("TARVEX_WALK_SEED")
                                     .value_or(static_cast<long long>(now % 1000000007)));
  const int steps = static_cast<int>(
      tarvex::walk::environmentNumber("TARVEX_WALK_STEPS").value_or(kChangingWalk));
  walkAndReport(seed, steps);
}

// Runs the steps of a file written by a failed walk (TARVEX_WALK_GUI_REPLAY=FILE).
void WalkGuiTest::replayFile() {
  const char* file = std::getenv("TARVEX_WALK_GUI_REPLAY");
  if (!file || !*file) QSKIP("TARVEX_WALK_GUI_REPLAY names no file");
  std::ifstream in(file);
  QVERIFY2(in, file);
  std::vector<Step> steps = readSteps(in);
  Runner runner(fixtures_, tarvex::walk::kStepLimitSeconds);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const auto f = runner.step(steps[i], i);
    if (f && f->kind == "skip") {
      std::cout << "step " << i + 1 << " found nothing to act on: " << f->detail << std::endl;
      continue;
    }
    if (f) {
      QFAIL(qPrintable(QString::fromStdString("after step " + std::to_string(i + 1) + ": " +
                                              f->kind + " (" + f->detail + ")")));
    }
  }
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  WalkGuiTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "walk_gui_test.moc"
