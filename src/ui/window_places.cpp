// Where the windows go: the places kept from the last run, the first start side by side, later
// windows beside their opener.
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

}  // namespace tarvex::ui
