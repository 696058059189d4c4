// The chart store: every chart series as data (points with colours) and the axis ranges the
// logic sets. Plot commands fill it; the GUI renders it; tests and tarvex-cli read it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvex {

using Colour = std::uint32_t;  // 0xRRGGBB
namespace colours {
constexpr Colour black = 0x000000;
constexpr Colour red = 0xFF0000;
constexpr Colour lime = 0x00FF00;
constexpr Colour blue = 0x0000FF;
constexpr Colour silver = 0xC0C0C0;
}  // namespace colours

struct ChartPoint {
  double x = 0.0;
  double y = 0.0;
  Colour colour = colours::black;
};

struct Series {
  std::string title;
  Colour colour = colours::black;
  std::vector<ChartPoint> points;
};

// The mode a curve or a measured data set of the main chart belongs to.
enum class ChartMode { Nra, Meis };

struct AxisRange {
  bool automatic = true;
  double min = 0.0;
  double max = 0.0;
};

struct ChartAxes {
  AxisRange bottom;
  AxisRange left;
};

inline bool operator==(const AxisRange& a, const AxisRange& b) {
  return a.automatic == b.automatic && a.min == b.min && a.max == b.max;
}
inline bool operator==(const ChartAxes& a, const ChartAxes& b) {
  return a.bottom == b.bottom && a.left == b.left;
}

class ChartStore {
 public:
  using Observer = std::function<void(const std::string& key)>;

  // Creates every series of the program's charts, keyed "Chart.Series".
  ChartStore();

  bool has(const std::string& key) const { return series_.count(key) != 0; }
  const Series& series(const std::string& key) const;
  const std::map<std::string, Series>& all() const { return series_; }
  void clear(const std::string& key);
  void add(const std::string& key, double x, double y, Colour colour);
  void add(const std::string& key, double x, double y);  // in the series' colour
  // Replaces all points at once with one notification (a plot command's whole curve; clear()
  // followed by add() would tell the observers once per point).
  void setPoints(const std::string& key, std::vector<ChartPoint> points);
  Colour colour(const std::string& key) const { return series(key).colour; }
  void setTitle(const std::string& key, std::string title);

  // The main chart shows the curves and data of one mode at a time. Each of its series holds
  // the points of both modes: those of the mode shown are its points above, those of the other
  // mode are kept aside and come back when that mode is shown again. The writes below go to the
  // mode named, shown or not; a series of another chart has one set of points for both modes.
  bool perMode(const std::string& key) const;
  void setPoints(const std::string& key, std::vector<ChartPoint> points, ChartMode mode);
  // The points with a new title, in one notification (measured data named by their file).
  void setPoints(const std::string& key, std::string title, std::vector<ChartPoint> points,
                 ChartMode mode);
  // The points and title a series has in a mode (its own when it is not kept per mode).
  const Series& series(const std::string& key, ChartMode mode) const;
  // Empties a series in both modes ("Clear Plots").
  void clearEveryMode(const std::string& key);
  // Shows the mode's points in every series kept per mode (one notification per series that
  // changes, then one for the main chart, whose axes then fit what is shown).
  void showMode(ChartMode mode);
  ChartMode shownMode() const { return shown_; }

  ChartAxes& axes(const std::string& chart) { return axes_[chart]; }
  const ChartAxes& axes(const std::string& chart) const;
  void setBottom(const std::string& chart, double min, double max);
  void setLeft(const std::string& chart, double min, double max);
  // Every chart whose axes were ever set, and a chart's axes put back as a whole (one
  // notification, none when nothing changes).
  const std::map<std::string, ChartAxes>& allAxes() const { return axes_; }
  void setAxes(const std::string& chart, const ChartAxes& a);

  // Called after every change of a series (its key) or of a chart's axes (the chart's name).
  // Returns an id for unobserve(); an observer may remove itself while it is being told.
  int observe(Observer o);
  void unobserve(int id);

 private:
  Series& mutableSeries(const std::string& key);
  void notify(const std::string& key) const;

  std::map<std::string, Series> series_;
  // The series of the main chart in the mode not shown.
  std::map<std::string, Series> hidden_;
  ChartMode shown_ = ChartMode::Nra;
  std::map<std::string, ChartAxes> axes_;
  std::map<int, Observer> observers_;
  int nextObserverId_ = 1;
};

}  // namespace tarvex
