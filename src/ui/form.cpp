#include "ui/form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QVBoxLayout>
#include <stdexcept>

namespace tarvex::ui {

Form::Form(Binder& binder, std::string prefix, QWidget* parent) : prefix_(std::move(prefix)) {
  const std::string start = prefix_ + ".";
  for (const ControlSpec& spec : controlCatalogue()) {
    const std::string key = spec.key;
    if (key.compare(0, start.size(), start) != 0) continue;
    const std::string name = key.substr(start.size());
    QWidget* w = nullptr;
    switch (spec.kind) {
      case ControlKind::Edit: {
        auto* e = new QLineEdit(parent);
        auto* l = new QLabel(parent);
        l->setBuddy(e);
        binder.edit(key, e);
        binder.caption(key, l);
        labels_[name] = l;
        w = e;
        break;
      }
      case ControlKind::Check: {
        auto* c = new QCheckBox(parent);
        binder.check(key, c);
        w = c;
        break;
      }
      case ControlKind::Radio: {
        auto* r = new QRadioButton(parent);
        binder.check(key, r);
        w = r;
        break;
      }
      case ControlKind::Button: {
        auto* b = new QPushButton(parent);
        b->setAutoDefault(false);
        binder.button(key, b);
        w = b;
        break;
      }
      case ControlKind::List: {
        auto* l = new QListWidget(parent);
        auto* c = new QLabel(parent);
        binder.list(key, l);
        binder.caption(key, c);
        labels_[name] = c;
        w = l;
        break;
      }
      case ControlKind::Combo: {
        auto* cb = new QComboBox(parent);
        auto* c = new QLabel(parent);
        binder.combo(key, cb);
        binder.caption(key, c);
        labels_[name] = c;
        w = cb;
        break;
      }
      case ControlKind::Panel: {
        auto* l = new QLabel(parent);
        binder.panel(key, l);
        w = l;
        break;
      }
      case ControlKind::Memo: {
        auto* m = new QPlainTextEdit(parent);
        m->setReadOnly(true);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        binder.appendingText(key, m);
        w = m;
        break;
      }
      case ControlKind::Frame: {
        auto* g = new QGroupBox(parent);
        binder.frame(key, g);
        w = g;
        break;
      }
      case ControlKind::RadioGroup: {
        auto* g = new QGroupBox(parent);
        auto* group = new QButtonGroup(g);
        auto* layout = new QVBoxLayout(g);
        const Control& c = binder.session().controls().get(key);
        for (std::size_t i = 0; i < c.items.size(); ++i) {
          auto* r = new QRadioButton(QString::fromStdString(c.items[i]), g);
          group->addButton(r, static_cast<int>(i));
          layout->addWidget(r);
        }
        binder.radioGroup(key, g, group);
        w = g;
        break;
      }
      case ControlKind::Form:
      case ControlKind::MenuItem:
        break;
    }
    if (w != nullptr) {
      w->setObjectName(QString::fromStdString(key));
      widgets_[name] = w;
    }
  }
}

QWidget* Form::widget(const std::string& name) const {
  auto it = widgets_.find(name);
  if (it == widgets_.end()) throw std::out_of_range("no widget " + key(name));
  return it->second;
}

QLineEdit* Form::edit(const std::string& name) const {
  return qobject_cast<QLineEdit*>(widget(name));
}
QAbstractButton* Form::button(const std::string& name) const {
  return qobject_cast<QAbstractButton*>(widget(name));
}
QGroupBox* Form::group(const std::string& name) const {
  return qobject_cast<QGroupBox*>(widget(name));
}
QListWidget* Form::list(const std::string& name) const {
  return qobject_cast<QListWidget*>(widget(name));
}
QComboBox* Form::combo(const std::string& name) const {
  return qobject_cast<QComboBox*>(widget(name));
}
QPlainTextEdit* Form::memo(const std::string& name) const {
  return qobject_cast<QPlainTextEdit*>(widget(name));
}
QLabel* Form::panel(const std::string& name) const {
  return qobject_cast<QLabel*>(widget(name));
}

QLabel* Form::label(const std::string& name) const {
  auto it = labels_.find(name);
  if (it == labels_.end()) throw std::out_of_range("no label " + key(name));
  return it->second;
}

void Form::labelledRows(QGridLayout* grid, std::initializer_list<const char*> names, int row,
                        int col) const {
  for (const char* n : names) {
    grid->addWidget(label(n), row, col);
    grid->addWidget(widget(n), row, col + 1);
    ++row;
  }
}

}  // namespace tarvex::ui
