#include "ui/fit_window.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "fit/fit_model.h"
#include "state/controls.h"
#include "ui/chart_view.h"

namespace tarvex::ui {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

constexpr int kValueWidth = 80;
constexpr int kBoundWidth = 46;
// Columns of a layer row: thickness, one concentration per element, edge width.
constexpr int kColumns = kMaxFitElements + 2;
constexpr const char* kChartName = "FitChart";

QGridLayout* tight(QWidget* w) {
  auto* g = new QGridLayout(w);
  g->setContentsMargins(4, 2, 4, 4);
  g->setHorizontalSpacing(4);
  g->setVerticalSpacing(2);
  return g;
}

// The window's view of the store beyond what the form's widgets show: which layer rows and
// element columns exist, the bounds shown or not, the fields of other windows that the fit
// starts from, the result text, and the busy state.
class FitWindow : public QObject {
 public:
  FitWindow(Session& s, Form& f, QWidget* w) : QObject(w), s_(s), f_(f), w_(w) {
    build();
    observer_ = s_.controls().observe([this](const std::string& key) { changed(key); });
    w->installEventFilter(this);
    elementsChanged();
    applyLayout();
    applyBusy();
  }
  ~FitWindow() override { s_.controls().unobserve(observer_); }
  FitWindow(const FitWindow&) = delete;
  FitWindow& operator=(const FitWindow&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    // The desktop disables every window but the main one while a command runs: this one stays
    // enabled for "Stop", with its editing parts disabled instead.
    if (watched == w_ && e->type() == QEvent::EnabledChange) applyBusy();
    return QObject::eventFilter(watched, e);
  }

 private:
  void build();
  QWidget* parameterCell(const std::string& name, bool withValue);
  QLineEdit* mirror(const std::string& key, QWidget* parent);
  void changed(const std::string& key);
  void elementsChanged();
  void applyLayout();
  void applyBusy();
  int columnsInUse() const;

  Session& s_;
  Form& f_;
  QPointer<QWidget> w_;
  int observer_ = 0;
  int layers_ = 1;
  QPointer<QGridLayout> table_;
  QPointer<QCheckBox> bounds_;
  std::array<std::array<QPointer<QWidget>, kColumns>, kMaxFitLayers> cells_{};
  std::array<QPointer<QLabel>, kMaxFitLayers> rowLabels_{};
  std::array<QPointer<QWidget>, kMaxFitElements> heads_{};
  QPointer<QLabel> concHead_;
  std::vector<QPointer<QWidget>> boundParts_;
  std::vector<QPointer<QWidget>> busyOff_;
  QPointer<QWidget> stopBox_;
  std::map<std::string, QPointer<QLineEdit>> mirrors_;
  QPointer<QWidget> spreadNra_, spreadMeis_;
  QPointer<QPlainTextEdit> memo_;
};

// A parameter of the fit model: its value and free box above, its bounds below.
QWidget* FitWindow::parameterCell(const std::string& name, bool withValue) {
  auto* cell = new QWidget;
  auto* g = new QGridLayout(cell);
  g->setContentsMargins(0, 0, 0, 0);
  g->setHorizontalSpacing(2);
  g->setVerticalSpacing(1);
  if (withValue) {
    QLineEdit* value = f_.edit("Edit" + name);
    value->setFixedWidth(kValueWidth);
    g->addWidget(value, 0, 0);
    g->addWidget(f_.widget("CheckFree" + name), 0, 1);
  }
  auto* bounds = new QWidget(cell);
  auto* row = new QHBoxLayout(bounds);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  for (const char* which : {"Min", "Max"}) {
    QLineEdit* e = f_.edit("Edit" + std::string(which) + name);
    e->setFixedWidth(kBoundWidth);
    e->setPlaceholderText(which == std::string("Min") ? QStringLiteral("min")
                                                      : QStringLiteral("max"));
    e->setToolTip(which == std::string("Min") ? QStringLiteral("Lower bound (empty: none)")
                                              : QStringLiteral("Upper bound (empty: none)"));
    row->addWidget(e);
  }
  row->addStretch(1);
  g->addWidget(bounds, withValue ? 1 : 0, 0, 1, 2);
  boundParts_.emplace_back(bounds);
  return cell;
}

// A second view of a field of another window (the ion dose, shift, background and spread the
// fit starts from): typing here is typing there.
QLineEdit* FitWindow::mirror(const std::string& key, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(q("TFFit.View." + key));
  e->setFixedWidth(kValueWidth);
  e->setText(q(s_.controls().text(key)));
  const bool background = key.compare(0, 13, "TFBackground.") == 0;
  e->setToolTip(q("\"" + s_.controls().get(key).caption + "\" of the " +
                  (background ? "background" : "Options") + " window"));
  QObject::connect(e, &QLineEdit::textEdited, e, [this, key](const QString& text) {
    s_.controls().setText(key, text.toStdString());
  });
  mirrors_[key] = e;
  return e;
}

void FitWindow::build() {
  QWidget* w = w_;
  // Everything the form made starts in a hidden place; what the window shows is laid out below.
  auto* spare = new QWidget(w);
  spare->hide();
  for (const auto& [name, widget] : f_.widgets()) {
    widget->setParent(spare);
    if (qobject_cast<QLineEdit*>(widget) != nullptr) f_.label(name)->setParent(spare);
  }

  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(4);
  // The fields at the left, the chart taking the rest of the width.
  auto* split = new QHBoxLayout;
  split->setSpacing(8);
  outer->addLayout(split, 1);

  auto* left = new QWidget(w);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);

  // ---- The layer table ----
  auto* editing = new QWidget(left);
  busyOff_.emplace_back(editing);
  auto* editingLayout = new QVBoxLayout(editing);
  editingLayout->setContentsMargins(0, 0, 0, 0);
  editingLayout->setSpacing(4);
  QGroupBox* layers = f_.group("GroupLayers");
  auto* layersLayout = new QVBoxLayout(layers);
  layersLayout->setContentsMargins(4, 2, 4, 4);
  layersLayout->setSpacing(2);
  auto* top = new QHBoxLayout;
  top->addWidget(f_.label("EditLayers"));
  f_.edit("EditLayers")->setFixedWidth(36);
  f_.edit("EditLayers")
      ->setToolTip(QStringLiteral("Layers of the fit model, from the surface down (1 to %1)")
                       .arg(kMaxFitLayers));
  top->addWidget(f_.edit("EditLayers"));
  top->addStretch(1);
  bounds_ = new QCheckBox(QStringLiteral("Bounds"), layers);
  bounds_->setObjectName(QStringLiteral("TFFit.View.Bounds"));
  bounds_->setToolTip(QStringLiteral("Show the lower and upper bound of every parameter"));
  top->addWidget(bounds_);
  layersLayout->addLayout(top);

  auto* tableHost = new QWidget(layers);
  table_ = new QGridLayout(tableHost);
  table_->setContentsMargins(0, 0, 0, 0);
  table_->setHorizontalSpacing(8);
  table_->setVerticalSpacing(3);
  table_->addWidget(f_.label("EditThickL1"), 0, 1);
  concHead_ = f_.label("EditConc1L1");
  table_->addWidget(concHead_, 0, 2);
  table_->addWidget(f_.label("EditSigmaL1"), 0, kColumns);
  for (int e = 0; e < kMaxFitElements; ++e) {
    // The element of each concentration column (ion scattering).
    auto* head = new QWidget(tableHost);
    auto* hl = new QHBoxLayout(head);
    hl->setContentsMargins(0, 0, 0, 0);
    QLabel* name = f_.panel("PanelElement" + std::to_string(e + 1));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    hl->addWidget(name);
    table_->addWidget(head, 1, 2 + e);
    heads_[static_cast<std::size_t>(e)] = head;
  }
  for (int k = 0; k < kMaxFitLayers; ++k) {
    const std::string l = std::string("L").append(std::to_string(k + 1));
    auto* label = new QLabel(QString::number(k + 1), tableHost);
    label->setToolTip(QStringLiteral("Layer %1 from the surface").arg(k + 1));
    rowLabels_[static_cast<std::size_t>(k)] = label;
    table_->addWidget(label, 2 + k, 0, Qt::AlignTop);
    auto& row = cells_[static_cast<std::size_t>(k)];
    row[0] = parameterCell("Thick" + l, true);
    for (std::size_t e = 0; e < std::size_t{kMaxFitElements}; ++e)
      row[e + 1] = parameterCell("Conc" + std::to_string(e + 1) + l, true);
    row[kColumns - 1] = parameterCell("Sigma" + l, true);
    for (int c = 0; c < kColumns; ++c) {
      table_->addWidget(row[static_cast<std::size_t>(c)], 2 + k, 1 + c, Qt::AlignTop);
    }
  }
  table_->setColumnStretch(kColumns + 1, 1);
  layersLayout->addWidget(tableHost);
  editingLayout->addWidget(layers);

  // ---- The ion dose, shift, background and spread ----
  QGroupBox* scalars = f_.group("GroupScalars");
  auto* sg = tight(scalars);
  auto* valueHead = new QLabel(QStringLiteral("Start value"), scalars);
  sg->addWidget(valueHead, 0, 1);
  int row = 1;
  for (const auto& [name, fields] :
       {std::pair<const char*, std::vector<std::string>>{"Dose", {"TFOptions.EditMult"}},
        {"Shift", {"TFOptions.EditShift"}},
        {"Background", {"TFBackground.EditYs"}},
        {"Spread", {"TFNRP.EditGauss", "TFMEIS.EditGauss"}}}) {
    sg->addWidget(f_.widget(std::string("CheckFree") + name), row, 0);
    auto* values = new QWidget(scalars);
    auto* vl = new QHBoxLayout(values);
    vl->setContentsMargins(0, 0, 0, 0);
    for (const std::string& key : fields) {
      auto* holder = new QWidget(values);
      auto* hl = new QHBoxLayout(holder);
      hl->setContentsMargins(0, 0, 0, 0);
      hl->addWidget(mirror(key, holder));
      vl->addWidget(holder);
      if (key == "TFNRP.EditGauss") spreadNra_ = holder;
      if (key == "TFMEIS.EditGauss") spreadMeis_ = holder;
    }
    sg->addWidget(values, row, 1);
    sg->addWidget(parameterCell(name, false), row, 2);
    ++row;
  }
  sg->addWidget(f_.label("EditMaxIter"), row, 0);
  f_.edit("EditMaxIter")->setFixedWidth(kValueWidth);
  f_.edit("EditMaxIter")->setToolTip(QStringLiteral("Most iterations of the solver"));
  sg->addWidget(f_.edit("EditMaxIter"), row, 1);
  sg->setColumnStretch(3, 1);
  editingLayout->addWidget(scalars);
  column->addWidget(editing);

  // ---- Commands, Stop and progress ----
  auto* commands = new QHBoxLayout;
  auto* buttons = new QWidget(left);
  busyOff_.emplace_back(buttons);
  auto* bl = new QHBoxLayout(buttons);
  bl->setContentsMargins(0, 0, 0, 0);
  for (const char* b : {"ButtonFromProfile", "ButtonFit", "ButtonUndo"})
    bl->addWidget(f_.widget(b));
  f_.button("ButtonFromProfile")
      ->setToolTip(QStringLiteral("Layers of the table from the current profile"));
  f_.button("ButtonFit")
      ->setToolTip(QStringLiteral("Fit the free parameters to the measured points"));
  f_.button("ButtonUndo")->setToolTip(QStringLiteral("Fields and profile as before the last fit"));
  commands->addWidget(buttons);
  stopBox_ = new QWidget(left);
  auto* stopLayout = new QHBoxLayout(stopBox_);
  stopLayout->setContentsMargins(0, 0, 0, 0);
  stopLayout->addWidget(f_.widget("ButtonStop"));
  commands->addWidget(stopBox_);
  commands->addStretch(1);
  column->addLayout(commands);
  QLabel* status = f_.panel("StatusFit");
  status->setWordWrap(true);
  status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  status->setMinimumHeight(status->fontMetrics().height() * 2 + 6);
  status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  column->addWidget(status);
  column->addStretch(1);
  split->addWidget(left, 0);

  // ---- The measured points and the current curve ----
  ChartView* chart = newSpectrumView(s_, w);
  chart->setObjectName(QString::fromLatin1(kChartName));
  chart->yAxis->setLabel(QStringLiteral("Counts"));
  chart->setMinimumSize(320, 240);
  split->addWidget(chart, 1);

  // ---- The result of the last fit ----
  memo_ = f_.memo("MemoResult");
  memo_->setMinimumHeight(110);
  memo_->setMaximumHeight(180);
  memo_->setPlainText(q(s_.controls().text("TFFit.MemoResult")));
  outer->addWidget(memo_);

  QObject::connect(bounds_, &QCheckBox::toggled, this, [this] { applyLayout(); });
  w->resize(940, 600);
}

int FitWindow::columnsInUse() const {
  if (s_.nraMode()) return 1;
  const auto n = static_cast<int>(s_.controls().get("TFMEIS.ListElements").items.size());
  return std::clamp(n, 1, kMaxFitElements);
}

void FitWindow::changed(const std::string& key) {
  // A long number written by a command shows from its start (its first digits matter); text
  // being typed (the edit is modified until a command writes it) keeps its cursor.
  if (key.compare(0, 10, "TFFit.Edit") == 0 && f_.has(key.substr(6))) {
    QLineEdit* e = f_.edit(key.substr(6));
    if (e != nullptr && !e->hasFocus() && !e->isModified()) e->setCursorPosition(0);
  }
  if (key == "TFFit.EditLayers") {
    applyLayout();
  } else if (key == "TFMEIS.ListElements" || key == "TFOptions.RadioMEIS" ||
             key == "TFOptions.RadioNRP") {
    elementsChanged();
    applyLayout();
  } else if (key == "TFFit.MemoResult") {
    const QString text = q(s_.controls().text(key));
    if (memo_ && memo_->toPlainText() != text) memo_->setPlainText(text);
  } else if (key == "TFTarvex3.ButtonStop") {
    // Shown exactly while a command runs.
    applyBusy();
  } else if (auto it = mirrors_.find(key); it != mirrors_.end()) {
    if (QLineEdit* e = it->second) {
      const Control& c = s_.controls().get(key);
      if (e->text() != q(c.text)) {
        e->setText(q(c.text));
        if (!e->hasFocus()) e->setCursorPosition(0);
      }
      e->setEnabled(c.enabled);
    }
  }
}

// The element of each concentration column: the composition in its order (ion scattering), or
// the resonant nuclide alone.
void FitWindow::elementsChanged() {
  ControlStore& c = s_.controls();
  const std::vector<std::string> none;
  const std::vector<std::string>& names = s_.nraMode() ? none : c.get("TFMEIS.ListElements").items;
  for (int e = 0; e < kMaxFitElements; ++e) {
    const std::string key = "TFFit.PanelElement" + std::to_string(e + 1);
    const std::string text = static_cast<std::size_t>(e) < names.size() ? names[e] : "";
    if (c.has(key) && c.text(key) != text) c.setText(key, text);
  }
}

void FitWindow::applyLayout() {
  try {
    layers_ = std::clamp(parseInt(s_.controls().text("TFFit.EditLayers")), 1, kMaxFitLayers);
  } catch (const std::exception&) {
    // Half typed: the rows stay as they are.
  }
  const bool nra = s_.nraMode();
  const int columns = columnsInUse();
  const bool bounds = bounds_ && bounds_->isChecked();
  for (int k = 0; k < kMaxFitLayers; ++k) {
    const bool shown = k < layers_;
    if (QLabel* l = rowLabels_[static_cast<std::size_t>(k)]) l->setVisible(shown);
    for (int c = 0; c < kColumns; ++c) {
      QWidget* cell = cells_[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)];
      const bool used = c == 0 || c == kColumns - 1 || c - 1 < columns;
      if (cell) cell->setVisible(shown && used);
    }
  }
  for (int e = 0; e < kMaxFitElements; ++e) {
    if (QWidget* h = heads_[static_cast<std::size_t>(e)]) h->setVisible(!nra && e < columns);
  }
  if (table_ && concHead_) {
    table_->removeWidget(concHead_);
    table_->addWidget(concHead_, 0, 2, 1, columns);
  }
  for (const QPointer<QWidget>& b : boundParts_) {
    if (b) b->setVisible(bounds);
  }
  if (spreadNra_) spreadNra_->setVisible(nra);
  if (spreadMeis_) spreadMeis_->setVisible(!nra);
  // The cached sizes of the table's host go with the rows and columns hidden or shown.
  if (table_ && table_->parentWidget()) table_->parentWidget()->updateGeometry();
}

void FitWindow::applyBusy() {
  const bool busy = s_.busy();
  for (const QPointer<QWidget>& p : busyOff_) {
    if (p) p->setEnabled(!busy);
  }
  if (stopBox_) stopBox_->setEnabled(busy);
  if (busy && w_ && !w_->isEnabled()) w_->setEnabled(true);
}

}  // namespace

void buildFitWindow(Session& session, Form& f, QWidget* w) {
  new FitWindow(session, f, w);
}

ChartView* fitWindowChart(QWidget* w) {
  return w->findChild<ChartView*>(QString::fromLatin1(kChartName));
}

}  // namespace tarvex::ui
