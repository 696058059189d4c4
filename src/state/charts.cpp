#include "state/charts.h"

#include <stdexcept>

namespace tarvex {
namespace {

constexpr const char* kMainChart = "ChartPrinc";

}  // namespace

ChartStore::ChartStore() {
  struct Row {
    const char* key;
    const char* title;
    Colour colour;
  };
  const Row rows[] = {
      // Main chart, in drawing order.
      {"ChartPrinc.SeriesExp", "Data", colours::red},
      {"ChartPrinc.SeriesPrinc", "Numeric", colours::black},
      {"ChartPrinc.SeriesBessel", "Bessel", colours::red},
      {"ChartPrinc.SeriesGauss", "Gaussian", colours::lime},
      {"ChartPrinc.SeriesExtCS", "External CS", colours::blue},
      // Report pages.
      {"ChartNRPSpec.SeriesExp", "Data", colours::red},
      {"ChartNRPSpec.SeriesPrinc", "Numeric", colours::black},
      {"ChartNRPSpec.SeriesBessel", "Bessel", colours::red},
      {"ChartNRPProf.SeriesProf", "Profile", colours::silver},
      {"ChartNRPProf.Series1", "Profile", colours::black},
      {"ChartMEISSpec.SeriesExp", "Data", colours::red},
      {"ChartMEISSpec.SeriesPrinc", "Numeric", colours::black},
      {"ChartMEISSpec.SeriesBessel", "Bessel", colours::red},
      {"ChartMEISSpec.SeriesGauss", "Gaussian", colours::lime},
      {"ChartMEISSpec.SeriesExtCSMEIS", "External CS", colours::blue},
      // Sample window.
      {"ChartNRPProf.SeriesAmostra", "Profile", colours::red},
      {"ChartMEISProf.SeriesAmostra", "Profile", colours::red},
      {"ChartMEISProf.SeriesSum", "Total", colours::black},
      // Stopping window: the compound's stopping against the energy, the energy chosen (a line
      // up to the curve) and the values at the energies the mode's fields are for.
      {"ChartStopping.SeriesStopping", "Stopping", colours::blue},
      {"ChartStopping.SeriesEnergy", "Energy", colours::red},
      {"ChartStopping.SeriesPoints", "Values", colours::red},
  };
  for (const Row& r : rows)
    series_[r.key] = Series{r.title, r.colour, {}};
  for (const auto& [key, s] : series_) {
    if (key.rfind(kMainChart + std::string("."), 0) == 0) hidden_[key] = s;
  }
  for (const char* chart : {"ChartNRPProf", "ChartMEISProf"}) {
    axes_[chart].bottom = {false, 0.0, 10.0};
  }
}

const Series& ChartStore::series(const std::string& key) const {
  auto it = series_.find(key);
  if (it == series_.end()) throw std::out_of_range("no series named " + key);
  return it->second;
}

Series& ChartStore::mutableSeries(const std::string& key) {
  auto it = series_.find(key);
  if (it == series_.end()) throw std::out_of_range("no series named " + key);
  return it->second;
}

void ChartStore::notify(const std::string& key) const {
  if (observers_.empty()) return;
  // Those registered when the notification starts and still registered when their turn comes.
  std::vector<int> ids;
  ids.reserve(observers_.size());
  for (const auto& [id, o] : observers_)
    ids.push_back(id);
  for (int id : ids) {
    auto it = observers_.find(id);
    if (it != observers_.end()) it->second(key);
  }
}

int ChartStore::observe(Observer o) {
  const int id = nextObserverId_++;
  observers_.emplace(id, std::move(o));
  return id;
}

void ChartStore::unobserve(int id) {
  observers_.erase(id);
}

void ChartStore::clear(const std::string& key) {
  mutableSeries(key).points.clear();
  notify(key);
}

void ChartStore::add(const std::string& key, double x, double y, Colour colour) {
  mutableSeries(key).points.push_back({x, y, colour});
  notify(key);
}

void ChartStore::add(const std::string& key, double x, double y) {
  Series& s = mutableSeries(key);
  s.points.push_back({x, y, s.colour});
  notify(key);
}

void ChartStore::setPoints(const std::string& key, std::vector<ChartPoint> points) {
  mutableSeries(key).points = std::move(points);
  notify(key);
}

void ChartStore::setTitle(const std::string& key, std::string title) {
  Series& s = mutableSeries(key);
  if (s.title == title) return;
  s.title = std::move(title);
  notify(key);
}

bool ChartStore::perMode(const std::string& key) const {
  return hidden_.count(key) != 0;
}

void ChartStore::setPoints(const std::string& key, std::vector<ChartPoint> points, ChartMode mode) {
  if (mode == shown_ || !perMode(key)) {
    setPoints(key, std::move(points));
  } else {
    hidden_.at(key).points = std::move(points);
  }
}

void ChartStore::setPoints(const std::string& key, std::string title,
                           std::vector<ChartPoint> points, ChartMode mode) {
  if (mode == shown_ || !perMode(key)) {
    mutableSeries(key).title = std::move(title);
    setPoints(key, std::move(points));
  } else {
    Series& s = hidden_.at(key);
    s.title = std::move(title);
    s.points = std::move(points);
  }
}

const Series& ChartStore::series(const std::string& key, ChartMode mode) const {
  if (mode == shown_ || !perMode(key)) return series(key);
  return hidden_.at(key);
}

void ChartStore::clearEveryMode(const std::string& key) {
  if (perMode(key)) hidden_.at(key).points.clear();
  clear(key);
}

void ChartStore::showMode(ChartMode mode) {
  if (mode == shown_) return;
  shown_ = mode;
  std::vector<std::string> changed;
  for (auto& [key, other] : hidden_) {
    Series& s = series_.at(key);
    std::swap(s.points, other.points);
    std::swap(s.title, other.title);
    if (!s.points.empty() || !other.points.empty()) changed.push_back(key);
  }
  for (const std::string& key : changed)
    notify(key);
  notify(kMainChart);
}

const ChartAxes& ChartStore::axes(const std::string& chart) const {
  static const ChartAxes automatic;
  auto it = axes_.find(chart);
  return it == axes_.end() ? automatic : it->second;
}

void ChartStore::setBottom(const std::string& chart, double min, double max) {
  axes_[chart].bottom = {false, min, max};
  notify(chart);
}

void ChartStore::setAxes(const std::string& chart, const ChartAxes& a) {
  ChartAxes& now = axes_[chart];
  if (now == a) return;
  now = a;
  notify(chart);
}

void ChartStore::setLeft(const std::string& chart, double min, double max) {
  axes_[chart].left = {false, min, max};
  notify(chart);
}

}  // namespace tarvex
