// The Options window: the beam, mode, model and the resonant NRA and ion-scattering parameter
// frames.
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

// The small button beside a frame's stopping field that opens the stopping window.
void stoppingButton(const Form& f, QGridLayout* loss) {
  QAbstractButton* b = f.button("ButtonStopping");
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 12);
  b->setToolTip(QStringLiteral("Stopping and straggling from the sample (Stopping window)"));
  loss->addWidget(b, 0, 2);
}

}  // namespace

void Desktop::buildOptions() {
  QWidget* w = newWindow("TFOptions");
  Form& f = makeForm("TFOptions", w);
  narrowEdits(f);
  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(4, 4, 4, 4);
  outer->setSpacing(2);

  // The top row stays visible when the window is collapsed ("Hide").
  auto* topPanel = new QWidget(w);
  auto* topRow = new QHBoxLayout(topPanel);
  topRow->setContentsMargins(0, 0, 0, 0);
  topRow->setSpacing(4);
  for (const char* e : {"EditBack", "EditShift", "EditMult"}) {
    topRow->addWidget(f.label(e));
    topRow->addWidget(f.edit(e));
    f.edit(e)->setMinimumWidth(40);
    f.edit(e)->setMaximumWidth(50);
  }
  f.edit("EditBack")->setToolTip(QString::fromUtf8(kOptionsBackgroundTip));
  topRow->addStretch(1);
  for (const char* b : {"Button1", "Button2", "ButtonHide", "Button3"})
    topRow->addWidget(f.widget(b));
  outer->addWidget(topPanel);

  optionsLower_ = new QWidget(w);
  auto* lower = new QVBoxLayout(optionsLower_);
  lower->setContentsMargins(0, 0, 0, 0);
  lower->setSpacing(2);
  auto* choices = new QHBoxLayout;
  auto* mode = new QHBoxLayout;
  mode->addWidget(f.widget("RadioNRP"));
  mode->addWidget(f.widget("RadioMEIS"));
  choices->addWidget(boxed(f.group("GroupMode"), mode));
  auto* model = new QHBoxLayout;
  for (const char* r : {"RadioNumeric", "RadioAnalitic", "RadioGauss", "RadioExternal"})
    model->addWidget(f.widget(r));
  choices->addWidget(boxed(f.group("GroupModel"), model));
  auto* checks = new QVBoxLayout;
  checks->addWidget(f.widget("CheckConv"));
  checks->addWidget(f.widget("CheckRememberSettings"));
  choices->addLayout(checks);
  lower->addLayout(choices);

  // Resonant NRA frame.
  auto* nraBox = new QGroupBox(optionsLower_);
  binder_->frame("TFNRP", nraBox);
  Form& n = makeForm("TFNRP", nraBox);
  narrowEdits(n);
  {
    auto* grid = new QGridLayout(nraBox);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(4);
    auto* col0 = new QVBoxLayout;
    auto* tops = tightGrid();
    n.labelledRows(tops, {"EditEnrg", "EditLor", "EditGauss"});
    col0->addLayout(tops);
    auto* loss = tightGrid();
    n.labelledRows(loss, {"Editdedx", "EditS"});
    stoppingButton(n, loss);
    col0->addWidget(boxed(n.group("GroupEnergyLoss"), loss));
    col0->addStretch(1);
    grid->addLayout(col0, 0, 0);
    auto* num = tightGrid();
    n.labelledRows(num, {"EditMaxE", "EditStep", "EditNc", "EditVecsize", "EditEmin", "EditEmax"});
    num->addWidget(n.widget("CheckAuto"), 6, 0, 1, 2);
    num->addWidget(n.widget("ButtonCalculate"), 7, 0, 1, 2);
    grid->addWidget(boxed(n.group("GroupNumeric"), num), 0, 1, Qt::AlignTop);
  }
  // Ion-scattering frame.
  auto* meisBox = new QGroupBox(optionsLower_);
  binder_->frame("TFMEIS", meisBox);
  Form& m = makeForm("TFMEIS", meisBox);
  narrowEdits(m);
  {
    auto* grid = new QGridLayout(meisBox);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(4);
    auto* col0 = new QVBoxLayout;
    auto* tops = tightGrid();
    m.labelledRows(tops, {"EditEnrg", "EditGauss", "EditPmass", "EditZp"});
    col0->addLayout(tops);
    auto* loss = tightGrid();
    m.labelledRows(loss, {"Editdedx", "EditS"});
    stoppingButton(m, loss);
    col0->addWidget(boxed(m.group("GroupEnergyLoss"), loss));
    auto* geometry = tightGrid();
    m.labelledRows(geometry, {"EditTIn", "EditTOut"});
    col0->addWidget(boxed(m.group("GroupGeometry"), geometry));
    col0->addStretch(1);
    grid->addLayout(col0, 0, 0);
    auto* num = tightGrid();
    m.labelledRows(num, {"EditNc", "EditVecsize", "EditStep"});
    num->addWidget(m.widget("CheckAuto"), 3, 0, 1, 2);
    m.labelledRows(num, {"EditEmin", "EditEmax", "EditDeltaE", "EditSimMin", "EditSimMax"}, 4);
    num->addWidget(m.widget("ButtonCalculate"), 9, 0, 1, 2);
    grid->addWidget(boxed(m.group("GroupNumeric"), num), 0, 1, Qt::AlignTop);
    auto* comp = tightGrid();
    comp->addWidget(m.label("ListElements"), 0, 0, 1, 2);
    comp->addWidget(m.widget("ListElements"), 1, 0, 1, 2);
    m.list("ListElements")->setMaximumHeight(70);
    m.labelledRows(comp, {"EditElname", "EditMass", "EditZ", "EditSCL"}, 2);
    comp->addWidget(m.widget("CheckSCCorr"), 6, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (const char* b : {"ButtonAdd", "ButtonDel", "Button1"}) {
      buttons->addWidget(m.widget(b));
      m.widget(b)->setMinimumWidth(20);
    }
    comp->addLayout(buttons, 7, 0, 1, 2);
    grid->addWidget(boxed(m.group("GroupComposition"), comp), 0, 2, Qt::AlignTop);
  }
  // The profile tools of both frames, in a column of their own.
  for (Form* p : {&n, &m}) {
    auto* profile = tightGrid();
    p->labelledRows(profile, {"EditMaxDepth", "EditCont", "EditCmax"});
    int row = 3;
    if (p->has("EditProfstep")) p->labelledRows(profile, {"EditProfstep"}, row++);
    auto* erfc = tightGrid();
    p->labelledRows(erfc, {"Editqtd", "EditSigma"});
    erfc->addWidget(p->widget("ButtonAdderfc"), 2, 0);
    erfc->addWidget(p->widget("ButtonTryadderfc"), 2, 1);
    erfc->addWidget(p->widget("ButtonSubstracterfc"), 3, 0);
    erfc->addWidget(p->widget("ButtonTrysubtract"), 3, 1);
    profile->addWidget(boxed(p->group("GroupErfc"), erfc), row++, 0, 1, 2);
    auto* line = tightGrid();
    p->labelledRows(line, {"Editx1", "Editc1"}, 0, 0);
    p->labelledRows(line, {"Editx2", "Editc2"}, 0, 2);
    line->addWidget(p->widget("ButtonDrawline"), 2, 0, 1, 4);
    profile->addWidget(boxed(p->group("GroupLine"), line), row++, 0, 1, 2);
    profile->addWidget(p->widget("Button3"), row, 0, 1, 2);
    auto* grid = qobject_cast<QGridLayout*>(p == &n ? nraBox->layout() : meisBox->layout());
    grid->addWidget(boxed(p->group("GroupProfile"), profile), 0, p == &n ? 2 : 3, Qt::AlignTop);
    for (const char* e : {"Editx1", "Editx2", "Editc1", "Editc2"}) {
      p->edit(e)->setMinimumWidth(40);
      p->edit(e)->setMaximumWidth(45);
    }
  }
  // Both frames in one place; the mode display shows the one of the current mode.
  auto* frames = new QGridLayout;
  frames->addWidget(nraBox, 0, 0);
  frames->addWidget(meisBox, 0, 0);
  lower->addLayout(frames, 1);
  outer->addWidget(optionsLower_, 1);

  for (QWidget* source :
       {topPanel, static_cast<QWidget*>(nraBox), static_cast<QWidget*>(meisBox)}) {
    source->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(source, &QWidget::customContextMenuRequested, source,
                     [this, source](const QPoint& at) { popup_->popup(source->mapToGlobal(at)); });
  }
  binder_->onChange("TFOptions.ButtonHide", [this] { applyOptionsHeight(); });

  // Creating the Options window writes the design defaults and applies the last settings.
  if (options_.runStartUp) s_.run("StartUp");
  w->move(15, 500);
  w->resize(604, 416);
}

void Desktop::applyOptionsHeight() {
  QWidget* w = window("TFOptions");
  const int h = s_.optionsClientHeight();
  // Collapsed, only the top row of edits and buttons shows.
  optionsLower_->setVisible(h != 32);
  w->setMinimumHeight(0);
  w->resize(w->width(), h);
}

// ---- Log, About, Report, Background, builders, external cross section -------------------------

}  // namespace tarvex::ui
