#include "ui/stopping_window.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <string>

#include "ui/chart_view.h"

namespace tarvex::ui {
namespace {

constexpr const char* kChartName = "StoppingChart";
constexpr int kFieldWidth = 110;

QGridLayout* tight() {
  auto* g = new QGridLayout;
  g->setContentsMargins(6, 4, 6, 6);
  g->setHorizontalSpacing(6);
  g->setVerticalSpacing(3);
  return g;
}

// The result text follows its control whole (the form binds memos for appends only).
class ResultText : public QObject {
 public:
  ResultText(Session& s, QPlainTextEdit* memo) : QObject(memo), s_(s), memo_(memo) {
    observer_ = s_.controls().observe([this](const std::string& key) {
      if (key != kMemo) return;
      const QString text = QString::fromStdString(s_.controls().text(kMemo));
      if (memo_->toPlainText() != text) memo_->setPlainText(text);
    });
    memo_->setPlainText(QString::fromStdString(s_.controls().text(kMemo)));
  }
  ~ResultText() override { s_.controls().unobserve(observer_); }
  ResultText(const ResultText&) = delete;
  ResultText& operator=(const ResultText&) = delete;

 private:
  static constexpr const char* kMemo = "TFStopping.MemoResult";
  Session& s_;
  QPlainTextEdit* memo_;
  int observer_ = 0;
};

}  // namespace

void buildStoppingWindow(Session& session, Form& f, QWidget* w) {
  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(6);
  auto* split = new QHBoxLayout;
  split->setSpacing(8);
  outer->addLayout(split, 2);

  auto* left = new QWidget(w);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);

  // ---- The sample and the ion ----
  QGroupBox* sample = f.group("GroupSample");
  auto* sg = tight();
  sample->setLayout(sg);
  int row = 0;
  const auto input = [&](const char* name, QWidget* beside) {
    sg->addWidget(f.label(name), row, 0);
    QWidget* field = f.widget(name);
    field->setFixedWidth(kFieldWidth);
    sg->addWidget(field, row, 1);
    if (beside != nullptr) sg->addWidget(beside, row, 2);
    ++row;
  };
  input("ComboIon", f.panel("PanelIon"));
  input("EditFormula", nullptr);
  input("EditDensity", f.panel("PanelDensityUnit"));
  input("EditEnergy", nullptr);
  input("ComboStraggling", nullptr);
  f.combo("ComboStraggling")->setMinimumContentsLength(16);
  f.combo("ComboStraggling")->setFixedWidth(QWIDGETSIZE_MAX);
  f.combo("ComboStraggling")->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  sg->setColumnStretch(3, 1);
  f.edit("EditFormula")
      ->setToolTip(QStringLiteral("A chemical formula: HfO2, Ta2O5, Si0.4Ge0.6, Ca(OH)2"));
  f.edit("EditDensity")
      ->setToolTip(QStringLiteral("Mass density in g/cm³ (9.68), or atoms per cm³ (6.1e22, "
                                  "\"6.1e22 at/cm3\")"));
  f.widget("ComboIon")->setToolTip(QStringLiteral("H: protons; He: helium ions"));
  f.widget("ComboStraggling")
      ->setToolTip(QStringLiteral("Bohr's free-electron value, or with Chu's correction for bound "
                                  "electrons as fitted by Yang et al."));
  column->addWidget(sample);

  auto* commands = new QHBoxLayout;
  commands->addWidget(f.widget("ButtonCalculate"));
  commands->addWidget(f.widget("ButtonLoadTable"));
  commands->addStretch(1);
  f.button("ButtonCalculate")
      ->setToolTip(QStringLiteral("Stopping and straggling of the sample at the energy"));
  f.button("ButtonLoadTable")
      ->setToolTip(QStringLiteral("A stopping table of your own for an element or a compound: "
                                  "two columns (keV, eV/(1e15 atoms/cm²)) or a stopping "
                                  "program's table"));
  column->addLayout(commands);

  // ---- The values for the mode's fields ----
  QGroupBox* fields = f.group("GroupFields");
  auto* fg = tight();
  fields->setLayout(fg);
  QLabel* mode = f.panel("PanelMode");
  mode->setWordWrap(true);
  mode->setMinimumHeight(mode->fontMetrics().height() * 2 + 4);
  mode->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fg->addWidget(mode, 0, 0, 1, 3);
  int r = 1;
  for (const char* name : {"EditStopping", "EditStraggling"}) {
    fg->addWidget(f.label(name), r, 0);
    f.edit(name)->setFixedWidth(kFieldWidth);
    fg->addWidget(f.edit(name), r, 1);
    const std::string unit =
        std::string(name) == "EditStopping" ? "PanelStoppingUnit" : "PanelStragglingUnit";
    fg->addWidget(f.panel(unit), r, 2);
    ++r;
  }
  fg->setColumnStretch(2, 1);
  auto* apply = new QHBoxLayout;
  apply->addWidget(f.widget("ButtonApply"));
  apply->addWidget(f.widget("ButtonUndo"));
  apply->addStretch(1);
  f.button("ButtonApply")
      ->setToolTip(QStringLiteral("Write the two values into the current mode's fields"));
  f.button("ButtonUndo")
      ->setToolTip(QStringLiteral("Put back what the fields held before the last Apply"));
  fg->addLayout(apply, r, 0, 1, 3);
  column->addWidget(fields);

  QLabel* status = f.panel("StatusStopping");
  status->setWordWrap(true);
  status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  status->setMinimumHeight(status->fontMetrics().height() * 3 + 6);
  status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(status);
  column->addStretch(1);
  left->setFixedWidth(400);
  split->addWidget(left, 0);

  // ---- The compound's stopping against the energy ----
  auto* chart = new ChartView(session.charts(), "ChartStopping",
                              {{"ChartStopping.SeriesStopping", SeriesKind::Line},
                               {"ChartStopping.SeriesEnergy", SeriesKind::Dotted},
                               {"ChartStopping.SeriesPoints", SeriesKind::Points}},
                              w);
  chart->setObjectName(QString::fromLatin1(kChartName));
  chart->xAxis->setScaleType(QCPAxis::stLogarithmic);
  chart->xAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
  chart->xAxis->setNumberFormat(QStringLiteral("gb"));
  chart->xAxis->setLabel(QStringLiteral("Energy (keV)"));
  chart->yAxis->setLabel(QStringLiteral("Stopping (eV/Å)"));
  chart->xAxis->setRange(1.0, 1.0e4);
  chart->yAxis->setRange(0.0, 1.0);
  chart->setMinimumSize(380, 280);
  chart->zoomOut();
  split->addWidget(chart, 1);

  // ---- Each element's stopping and source, the compound's, the straggling ----
  QPlainTextEdit* memo = f.memo("MemoResult");
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The whole text of a two-element sample without scrolling.
  memo->setMinimumHeight(memo->fontMetrics().lineSpacing() * 15 + 12);
  new ResultText(session, memo);
  outer->addWidget(memo, 1);
  w->resize(980, 660);
}

ChartView* stoppingWindowChart(QWidget* w) {
  return w->findChild<ChartView*>(QString::fromLatin1(kChartName));
}

}  // namespace tarvex::ui
