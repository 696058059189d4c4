#include "ui/chart_view.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace tarvex::ui {
namespace {

QColor colourOf(Colour c) {
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

}  // namespace

ChartView::ChartView(ChartStore& charts, std::string chart, std::vector<SeriesView> series,
                     QWidget* parent)
    : QCustomPlot(parent), charts_(charts), chart_(std::move(chart)), views_(std::move(series)) {
  setBackground(Qt::white);
  setNoAntialiasingOnDrag(true);
  for (const SeriesView& v : views_) {
    QCPGraph* g = addGraph();
    const Series& s = charts_.series(v.key);
    g->setName(QString::fromStdString(s.title));
    const QColor colour = colourOf(s.colour);
    QPen pen(colour);
    switch (v.kind) {
      case SeriesKind::Points: {
        // Tens of thousands of measured points: a circle drawn once and copied to each point
        // paints many times faster than a circle path per point.
        const qreal ratio = devicePixelRatioF();
        QPixmap dot(QSize(7, 7) * ratio);
        dot.setDevicePixelRatio(ratio);
        dot.fill(Qt::transparent);
        QPainter p(&dot);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(colour);
        p.setBrush(colour);
        p.drawEllipse(QRectF(1, 1, 5, 5));
        p.end();
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(dot));
        break;
      }
      case SeriesKind::Line:
        break;
      case SeriesKind::Area: {
        QColor fill = colour;
        fill.setAlpha(110);
        g->setBrush(fill);
        break;
      }
      case SeriesKind::Dotted:
        pen.setStyle(Qt::DotLine);
        break;
    }
    g->setPen(pen);
    graphs_.push_back(g);
    if (charts_.perMode(v.key)) perMode_ = true;
  }
  mode_ = charts_.shownMode();
  linearFormat_ = yAxis->numberFormat();
  linearPrecision_ = yAxis->numberPrecision();
  dirty_.assign(views_.size(), true);
  decimated_.assign(views_.size(), false);
  decimatedRange_.assign(views_.size(), QCPRange());
  observer_ = charts_.observe([this](const std::string& key) { changed(key); });
  setSelectionRectMode(QCP::srmZoom);
  selectionRect()->setPen(QPen(Qt::black, 1, Qt::DashLine));
  connect(selectionRect(), &QCPSelectionRect::accepted, this, [this](const QRect&, QMouseEvent*) {
    zoomed_ = true;
    redecimate();
  });
  connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this](const QCPRange&) {
    if (zoomed_) redecimate();
  });
  flush();
}

ChartView::~ChartView() {
  charts_.unobserve(observer_);
}

QCPGraph* ChartView::graphOf(const std::string& key) const {
  for (std::size_t i = 0; i < views_.size(); ++i) {
    if (views_[i].key == key) return graphs_[i];
  }
  return nullptr;
}

bool ChartView::drawnByColumns(const std::string& key) const {
  for (std::size_t i = 0; i < views_.size(); ++i) {
    if (views_[i].key == key) return decimated_[i];
  }
  return false;
}

void ChartView::changed(const std::string& key) {
  if (key == chart_) {
    axesDirty_ = true;
  } else {
    for (std::size_t i = 0; i < views_.size(); ++i) {
      if (views_[i].key == key) dirty_[i] = true;
    }
  }
  // Many changes (a point at a time, a series after another) make one redraw.
  if (!flushQueued_) {
    flushQueued_ = true;
    std::weak_ptr<bool> alive = alive_;
    QTimer::singleShot(0, this, [this, alive] {
      if (alive.lock()) flush();
    });
  }
}

void ChartView::flush() {
  flushQueued_ = false;
  bool any = axesDirty_;
  if (perMode_ && charts_.shownMode() != mode_) {
    mode_ = charts_.shownMode();
    zoomed_ = false;
    any = true;
  }
  for (std::size_t i = 0; i < views_.size(); ++i) {
    if (!dirty_[i]) continue;
    dirty_[i] = false;
    any = true;
    const Series& s = charts_.series(views_[i].key);
    graphs_[i]->setName(QString::fromStdString(s.title));
    setGraphData(i);
    // A series drawn in another colour than its own (the profile in zoom mode) takes the
    // colour of its points.
    if (!s.points.empty() && views_[i].kind != SeriesKind::Points) {
      const QColor c = colourOf(s.points.front().colour);
      QPen pen = graphs_[i]->pen();
      if (pen.color() != c) {
        pen.setColor(c);
        graphs_[i]->setPen(pen);
        if (views_[i].kind == SeriesKind::Area) {
          QColor fill = c;
          fill.setAlpha(110);
          graphs_[i]->setBrush(fill);
        }
      }
    }
  }
  if (!any) return;
  axesDirty_ = false;
  if (legendShown_) {
    // Only what is drawn is named, in the chart's order of series.
    legend->clearItems();
    for (std::size_t i = 0; i < views_.size(); ++i) {
      if (!charts_.series(views_[i].key).points.empty()) graphs_[i]->addToLegend();
    }
    legend->setVisible(legend->itemCount() > 0);
  }
  if (pressed_) {
    rangesHeld_ = true;
  } else if (!zoomed_) {
    applyRanges();
  }
  redecimate();
  replot(QCustomPlot::rpQueuedReplot);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  QCustomPlot::mousePressEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  QCustomPlot::mouseReleaseEvent(event);
  pressed_ = false;
  if (!rangesHeld_) return;
  rangesHeld_ = false;
  if (!zoomed_) applyRanges();
  redecimate();
  replot(QCustomPlot::rpQueuedReplot);
}

namespace {

// Above this many points a line or area is drawn from its extremes per pixel column.
constexpr std::size_t kColumnsAbove = 20000;

bool sortedByX(const std::vector<ChartPoint>& points) {
  return std::is_sorted(points.begin(), points.end(),
                        [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
}

}  // namespace

void ChartView::setGraphData(std::size_t i) {
  const Series& s = charts_.series(views_[i].key);
  const std::vector<ChartPoint>& points = s.points;
  QVector<QCPGraphData> data;
  const bool sorted = sortedByX(points);
  const bool columns =
      sorted && views_[i].kind != SeriesKind::Points && points.size() > kColumnsAbove;
  decimatedRange_[i] = QCPRange();
  if (!columns) {
    data.reserve(static_cast<int>(points.size()));
    for (const ChartPoint& p : points)
      data.append(QCPGraphData(p.x, p.y));
    graphs_[i]->data()->set(data, sorted);
    decimated_[i] = false;
    return;
  }
  // A profile of millions of points: what a pixel column can show is its lowest and highest
  // value, so each column of the visible depth range gives those two points (in depth order);
  // the points just outside the range carry the curve to the edges.
  decimated_[i] = true;
  QCPRange range = xAxis->range();
  if (!zoomed_) range = QCPRange(points.front().x, points.back().x);
  decimatedRange_[i] = range;
  const int n = std::max(axisRect()->width(), 200);
  const double width = range.size() / n;
  const auto lower = std::lower_bound(points.begin(), points.end(), range.lower,
                                      [](const ChartPoint& p, double x) { return p.x < x; });
  const auto upper = std::upper_bound(points.begin(), points.end(), range.upper,
                                      [](double x, const ChartPoint& p) { return x < p.x; });
  data.reserve(2 * n + 4);
  if (lower != points.begin()) data.append(QCPGraphData((lower - 1)->x, (lower - 1)->y));
  auto it = lower;
  while (it != upper) {
    const double columnEnd =
        width > 0.0 ? range.lower + (std::floor((it->x - range.lower) / width) + 1.0) * width
                    : range.upper;
    auto lo = it;
    auto hi = it;
    auto first = it;
    while (it != upper && (it == first || it->x < columnEnd)) {
      if (it->y < lo->y) lo = it;
      if (it->y > hi->y) hi = it;
      ++it;
    }
    if (lo->x <= hi->x) {
      data.append(QCPGraphData(lo->x, lo->y));
      if (hi != lo) data.append(QCPGraphData(hi->x, hi->y));
    } else {
      data.append(QCPGraphData(hi->x, hi->y));
      data.append(QCPGraphData(lo->x, lo->y));
    }
  }
  if (upper != points.end()) data.append(QCPGraphData(upper->x, upper->y));
  graphs_[i]->data()->set(data, true);
}

void ChartView::redecimate() {
  // A zoom or a new fixed range shows another part of a long series: take its columns again.
  bool again = false;
  for (std::size_t i = 0; i < views_.size(); ++i) {
    if (!decimated_[i]) continue;
    const QCPRange want =
        zoomed_ ? xAxis->range() : decimatedRange_[i];  // the whole series when not zoomed
    if (want != decimatedRange_[i]) {
      setGraphData(i);
      again = true;
    }
  }
  if (again) replot(QCustomPlot::rpQueuedReplot);
}

void ChartView::applyRanges() {
  const ChartAxes& axes = charts_.axes(chart_);
  bool haveData = false;
  for (QCPGraph* g : graphs_) {
    if (!g->data()->isEmpty()) haveData = true;
  }
  if (haveData) {
    if (axes.bottom.automatic) xAxis->rescale(true);
    if (axes.left.automatic) yAxis->rescale(true);
  }
  if (!axes.bottom.automatic) xAxis->setRange(axes.bottom.min, axes.bottom.max);
  if (!axes.left.automatic) yAxis->setRange(axes.left.min, axes.left.max);
  // A single value or a flat curve: give the axis some room so it still shows.
  for (QCPAxis* axis : {xAxis, yAxis}) {
    QCPRange r = axis->range();
    if (r.size() <= 0.0 || !std::isfinite(r.size())) {
      const double c = std::isfinite(r.center()) ? r.center() : 0.0;
      axis->setRange(c - 1.0, c + 1.0);
    }
  }
}

void ChartView::zoomOut() {
  zoomed_ = false;
  for (std::size_t i = 0; i < views_.size(); ++i) {
    if (decimated_[i]) setGraphData(i);
  }
  applyRanges();
  replot();
}

void ChartView::setLogarithmicCounts(bool on) {
  logCounts_ = on;
  if (on) {
    yAxis->setScaleType(QCPAxis::stLogarithmic);
    yAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    // Every decade as a power of ten (10^0, 10^1, ... 10^6), never some as plain numbers and
    // others in exponent notation.
    yAxis->setNumberFormat(QStringLiteral("eb"));
    yAxis->setNumberPrecision(0);
  } else {
    yAxis->setScaleType(QCPAxis::stLinear);
    yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    yAxis->setNumberFormat(linearFormat_);
    yAxis->setNumberPrecision(linearPrecision_);
  }
  if (!zoomed_) applyRanges();
  replot();
}

void ChartView::setLegendShown(bool on) {
  legendShown_ = on;
  legend->setVisible(on);
  if (on) {
    // See-through, so that points under it still show.
    legend->setBrush(QColor(255, 255, 255, 150));
    legend->setBorderPen(QPen(QColor(0, 0, 0, 120)));
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
  }
  for (std::size_t i = 0; i < views_.size(); ++i)
    dirty_[i] = true;
  flush();
}

void ChartView::setZoomEnabled(bool on) {
  setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
}

ChartView* newSpectrumView(Session& session, QWidget* parent) {
  auto* view = new ChartView(session.charts(), "ChartPrinc",
                             {{"ChartPrinc.SeriesExp", SeriesKind::Points},
                              {"ChartPrinc.SeriesPrinc", SeriesKind::Line},
                              {"ChartPrinc.SeriesBessel", SeriesKind::Line},
                              {"ChartPrinc.SeriesGauss", SeriesKind::Line},
                              {"ChartPrinc.SeriesExtCS", SeriesKind::Line}},
                             parent);
  view->xAxis->setLabel(
      QString::fromStdString(session.controls().get("TFTarvex3.ChartPrinc").caption));
  view->yAxis->setLabel(QString::fromUtf8(kCountsAxisTitle));
  view->setLegendShown(true);
  return view;
}

}  // namespace tarvex::ui
