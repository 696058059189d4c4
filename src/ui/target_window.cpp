// The "Target" window: the layered target of resonant NRA (form TFTarget).
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>
#include <string>
#include <utility>

#include "state/session.h"

#include "app/target_command.h"
#include "ui/desktop.h"
#include "ui/desktop_widgets.h"

namespace tarvex::ui {
namespace {

// Shows the result text of the store's memo control while the window lives.
class MemoMirror : public QObject {
 public:
  MemoMirror(Session& s, QPlainTextEdit* memo, std::string key)
      : QObject(memo), s_(s), memo_(memo), key_(std::move(key)) {
    memo_->setPlainText(QString::fromStdString(s_.controls().text(key_)));
    id_ = s_.controls().observe([this](const std::string& changed) {
      if (changed != key_) return;
      const QString text = QString::fromStdString(s_.controls().text(key_));
      if (memo_->toPlainText() != text) memo_->setPlainText(text);
    });
  }
  ~MemoMirror() override { s_.controls().unobserve(id_); }
  MemoMirror(const MemoMirror&) = delete;
  MemoMirror& operator=(const MemoMirror&) = delete;

 private:
  Session& s_;
  QPlainTextEdit* memo_;
  std::string key_;
  int id_ = 0;
};

}  // namespace

void Desktop::buildTarget() {
  QWidget* w = newWindow("TFTarget");
  Form& f = makeForm("TFTarget", w);
  auto* layout = new QVBoxLayout(w);
  layout->addWidget(f.widget("CheckLayered"));

  // The layer table: the first row's captions head the columns.
  auto* layers = tightGrid();
  layers->addWidget(f.label("EditLayers"), 0, 0, 1, 2);
  layers->addWidget(f.edit("EditLayers"), 0, 2);
  f.edit("EditLayers")->setMaximumWidth(50);
  const char* columns[] = {"Thick", "Formula", "Density", "Fraction", "S", "W"};
  for (int c = 0; c < 6; ++c) {
    QLabel* head = f.label(std::string("Edit") + columns[c] + "1");
    head->setWordWrap(true);
    layers->addWidget(head, 1, c + 1);
  }
  for (int k = 1; k <= kMaxTargetLayers; ++k) {
    const std::string n = std::to_string(k);
    auto* number = new QLabel(QString::number(k), w);
    layers->addWidget(number, k + 1, 0);
    for (int c = 0; c < 6; ++c) {
      const std::string name = std::string("Edit") + columns[c] + n;
      if (k > 1) f.label(name)->hide();
      layers->addWidget(f.edit(name), k + 1, c + 1);
    }
  }
  layout->addWidget(boxed(f.group("GroupLayers"), layers));

  auto* beam = tightGrid();
  beam->addWidget(f.widget("RadioProtons"), 0, 0);
  beam->addWidget(f.widget("RadioHelium"), 0, 1);
  beam->addWidget(f.widget("RadioBohr"), 1, 0);
  beam->addWidget(f.widget("RadioChu"), 1, 1);
  beam->addWidget(f.widget("CheckSurface"), 2, 0, 1, 2);
  f.labelledRows(beam, {"EditSurfaceLoss", "EditStep", "EditBelow"}, 3);
  layout->addWidget(boxed(f.group("GroupBeam"), beam));

  auto* reaction = tightGrid();
  reaction->addWidget(f.widget("RadioLorentzian"), 0, 0, 1, 3);
  reaction->addWidget(f.widget("RadioBreitWigner"), 1, 0);
  reaction->addWidget(f.widget("RadioR33"), 2, 0);
  f.labelledRows(reaction, {"EditPeak"}, 3);
  reaction->addWidget(f.label("EditR33File"), 4, 0);
  reaction->addWidget(f.edit("EditR33File"), 4, 1);
  reaction->addWidget(f.widget("ButtonLoadR33"), 4, 2);
  f.labelledRows(reaction, {"EditNuclideMass", "EditTemperature", "EditDebye"}, 5);
  reaction->addWidget(f.widget("CheckAbsolute"), 8, 0, 1, 3);
  layout->addWidget(boxed(f.group("GroupReaction"), reaction));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(f.widget("ButtonCalculate"));
  layout->addLayout(buttons);
  f.memo("MemoResult")->setReadOnly(true);
  f.memo("MemoResult")->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  new MemoMirror(s_, f.memo("MemoResult"), "TFTarget.MemoResult");
  f.memo("MemoResult")->setMinimumHeight(90);
  layout->addWidget(f.memo("MemoResult"), 1);
  w->move(660, 120);
  w->setMinimumWidth(720);
  w->resize(760, 720);
}

}  // namespace tarvex::ui
