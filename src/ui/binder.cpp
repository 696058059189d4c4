#include "ui/binder.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

namespace tarvex::ui {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// Delphi-style '&' accelerators are Qt's too; a lone trailing blank is kept as it is.
QString captionText(const std::string& s) {
  return q(s);
}

}  // namespace

Binder::Binder(Session& session) : s_(session) {
  observer_ = s_.controls().observe([this](const std::string& key) { changed(key); });
  appendObserver_ =
      s_.controls().observeAppend([this](const std::string& key, const std::string& appended) {
        auto it = appending_.find(key);
        if (it == appending_.end()) return;
        it->second.pending += appended;
        if (!flushQueued_) {
          flushQueued_ = true;
          std::weak_ptr<bool> alive = alive_;
          QTimer::singleShot(0, [this, alive] {
            if (alive.lock()) flushAppends();
          });
        }
      });
}

Binder::~Binder() {
  s_.controls().unobserve(observer_);
  s_.controls().unobserveAppend(appendObserver_);
}

void Binder::add(const std::string& key, std::function<void()> refresh) {
  refresh();
  views_.emplace(key, std::move(refresh));
}

void Binder::changed(const std::string& key) {
  auto [from, to] = views_.equal_range(key);
  for (auto it = from; it != to; ++it)
    it->second();
}

void Binder::onChange(const std::string& key, std::function<void()> fn) {
  views_.emplace(key, std::move(fn));
}

void Binder::edit(const std::string& key, QLineEdit* w) {
  QPointer<QLineEdit> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    const QString text = q(c.text);
    if (p->text() != text) {
      p->setText(text);
      // A number written by a command is read from its first digit: a narrow field would
      // otherwise scroll to the cursor at the end and show only the last digits. The text the
      // user is typing keeps its cursor.
      if (!p->hasFocus()) p->setCursorPosition(0);
    }
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
    p->setReadOnly(c.readOnly);
  });
  // Every keystroke reaches the store, so a command started any way sees the text on screen.
  QObject::connect(w, &QLineEdit::textEdited, w, [this, key](const QString& text) {
    s_.controls().setText(key, text.toStdString());
  });
}

void Binder::caption(const std::string& key, QLabel* w) {
  QPointer<QLabel> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    p->setText(captionText(c.caption));
    p->setVisible(c.visible);
    p->setEnabled(c.enabled);
  });
}

void Binder::check(const std::string& key, QAbstractButton* w) {
  QPointer<QAbstractButton> p(w);
  w->setCheckable(true);
  if (auto* radio = qobject_cast<QRadioButton*>(w)) radio->setAutoExclusive(false);
  const auto refresh = [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    const QSignalBlocker block(p);
    p->setChecked(c.checked);
    p->setText(captionText(c.caption));
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
  };
  add(key, refresh);
  QObject::connect(w, &QAbstractButton::clicked, w, [this, key, refresh] {
    s_.click(key);
    refresh();  // the store decides: a refused click leaves the old state on screen
  });
}

void Binder::button(const std::string& key, QAbstractButton* w) {
  QPointer<QAbstractButton> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    p->setText(captionText(c.caption));
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
  });
  QObject::connect(w, &QAbstractButton::clicked, w, [this, key] { s_.click(key); });
}

void Binder::menuItem(const std::string& key, QAction* a) {
  QPointer<QAction> p(a);
  const Control& spec = s_.controls().get(key);
  if (spec.checked) a->setCheckable(true);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    p->setText(captionText(c.caption));
    p->setEnabled(c.enabled && (c.action.empty() || s_.hasAction(c.action)));
    p->setVisible(c.visible);
    if (p->isCheckable()) p->setChecked(c.checked);
  });
  QObject::connect(a, &QAction::triggered, a, [this, key, p] {
    s_.click(key);
    if (p && p->isCheckable()) p->setChecked(s_.controls().checked(key));
  });
}

void Binder::panel(const std::string& key, QLabel* w) {
  QPointer<QLabel> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    p->setText(q(c.text));
    p->setVisible(c.visible);
  });
}

void Binder::combo(const std::string& key, QComboBox* w) {
  QPointer<QComboBox> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    const QSignalBlocker block(p);
    QStringList items;
    for (const std::string& i : c.items)
      items << q(i);
    QStringList shown;
    for (int i = 0; i < p->count(); ++i)
      shown << p->itemText(i);
    if (items != shown) {
      p->clear();
      p->addItems(items);
    }
    p->setCurrentIndex(c.itemIndex);
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
  });
  QObject::connect(w, &QComboBox::activated, w, [this, key](int index) {
    s_.select(key, index);
    changed(key);
  });
}

void Binder::list(const std::string& key, QListWidget* w) {
  QPointer<QListWidget> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    const QSignalBlocker block(p);
    QStringList items;
    for (const std::string& i : c.items)
      items << q(i);
    QStringList shown;
    for (int i = 0; i < p->count(); ++i)
      shown << p->item(i)->text();
    if (items != shown) {
      p->clear();
      p->addItems(items);
    }
    p->setCurrentRow(c.itemIndex);
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
  });
  QObject::connect(w, &QListWidget::itemClicked, w, [this, key, p](QListWidgetItem* item) {
    if (!p) return;
    s_.select(key, p->row(item));
    changed(key);
  });
}

void Binder::radioGroup(const std::string& key, QGroupBox* box, QButtonGroup* group) {
  QPointer<QGroupBox> pb(box);
  QPointer<QButtonGroup> pg(group);
  add(key, [this, key, pb, pg] {
    if (!pb || !pg) return;
    const Control& c = s_.controls().get(key);
    pb->setTitle(captionText(c.caption));
    pb->setEnabled(c.enabled);
    for (QAbstractButton* b : pg->buttons()) {
      const QSignalBlocker block(b);
      b->setChecked(pg->id(b) == c.itemIndex);
    }
  });
  QObject::connect(group, &QButtonGroup::idClicked, group, [this, key](int id) {
    s_.select(key, id);
    changed(key);
  });
}

void Binder::frame(const std::string& key, QWidget* w) {
  QPointer<QWidget> p(w);
  add(key, [this, key, p] {
    if (!p) return;
    const Control& c = s_.controls().get(key);
    p->setEnabled(c.enabled);
    p->setVisible(c.visible);
    if (auto* box = qobject_cast<QGroupBox*>(p.data()); box && !c.caption.empty()) {
      box->setTitle(captionText(c.caption));
    }
  });
}

void Binder::formCaption(const std::string& key, QWidget* w) {
  QPointer<QWidget> p(w);
  add(key, [this, key, p] {
    if (p) p->setWindowTitle(captionText(s_.controls().get(key).caption));
  });
}

void Binder::appendingText(const std::string& key, QPlainTextEdit* w) {
  appending_[key] = Appending{w, {}};
  w->setPlainText(q(s_.controls().text(key)));
}

void Binder::flushAppends() {
  flushQueued_ = false;
  for (auto& [key, a] : appending_) {
    if (a.pending.empty() || !a.widget) continue;
    QPlainTextEdit* w = a.widget;
    QScrollBar* bar = w->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(w->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(q(a.pending));
    a.pending.clear();
    if (atEnd) bar->setValue(bar->maximum());
  }
}

}  // namespace tarvex::ui
