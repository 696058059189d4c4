// The small pieces the desktop's windows are built with: layouts, the main window's frame, the
// close handling of the other windows, and menu bars that stay wide enough for their menus.
#pragma once

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <functional>
#include <string>

#include "state/session.h"
#include "ui/form.h"

namespace tarvex::ui {

// Widens a window with a menu bar to what the bar asks for, so that no menu hides behind the
// bar's extension button; returns the width.
inline int widenToMenuBar(QMainWindow* w) {
  const int wanted = w->menuBar()->sizeHint().width();
  if (wanted > w->width()) w->resize(wanted, w->height());
  return w->width();
}

// Widens now and again whenever a menu's caption changes ("Enable Zoom" becomes the longer
// "Disable Zoom").
inline void keepWideForMenuBar(QMainWindow* w) {
  widenToMenuBar(w);
  for (QAction* a : w->menuBar()->actions())
    QObject::connect(a, &QAction::changed, w, [w] { widenToMenuBar(w); });
}

inline QString q(const std::string& s) {
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

inline QGroupBox* boxed(QGroupBox* g, QLayout* layout) {
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  g->setLayout(layout);
  return g;
}

inline QGridLayout* tightGrid() {
  auto* grid = new QGridLayout;
  grid->setContentsMargins(4, 2, 4, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  return grid;
}

inline void narrowEdits(const Form& f) {
  for (const auto& [name, w] : f.widgets()) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      e->setMinimumWidth(56);
      e->setMaximumWidth(70);
    }
  }
}

}  // namespace tarvex::ui
