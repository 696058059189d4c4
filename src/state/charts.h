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
  std::map<std::string, ChartAxes> axes_;
  std::map<int, Observer> observers_;
  int nextObserverId_ = 1;
};

}  // namespace tarvex
