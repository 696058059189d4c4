// The uniform and layered sample builders.
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

}  // namespace tarvex::ui
