// What the random walks through the session share, headless and through the windows: the texts
// a user types, the files a dialog may be answered with, and the checks of a consistent session
// after every step.
#pragma once

#include <time.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/numtext.h"
#include "state/session.h"

namespace tarvex::walk {

// A step may take as long as the largest collision table the program builds (1e8 values, about
// 16 s on this machine, longer while the other tests share its two cores), and no longer: a step
// beyond that is work the limits should have refused, or a hang. The sanitizers run the same
// code several times slower.
#ifdef TARVEX_SANITIZED
constexpr double kStepLimitSeconds = 300.0;
#else
constexpr double kStepLimitSeconds = 60.0;
#endif

// How long a step took as this machine gives it to the program alone: the wall time, unless the
// programs sharing the processors stretched it, when the processor time of all the program's
// threads is the smaller and truer figure.
class StepClock {
 public:
  StepClock() : wall_(std::chrono::steady_clock::now()), cpu_(cpuSeconds()) {}
  double seconds() const {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    return std::min(wall, cpuSeconds() - cpu_);
  }

 private:
  static double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
  }
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

// Files of the repository a file dialog may be answered with: data files, profiles, parameter
// files, loss tables and cross sections, good and bad ones.
inline std::vector<std::string> fixtureFiles() {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  const fs::path root = TARVEX_SOURCE_DIR;
  for (const char* dir : {"examples", "fuzz/corpus/data_file", "fuzz/corpus/profile_file",
                          "fuzz/corpus/param_file", "fuzz/corpus/loss_table"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root / dir, ec)) {
      if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());  // the same draw from the same seed everywhere
  return files;
}

inline bool isNumberText(const std::string& text, double* value) {
  try {
    *value = parseFloat(text, '.');
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Edits that hold a name rather than a number: element names ("inf" is a name a user may type
// and select) and file names.
inline bool holdsName(const std::string& key) {
  std::string lower;
  for (unsigned char c : key)
    lower += static_cast<char>(std::tolower(c));
  return lower.find(".editel") != std::string::npos || lower.find("file") != std::string::npos;
}

// A number text an edit shows that is not a finite number ("NAN", "-INF", "1e999"); a file name
// with "nan" in it is none.
inline bool nonFiniteText(const std::string& text) {
  std::string upper;
  for (unsigned char c : text) {
    if (!std::isspace(c)) upper += static_cast<char>(std::toupper(c));
  }
  if (!upper.empty() && (upper[0] == '-' || upper[0] == '+')) upper.erase(0, 1);
  if (upper == "NAN" || upper == "INF" || upper == "INFINITY") return true;
  double v = 0.0;
  return isNumberText(text, &v) && !std::isfinite(v);
}

// Texts a user mistypes or pastes.
inline const std::vector<std::string>& hostileTexts() {
  static const std::vector<std::string> texts = {
      "",     "abc", "1e308", "-0",  "nan", "inf",  "-1e308",   "1e-300", "99999999",
      "-5",   "0",   "1,5",   "2,0", " 7",  "1e9",  "-1",       "0.0",    "1e400",
      "1e+5", "--1", "1.2.3", "x1",  "1 2", "1e-9", "12345678", "+3",     "0x10"};
  return texts;
}

// Whether a text typed into an edit can make a calculation overflow: a number so large that
// infinities are what the physics gives.
inline bool overflowingText(const std::string& text) {
  double v = 0.0;
  if (!isNumberText(text, &v)) return false;
  return !std::isfinite(v) || std::fabs(v) >= 1e100 || (v != 0.0 && std::fabs(v) <= 1e-100);
}

// Failures to pass over while looking for others: TARVEX_WALK_IGNORE, comma-separated parts of
// "kind (detail)" texts.
inline bool ignored(const std::string& kind, const std::string& detail) {
  static const std::vector<std::string> parts = [] {
    std::vector<std::string> v;
    const char* env = std::getenv("TARVEX_WALK_IGNORE");
    std::istringstream in(env ? env : "");
    for (std::string part; std::getline(in, part, ',');) {
      if (!part.empty()) v.push_back(part);
    }
    return v;
  }();
  const std::string text = kind + " (" + detail + ")";
  return std::any_of(parts.begin(), parts.end(),
                     [&](const std::string& p) { return text.find(p) != std::string::npos; });
}

inline std::optional<long long> environmentNumber(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) return std::nullopt;
  return std::strtoll(v, nullptr, 10);
}

inline std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& x : v)
    s += (s.empty() ? "" : ",") + x;
  return "[" + s + "]";
}

struct Problem {
  std::string kind;  // what went wrong, the same whatever values showed it
  std::string detail;
};

// The element list is the composition's names in order; the element box offers every name
// of the composition (and, after a delete, the deleted names until the composition is
// rebuilt) and shows its selected item.
inline std::optional<Problem> compositionProblem(const Session& s) {
  const WorkingState& st = s.state();
  std::vector<std::string> names;
  for (const auto& [name, e] : st.elementMap)
    names.push_back(name);
  const Control& list = s.controls().get("TFMEIS.ListElements");
  if (list.items != names) {
    return Problem{"the element list differs from the composition",
                   join(list.items) + " / " + join(names)};
  }
  const Control& box = s.controls().get("TFrameMEISSample.ComboEl_list");
  for (const std::string& name : names) {
    if (std::find(box.items.begin(), box.items.end(), name) == box.items.end()) {
      return Problem{"the element box misses an element of the composition",
                     join(box.items) + " / " + join(names)};
    }
  }
  for (const std::string& item : box.items) {
    if (st.elementMap.count(item) == 0 && st.elementProfiles.count(item) == 0) {
      return Problem{"the element box offers an element with no profile", item};
    }
  }
  const bool selected = box.itemIndex >= 0 && box.itemIndex < static_cast<int>(box.items.size());
  if (selected ? box.text != box.items[static_cast<std::size_t>(box.itemIndex)]
               : box.itemIndex != -1) {
    return Problem{"the element box shows another text than its selected item", box.text};
  }
  return std::nullopt;
}

// The shortest run of steps found within the time that still fails as the walk did. First the
// shortest failing tail (the last 1, 2, 4, ... steps: most faults need only the last few, and a
// tail replays in a moment where the whole walk takes minutes), then runs of halving length taken
// out from the end towards the start; the failing step is last and stays. stillFails(candidate)
// replays a candidate on a fresh session (it may cut the candidate at its failing step).
template <class Step, class StillFails>
std::vector<Step> shrinkSteps(std::vector<Step> steps, double seconds, StillFails&& stillFails) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const auto timeLeft = [&] { return std::chrono::steady_clock::now() < deadline; };
  for (std::size_t tail = 1; tail < steps.size() && timeLeft(); tail *= 2) {
    std::vector<Step> candidate(steps.end() - static_cast<std::ptrdiff_t>(tail), steps.end());
    if (stillFails(candidate)) {
      steps = std::move(candidate);
      break;
    }
  }
  for (std::size_t chunk = std::max<std::size_t>(1, steps.size() / 2); chunk >= 1; chunk /= 2) {
    std::size_t end = steps.size() - 1;
    while (end > 0) {
      if (!timeLeft()) return steps;
      const std::size_t begin = end >= chunk ? end - chunk : 0;
      std::vector<Step> candidate(steps.begin(),
                                  steps.begin() + static_cast<std::ptrdiff_t>(begin));
      candidate.insert(candidate.end(), steps.begin() + static_cast<std::ptrdiff_t>(end),
                       steps.end());
      if (stillFails(candidate)) {
        steps = std::move(candidate);
        end = std::min(begin, steps.size() - 1);
      } else {
        end = begin;
      }
    }
    if (chunk == 1) break;
  }
  return steps;
}

}  // namespace tarvex::walk
