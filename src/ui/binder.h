// Binds Qt widgets to the controls of a session, both ways: a change in the control store shows
// at once in its widget, and a user's edit or click goes into the store (or runs the control's
// command) before anything reads it.
#pragma once

#include <QPointer>
#include <functional>
#include <map>
#include <string>

#include "state/session.h"

class QAbstractButton;
class QAction;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QWidget;

namespace tarvex::ui {

class Binder {
 public:
  explicit Binder(Session& session);
  ~Binder();
  Binder(const Binder&) = delete;
  Binder& operator=(const Binder&) = delete;

  Session& session() { return s_; }

  // An edit: text (committed to the store on every keystroke), enabled, visible, read-only.
  void edit(const std::string& key, QLineEdit* w);
  // The label of a control (its caption), following its visibility.
  void caption(const std::string& key, QLabel* w);
  // A check box or radio button: checked, enabled, visible, caption; a click is a click of
  // the control.
  void check(const std::string& key, QAbstractButton* w);
  // A push button: caption, enabled, visible; a click runs the control's command.
  void button(const std::string& key, QAbstractButton* w);
  // A menu item: caption, enabled (and whether its action exists), checked; triggering it is
  // a click of the control.
  void menuItem(const std::string& key, QAction* a);
  // A status panel or label showing a control's text.
  void panel(const std::string& key, QLabel* w);
  void combo(const std::string& key, QComboBox* w);
  void list(const std::string& key, QListWidget* w);
  // A radio group control with items (one radio button per item, ids = item index).
  void radioGroup(const std::string& key, QGroupBox* box, QButtonGroup* group);
  // A frame: enabled and visible (and the title of a group box).
  void frame(const std::string& key, QWidget* w);
  // A window: caption; visible is handled by the owner through onChange.
  void formCaption(const std::string& key, QWidget* w);
  // A text that only grows (the log): appended pieces are inserted in bulk at the end.
  void appendingText(const std::string& key, QPlainTextEdit* w);
  // Runs fn after every change of key (after its widgets are refreshed).
  void onChange(const std::string& key, std::function<void()> fn);

  // Inserts the appended text still waiting (normally done by a zero timer).
  void flushAppends();

 private:
  void add(const std::string& key, std::function<void()> refresh);
  void changed(const std::string& key);

  Session& s_;
  int observer_ = 0;
  int appendObserver_ = 0;
  std::multimap<std::string, std::function<void()>> views_;
  struct Appending {
    QPointer<QPlainTextEdit> widget;
    std::string pending;
  };
  std::map<std::string, Appending> appending_;
  bool flushQueued_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tarvex::ui
