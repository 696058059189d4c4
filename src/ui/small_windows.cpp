// The log, About, background, external cross-section, fit and stopping windows.
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
#include "ui/stopping_window.h"

namespace tarvex::ui {

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

void Desktop::buildStopping() {
  QWidget* w = newWindow("TFStopping");
  Form& f = makeForm("TFStopping", w);
  buildStoppingWindow(s_, f, w);
}

// ---- Busy, closing, geometry ------------------------------------------------------------------

}  // namespace tarvex::ui
