// What the fuzz targets share: a session whose host records messages, and a snapshot of what a
// refused file must leave as it was (controls, parameter record, measured points, the NRA
// profile, chart series).
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "fuzz_check.h"
#include "state/session.h"

namespace tarvex::fuzz {

class RecordingHost : public Host {
 public:
  std::vector<std::string> messages;
  void showMessage(const std::string& text) override { messages.push_back(text); }
  bool askYesNo(const std::string&) override { return false; }
  std::optional<std::string> openFile(const FileDialog&) override { return {}; }
  std::optional<std::string> saveFile(const FileDialog&) override { return {}; }
};

struct Snapshot {
  std::map<std::string, Control> controls;
  std::array<double, 15> optionFlags{};
  std::array<double, 60> paramValues{};
  std::vector<datapoint> measuredPoints;
  profile nraProfile;
  std::map<std::string, std::vector<ChartPoint>> series;

  explicit Snapshot(Session& s)
      : controls(s.controls().all()),
        optionFlags(s.state().optionFlags),
        paramValues(s.state().paramValues),
        measuredPoints(s.state().measuredPoints),
        nraProfile(s.state().nraProfile) {
    for (const auto& [key, one] : s.charts().all())
      series[key] = one.points;
  }
};

// Bit for bit, so that a NaN that was there stays "the same" and one that appears does not.
inline bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The first difference between two snapshots, in words; empty when they are the same.
inline std::string difference(const Snapshot& a, const Snapshot& b) {
  if (a.controls.size() != b.controls.size()) return "the number of controls";
  for (const auto& [key, c] : a.controls) {
    const auto it = b.controls.find(key);
    if (it == b.controls.end()) return "control " + key + " is gone";
    const Control& d = it->second;
    if (c.text != d.text) return key + ": text '" + c.text + "' became '" + d.text + "'";
    if (c.checked != d.checked || c.enabled != d.enabled || c.visible != d.visible ||
        c.items != d.items || c.itemIndex != d.itemIndex || c.caption != d.caption)
      return key + ": state";
  }
  for (std::size_t i = 0; i < a.optionFlags.size(); ++i)
    if (!sameBits(a.optionFlags[i], b.optionFlags[i])) return "flag " + std::to_string(i);
  for (std::size_t i = 0; i < a.paramValues.size(); ++i)
    if (!sameBits(a.paramValues[i], b.paramValues[i])) return "value " + std::to_string(i);
  if (a.measuredPoints.size() != b.measuredPoints.size()) return "measured points";
  for (std::size_t i = 0; i < a.measuredPoints.size(); ++i) {
    if (!sameBits(a.measuredPoints[i].x, b.measuredPoints[i].x) ||
        !sameBits(a.measuredPoints[i].y, b.measuredPoints[i].y))
      return "measured point " + std::to_string(i);
  }
  const profile& p = a.nraProfile;
  const profile& q = b.nraProfile;
  if (p.count != q.count || !sameBits(p.step, q.step) || !sameBits(p.startDepth, q.startDepth) ||
      p.values.size() != q.values.size())
    return "the NRA profile's grid";
  for (std::size_t i = 0; i < p.values.size(); ++i)
    if (!sameBits(p.values[i], q.values[i])) return "NRA profile point " + std::to_string(i);
  if (a.series.size() != b.series.size()) return "the number of series";
  for (const auto& [key, points] : a.series) {
    const auto it = b.series.find(key);
    if (it == b.series.end() || it->second.size() != points.size()) return "series " + key;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (!sameBits(points[i].x, it->second[i].x) || !sameBits(points[i].y, it->second[i].y))
        return "series " + key + " point " + std::to_string(i);
    }
  }
  return "";
}

// Aborts, saying what changed, when the snapshots differ.
inline void checkSame(const Snapshot& a, const Snapshot& b) {
  const std::string d = difference(a, b);
  if (!d.empty()) {
    std::fprintf(stderr, "changed: %s\n", d.c_str());
    fail();
  }
}

// A session in the start-up state with every action registered.
struct FuzzSession {
  RecordingHost host;
  Session session{host};
  FuzzSession() { registerAllActions(session); }
};

}  // namespace tarvex::fuzz
