// The widgets of one form (or frame) of the control catalogue, created from its rows and bound
// to the store; the windows only lay them out.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <map>
#include <string>

#include "ui/binder.h"

class QGridLayout;

namespace tarvex::ui {

class Form {
 public:
  // Creates and binds a widget for every control "prefix.Name" of the catalogue (menu items
  // excepted); they are parented to parent until a layout takes them.
  Form(Binder& binder, std::string prefix, QWidget* parent);

  const std::string& prefix() const { return prefix_; }
  std::string key(const std::string& name) const { return prefix_ + "." + name; }
  bool has(const std::string& name) const { return widgets_.count(name) != 0; }
  QWidget* widget(const std::string& name) const;
  QLineEdit* edit(const std::string& name) const;
  QAbstractButton* button(const std::string& name) const;
  QLabel* label(const std::string& name) const;  // the caption of an edit, list or combo
  QGroupBox* group(const std::string& name) const;
  QListWidget* list(const std::string& name) const;
  QComboBox* combo(const std::string& name) const;
  QPlainTextEdit* memo(const std::string& name) const;
  QLabel* panel(const std::string& name) const;
  // Every widget made, by control name (catalogue order is kept by the caller).
  const std::map<std::string, QWidget*>& widgets() const { return widgets_; }

  // Adds "label edit" rows to a grid, from row `row` on, in columns col and col + 1.
  void labelledRows(QGridLayout* grid, std::initializer_list<const char*> names, int row = 0,
                    int col = 0) const;

 private:
  std::string prefix_;
  std::map<std::string, QWidget*> widgets_;
  std::map<std::string, QLabel*> labels_;
};

}  // namespace tarvex::ui
