// A chart of the chart store drawn with QCustomPlot: each series in its kind and colour, the
// axis ranges the plot commands set (or fitted to the data), rectangle zoom and zoom out.
#pragma once

#include <qcustomplot.h>

#include <string>
#include <vector>

#include "state/charts.h"
#include "state/session.h"

namespace tarvex::ui {

enum class SeriesKind { Points, Line, Area, Dotted };

// The title of the counts axis of the spectrum charts (main chart and reports).
inline constexpr const char* kCountsAxisTitle = "Counts";
// The title of the depth axis of the report's profile chart.
inline constexpr const char* kDepthAxisTitle = "Depth (Angstroms)";

struct SeriesView {
  std::string key;  // "Chart.Series"
  SeriesKind kind;
};

class ChartView : public QCustomPlot {
 public:
  ChartView(ChartStore& charts, std::string chart, std::vector<SeriesView> series,
            QWidget* parent = nullptr);
  ~ChartView() override;

  const std::string& chartName() const { return chart_; }
  // Draws what changed in the store since the last time (normally from a zero timer).
  void flush();
  // Back to the ranges the plot commands set, or the whole data on an automatic axis.
  void zoomOut();
  // Whether the user zoomed into a part of the chart since the last zoom out.
  bool zoomed() const { return zoomed_; }
  void setLogarithmicCounts(bool on);
  bool logarithmicCounts() const { return logCounts_; }
  void setZoomEnabled(bool on);
  // A legend that names each series holding points, by its title.
  void setLegendShown(bool on);
  QCPGraph* graphOf(const std::string& key) const;
  // Whether the series is drawn from its extremes per pixel column (a very long line).
  bool drawnByColumns(const std::string& key) const;

 private:
  void changed(const std::string& key);
  void applyRanges();
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Fills graph i from its series: every point, or the extremes per pixel column of a long
  // line or area over the depth range in view.
  void setGraphData(std::size_t i);
  void redecimate();

  ChartStore& charts_;
  std::string chart_;
  std::vector<SeriesView> views_;
  std::vector<QCPGraph*> graphs_;
  std::vector<bool> dirty_;
  std::vector<bool> decimated_;
  std::vector<QCPRange> decimatedRange_;
  bool axesDirty_ = true;
  bool flushQueued_ = false;
  bool zoomed_ = false;
  // While the left button is down (a stroke, a zoom rectangle) the axes keep their ranges, so
  // that a pixel stands for the same value from the press to the release; what the data ask for
  // is applied at the release.
  bool pressed_ = false;
  bool rangesHeld_ = false;
  bool logCounts_ = false;
  bool legendShown_ = false;
  // The chart shows series kept per mode, and the mode they showed at the last redraw: a
  // switch of mode ends a zoom, so the axes fit what the new mode shows.
  bool perMode_ = false;
  ChartMode mode_ = ChartMode::Nra;
  // The counts axis' number format on a linear scale.
  QString linearFormat_;
  int linearPrecision_ = 6;
  int observer_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A view of the main chart "ChartPrinc": the measured points and every model's curve of the
// mode shown, with a legend, the energy axis captioned as the chart control says and the counts
// axis titled.
ChartView* newSpectrumView(Session& session, QWidget* parent);

}  // namespace tarvex::ui
