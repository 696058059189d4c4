// A seeded random walk through the session as a user drives it. The steps are tarvex-cli script
// lines drawn from the control catalogue and the action registry (never a hand-kept list) and
// run through the interpreter tarvex-cli uses, so a failing walk is its own replay script. After
// every line the session must be consistent: not busy, no number text that is not a number
// written by the program, no NaN or infinity in a chart series the inputs cannot explain, the
// element list and the element box built from the composition, a resonant curve mixed only from
// a collision table of the values the fields hold, and a refused line changed nothing. A failure is
// shrunk to a short script that still fails the same way.
//
// TARVEX_WALK_SEED and TARVEX_WALK_STEPS set the seed and the length of the walk with the
// changing seed (scripts/walk.sh runs long walks this way); TARVEX_WALK_SHRINK_SECONDS bounds the
// time spent shortening a failing script (120 s).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/nra_commands.h"
#include "cli/script.h"
#include "core/numtext.h"
#include "nra/numeric.h"
#include "state/session.h"
#include "support/temp_dir.h"
#include "support/walk_checks.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using walk::environmentNumber;
using walk::fixtureFiles;
using walk::hostileTexts;
using walk::ignored;
using walk::isNumberText;
using walk::nonFiniteText;
using walk::overflowingText;

// ---- The pool of steps -------------------------------------------------------------------------

struct Pool {
  std::vector<std::string> edits;
  std::map<std::string, std::string> designText;
  std::vector<std::string> toggles;  // check boxes and radio buttons
  std::vector<std::string> selects;  // lists, combo boxes, radio groups
  std::vector<std::string> clicks;   // buttons and menu items
  std::vector<std::string> actions;
  std::vector<std::string> loadActions, saveActions;
  std::vector<std::string> calcActions;  // the actions named "Calc..."
  std::vector<std::string> fixtures;
};

Pool makePool(Session& s) {
  Pool p;
  for (const ControlSpec& spec : controlCatalogue())
    p.designText[spec.key] = spec.text;
  for (const auto& [key, c] : s.controls().all()) {
    switch (c.kind) {
      case ControlKind::Edit:
        if (!c.readOnly) p.edits.push_back(key);
        break;
      case ControlKind::Check:
      case ControlKind::Radio:
        p.toggles.push_back(key);
        p.clicks.push_back(key);
        break;
      case ControlKind::List:
      case ControlKind::Combo:
      case ControlKind::RadioGroup:
        p.selects.push_back(key);
        break;
      case ControlKind::Button:
      case ControlKind::MenuItem:
        p.clicks.push_back(key);
        break;
      default:
        break;
    }
  }
  for (const std::string& name : s.actionNames()) {
    p.actions.push_back(name);
    if (name.rfind("Calc", 0) == 0) p.calcActions.push_back(name);
    const ActionSpec* spec = s.actionSpec(name);
    const std::string category = spec ? spec->category : "";
    if (category == "File-Load" || name.rfind("Load", 0) == 0) p.loadActions.push_back(name);
    if (category == "File-Save" || name.rfind("Save", 0) == 0 || name.rfind("Ex", 0) == 0) {
      p.saveActions.push_back(name);
    }
  }
  p.fixtures = fixtureFiles();
  return p;
}

// ---- Drawing steps -----------------------------------------------------------------------------

class Drawer {
 public:
  Drawer(const Pool& pool, std::uint64_t seed, std::string folder)
      : pool_(pool), rng_(seed), folder_(std::move(folder)) {}

  // The next lines (usually one; a file command comes with its dialog answer first).
  std::vector<std::string> next(const Session& s) {
    const int r = uniform(0, 99);
    if (r < 36) return {typeLine(s)};
    if (r < 47) return {toggleLine()};
    if (r < 55) {
      if (auto line = selectLine(s)) return {*line};
      return {typeLine(s)};
    }
    // A user edits a field and runs the same command again: one of the last commands.
    if (r < 63 && !recent_.empty())
      return {recent_[static_cast<std::size_t>(uniform(0, static_cast<int>(recent_.size()) - 1))]};
    if (r < 76) return {remember("click " + pick(pool_.clicks))};
    // The calculations are where tables and caches live: a third of the actions run is one.
    if (r < 88) {
      const bool calc = !pool_.calcActions.empty() && uniform(0, 2) == 0;
      return {remember("run " + pick(calc ? pool_.calcActions : pool_.actions))};
    }
    return fileLines();
  }

 private:
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  const std::string& pick(const std::vector<std::string>& v) {
    return v[static_cast<std::size_t>(uniform(0, static_cast<int>(v.size()) - 1))];
  }

  // An edit of a field the user can type into now, mostly near its design value.
  std::string typeLine(const Session& s) {
    // Half the time a field of the mode's own parameter frame, the one the user looks at.
    const std::string frame = uniform(0, 1) == 0 ? s.frame() + "." : "";
    std::vector<const std::string*> open;
    for (const std::string& key : pool_.edits) {
      if (s.effectivelyEnabled(key) && key.rfind(frame, 0) == 0) open.push_back(&key);
    }
    const std::string& key =
        open.empty()
            ? pick(pool_.edits)
            : *open[static_cast<std::size_t>(uniform(0, static_cast<int>(open.size()) - 1))];
    std::string text;
    if (uniform(0, 99) < 15) {
      text = pick(hostileTexts());
    } else {
      text = plausible(key);
    }
    return "set " + key + " " + text;
  }

  std::string plausible(const std::string& key) {
    const std::string design = pool_.designText.at(key);
    double v = 0.0;
    if (!isNumberText(design, &v)) {
      static const std::vector<std::string> names = {"Hf", "O", "Si", "Zr", "Al", "Ti", "N"};
      if (key.find("El") != std::string::npos) return pick(names);
      return design;
    }
    const bool whole = design.find_first_of(".eE") == std::string::npos;
    if (uniform(0, 9) == 0) return design;
    if (v == 0.0) return whole ? std::to_string(uniform(0, 3)) : formatGeneral(real(0.0, 2.0), 3);
    // Now and then a slip of a few orders of magnitude (eV/nm typed for eV/A, keV for MeV).
    const double scaled =
        v * (uniform(0, 19) == 0 ? std::pow(10.0, uniform(-3, 3)) : real(0.5, 2.0));
    if (whole) return std::to_string(std::max<long long>(1, std::llround(scaled)));
    return formatGeneral(scaled, 4);
  }

  std::string toggleLine() {
    const std::string& key = pick(pool_.toggles);
    return "check " + key + (uniform(0, 3) == 0 ? " off" : " on");
  }

  std::optional<std::string> selectLine(const Session& s) {
    const std::string& key = pick(pool_.selects);
    const Control& c = s.controls().get(key);
    std::vector<std::string> items = c.items;
    if (c.kind == ControlKind::RadioGroup && items.empty()) {
      // A radio group keeps its items in its design text, "Flat|Linear".
      std::istringstream in(c.text);
      for (std::string item; std::getline(in, item, '|');)
        items.push_back(item);
    }
    if (items.empty()) return std::nullopt;
    return "select " + key + " " + pick(items);
  }

  std::vector<std::string> fileLines() {
    const int r = uniform(0, 9);
    std::string answer;
    std::string action;
    if (r < 4) {
      answer = "answer open " + pick(pool_.fixtures);
      action = pick(pool_.loadActions);
    } else if (r < 7) {
      answer = "answer save " + folder_ + "/walk" + std::to_string(uniform(1, 4)) + ".dat";
      action = pick(pool_.saveActions);
    } else if (r == 7) {
      answer = "answer cancel";
      action = pick(uniform(0, 1) ? pool_.loadActions : pool_.saveActions);
    } else {
      answer = uniform(0, 1) ? "answer yes" : "answer no";
      action = pick(pool_.loadActions);
    }
    if (uniform(0, 4) == 0) return {answer};  // an answer no dialog asks for yet
    return {answer, "run " + action};
  }

  const std::string& remember(const std::string& line) {
    recent_.push_back(line);
    if (recent_.size() > 5) recent_.erase(recent_.begin());
    return recent_.back();
  }

  const Pool& pool_;
  std::mt19937_64 rng_;
  std::vector<std::string> recent_;
  std::string folder_;
};

// ---- Running and checking ----------------------------------------------------------------------

struct Failure {
  std::size_t line = 0;  // index of the line after which a check failed
  std::string kind;      // what went wrong, the same whatever values showed it
  std::string detail;
};

struct Snapshot {
  std::map<std::string, Control> controls;
  std::map<std::string, Series> series;
};

bool sameControl(const Control& a, const Control& b) {
  return a.text == b.text && a.caption == b.caption && a.enabled == b.enabled &&
         a.checked == b.checked && a.visible == b.visible && a.items == b.items &&
         a.itemIndex == b.itemIndex;
}

bool samePoints(const Series& a, const Series& b) {
  if (a.points.size() != b.points.size()) return false;
  for (std::size_t i = 0; i < a.points.size(); ++i) {
    const ChartPoint &p = a.points[i], &q = b.points[i];
    const bool sameX = p.x == q.x || (std::isnan(p.x) && std::isnan(q.x));
    const bool sameY = p.y == q.y || (std::isnan(p.y) && std::isnan(q.y));
    if (!sameX || !sameY) return false;
  }
  return true;
}

// One run of a script from a fresh session, checking after every line.
class Runner {
 public:
  Runner(double stepLimitSeconds, std::ostream* journal)
      : script_(out_, err_), limit_(stepLimitSeconds), journal_(journal) {
    chartObserver_ = session().charts().observe([this](const std::string& key) {
      if (session().charts().has(key)) changedSeries_[key] = overflowAllowed_;
    });
  }
  ~Runner() { session().charts().unobserve(chartObserver_); }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  Session& session() { return script_.session(); }
  double seconds() const { return seconds_; }

  // Runs one line and checks the session; the failure, if any. A line the interpreter cannot
  // read (an item that a shorter script does not have) is reported as kind "script".
  std::optional<Failure> step(const std::string& line, std::size_t index) {
    if (journal_) *journal_ << line << '\n' << std::flush;
    const std::optional<Snapshot> before =
        refusalExpected(line) ? std::optional<Snapshot>(snapshot()) : std::nullopt;
    overflowAllowed_ = anyOverflowingEdit();
    curveBefore_ = session().state().numericExcitation.values;
    out_.str({});
    err_.str({});
    const walk::StepClock clock;
    try {
      script_.line(line, static_cast<int>(index) + 1);
    } catch (const ScriptError& e) {
      return Failure{index, "script", e.what()};
    }
    const double took = clock.seconds();
    seconds_ += took;
    if (took > limit_) {
      return Failure{index, "a step ran longer than the limit",
                     "it ran " + std::to_string(took) + " s"};
    }
    if (line.rfind("set ", 0) == 0) {
      const std::size_t blank = line.find(' ', 4);
      const std::string key = line.substr(4, blank - 4);
      typed_[key] = blank == std::string::npos ? "" : line.substr(blank + 1);
    }
    if (before) {
      if (err_.str().find("refused") == std::string::npos) {
        return Failure{index, "a line on a disabled control was not refused", err_.str()};
      }
      if (auto f = changedSince(*before, index)) return f;
    }
    return check(index);
  }

 private:
  // A click, check or selection of a control that cannot take it now.
  bool refusalExpected(const std::string& line) {
    for (const char* cmd : {"click ", "check ", "select "}) {
      if (line.rfind(cmd, 0) != 0) continue;
      const std::string rest = line.substr(std::string(cmd).size());
      const std::string key = rest.substr(0, rest.find(' '));
      return session().controls().has(key) && !session().effectivelyEnabled(key);
    }
    return false;
  }

  Snapshot snapshot() { return {session().controls().all(), session().charts().all()}; }

  std::optional<Failure> changedSince(const Snapshot& before, std::size_t index) {
    for (const auto& [key, c] : session().controls().all()) {
      if (key.rfind("TFTarvex3.StatusBar1", 0) == 0 || key == "TFLog.EditLog") continue;
      auto it = before.controls.find(key);
      if (it == before.controls.end() || !sameControl(it->second, c)) {
        return Failure{index, "a refused line changed a control", key};
      }
    }
    for (const auto& [key, s] : session().charts().all()) {
      auto it = before.series.find(key);
      if (it == before.series.end() || !samePoints(it->second, s)) {
        return Failure{index, "a refused line changed a series", key};
      }
    }
    return std::nullopt;
  }

  bool anyOverflowingEdit() {
    for (const auto& [key, text] : typed_) {
      if (session().controls().text(key) == text && overflowingText(text)) return true;
    }
    return false;
  }

  // A resonant numeric curve computed in this line comes from a collision table built from the
  // fields as they are now: a table of other values (a cached one whose values were not
  // compared, one kept after a refused or stopped build) must not be mixed into it.
  std::optional<Failure> curveTable(std::size_t index) {
    Session& s = session();
    const WorkingState& st = s.state();
    // A curve put back as it was (a refused fit restores the state it copied) was not computed.
    if (st.numericExcitation.values == curveBefore_ || st.numericExcitation.values.empty() ||
        !s.nraMode()) {
      return std::nullopt;
    }
    TableKey now;
    try {
      now = nraTableKey(readNraTableParams(s));
    } catch (const std::exception&) {
      return std::nullopt;  // fields that do not convert build no table
    }
    if (std::any_of(now.values.begin(), now.values.end(), [](double v) { return std::isnan(v); })) {
      return std::nullopt;
    }
    if (!st.nraAutoValid || st.nraTableKey != now) {
      return Failure{
          index, "a resonant curve was mixed from a table of other parameters",
          st.nraAutoValid ? "the table's values differ from the fields" : "the table is not valid"};
    }
    return std::nullopt;
  }

  std::optional<Failure> check(std::size_t index) {
    Session& s = session();
    if (s.busy()) return Failure{index, "the session is busy after a line", ""};
    for (const auto& [key, c] : s.controls().all()) {
      if (c.kind != ControlKind::Edit || walk::holdsName(key) || !nonFiniteText(c.text)) {
        continue;
      }
      auto it = typed_.find(key);
      if (it != typed_.end() && it->second == c.text) continue;  // the user's own text
      const char* kind = "an edit shows a number that is not finite";
      if (!ignored(kind, key)) return Failure{index, kind, key + " = " + c.text};
    }
    for (const auto& [key, allowed] : changedSeries_) {
      if (allowed) continue;
      for (const ChartPoint& p : s.charts().series(key).points) {
        const char* kind = "a series holds a value that is not finite";
        if ((!std::isfinite(p.x) || !std::isfinite(p.y)) && !ignored(kind, key)) {
          return Failure{index, kind, key};
        }
      }
    }
    changedSeries_.clear();
    if (auto f = curveTable(index)) return f;
    return composition(index);
  }

  std::optional<Failure> composition(std::size_t index) {
    if (auto p = walk::compositionProblem(session())) return Failure{index, p->kind, p->detail};
    return std::nullopt;
  }

  std::ostringstream out_, err_;
  ScriptRunner script_;
  double limit_;
  std::ostream* journal_;
  double seconds_ = 0.0;
  int chartObserver_ = 0;
  bool overflowAllowed_ = false;
  std::vector<double> curveBefore_;
  std::map<std::string, bool> changedSeries_;
  std::map<std::string, std::string> typed_;
};

// ---- The walk ----------------------------------------------------------------------------------

struct Options {
  std::uint64_t seed = 1;
  int steps = 100;
  double stepLimitSeconds = walk::kStepLimitSeconds;
  double shrinkSeconds = 120.0;
};

struct Outcome {
  int linesRun = 0;
  double seconds = 0.0;
  std::optional<Failure> failure;
  std::vector<std::string> script;  // the shortest failing script found
  int shrinkRuns = 0;
};

void emptyFolder(const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
}

// A run works in an empty folder of its own: the program writes some files (default parameters,
// batch exports) into the folder it was started in, and reads them back from there.
class StartIn {
 public:
  explicit StartIn(const fs::path& folder) : previous_(fs::current_path()) {
    emptyFolder(folder);
    fs::current_path(folder);
  }
  ~StartIn() {
    std::error_code ec;
    fs::current_path(previous_, ec);
  }
  StartIn(const StartIn&) = delete;
  StartIn& operator=(const StartIn&) = delete;

 private:
  fs::path previous_;
};

// Runs a script from a fresh session; the first failure. Lines the interpreter cannot read (a
// selection of an item that a shorter script never made) change nothing and are dropped from
// the script.
std::optional<Failure> replay(std::vector<std::string>* script, const fs::path& folder,
                              double limit) {
  StartIn start(folder);
  Runner runner(limit, nullptr);
  std::vector<std::string> kept;
  std::optional<Failure> failure;
  for (const std::string& line : *script) {
    auto f = runner.step(line, kept.size());
    if (f && f->kind == "script") continue;
    kept.push_back(line);
    if (f) {
      failure = f;
      break;
    }
  }
  *script = std::move(kept);
  return failure;
}

// Removes lines while the script still fails the same way, as long as the time allows.
std::vector<std::string> shrink(std::vector<std::string> script, const Failure& failure,
                                const fs::path& folder, const Options& opts, int* runs) {
  return walk::shrinkSteps(std::move(script), opts.shrinkSeconds,
                           [&](std::vector<std::string>& candidate) {
                             ++*runs;
                             const auto f = replay(&candidate, folder, opts.stepLimitSeconds);
                             return f && f->kind == failure.kind;
                           });
}

Outcome walk(const Options& opts, const fs::path& folder, const fs::path& journalPath) {
  Outcome o;
  std::ofstream journal(journalPath);
  std::vector<std::string> lines;
  {
    StartIn start(folder / "files");
    Runner runner(opts.stepLimitSeconds, &journal);
    const Pool pool = makePool(runner.session());
    Drawer drawer(pool, opts.seed, (folder / "files").string());
    for (int step = 0; step < opts.steps && !o.failure; ++step) {
      for (const std::string& line : drawer.next(runner.session())) {
        lines.push_back(line);
        ++o.linesRun;
        if (auto f = runner.step(line, lines.size() - 1)) {
          o.failure = f;
          break;
        }
      }
    }
    o.seconds = runner.seconds();
  }
  if (!o.failure) return o;
  o.script = lines;
  if (o.failure->kind != "script") {
    o.script = shrink(lines, *o.failure, folder / "files", opts, &o.shrinkRuns);
    if (auto f = replay(&o.script, folder / "files", opts.stepLimitSeconds)) o.failure = f;
  }
  return o;
}

std::string replayText(const Outcome& o, std::uint64_t seed, const fs::path& folder) {
  std::ostringstream text;
  text << "# Random walk of seed " << seed << ": after the last line, " << o.failure->kind << " ("
       << o.failure->detail << ").\n"
       << "# Shrunk from " << o.linesRun << " lines to " << o.script.size()
       << ". Replay it from an empty folder:\n"
       << "#   rm -rf " << (folder / "files").string() << " && mkdir -p "
       << (folder / "files").string() << " && cd " << (folder / "files").string()
       << " && tarvex-cli ../replay.tvs\n";
  for (const std::string& line : o.script)
    text << line << '\n';
  return text.str();
}

// ---- The tests ---------------------------------------------------------------------------------

void walkAndReport(std::uint64_t seed, int steps) {
  testing::TempDir dir("walk");
  Options opts;
  opts.seed = seed;
  opts.steps = steps;
  opts.shrinkSeconds = static_cast<double>(
      environmentNumber("TARVEX_WALK_SHRINK_SECONDS").value_or(120));  // longer for long walks
  const fs::path journal = dir.path() / "journal.tvs";
  std::cout << "walk: seed " << seed << ", " << steps << " steps (TARVEX_WALK_SEED=" << seed
            << " replays it); lines as they run: " << journal.string() << std::endl;
  const Outcome o = walk(opts, dir.path(), journal);
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  std::cout << "walk: " << o.linesRun << " lines in " << o.seconds << " s of commands ("
            << (o.seconds > 0 ? o.linesRun / o.seconds : 0.0) << " lines/s)" << std::endl;
  if (!o.failure) return;
  // The replay script stays where a user can run it: tarvex-cli FILE.
  const fs::path kept = fs::temp_directory_path() / ("tarvex-walk-" + std::to_string(seed));
  emptyFolder(kept / "files");
  const std::string text = replayText(o, seed, kept);
  std::string script;
  for (const std::string& line : o.script)
    script += line + '\n';
  // The kept script names the kept folder for its saves.
  const std::string from = (dir.path() / "files").string(), to = (kept / "files").string();
  std::string keptText = text;
  for (std::size_t at = keptText.find(from); at != std::string::npos;
       at = keptText.find(from, at + to.size())) {
    keptText.replace(at, from.size(), to);
  }
  std::ofstream(kept / "replay.tvs") << keptText;
  FAIL() << "walk of seed " << seed << " failed after line " << o.failure->line + 1 << ": "
         << o.failure->kind << " (" << o.failure->detail << ")\n"
         << o.shrinkRuns << " shorter runs tried; the script is kept in "
         << (kept / "replay.tvs").string() << "\n"
         << keptText;
}

constexpr int kShortWalk = 400;
// The walk of a changing seed: longer where the steps run fast (an optimised build without the
// sanitizers runs some thousand lines a second), short under the sanitizers.
#if defined(NDEBUG) && !defined(TARVEX_SANITIZED)
constexpr int kChangingWalk = 5000;
#else
constexpr int kChangingWalk = kShortWalk;
#endif

TEST(Walk, ShrinkKeepsOnlyTheStepsAFaultNeeds) {
  // A fault that shows at step 99 when some earlier steps ran before it, in order.
  struct Case {
    std::vector<int> needs;
    std::vector<int> shortest;
  } cases[] = {{{99}, {99}}, {{98, 99}, {98, 99}}, {{3, 60, 99}, {3, 60, 99}}, {{0, 99}, {0, 99}}};
  for (const Case& c : cases) {
    std::vector<int> steps(100);
    for (int i = 0; i < 100; ++i)
      steps[static_cast<std::size_t>(i)] = i;
    int runs = 0;
    const auto fails = [&](std::vector<int>& candidate) {
      ++runs;
      std::size_t next = 0;
      for (int step : candidate) {
        if (next < c.needs.size() && step == c.needs[next]) ++next;
      }
      return next == c.needs.size() && candidate.back() == 99;
    };
    EXPECT_EQ(walk::shrinkSteps(steps, 60.0, fails), c.shortest);
    EXPECT_LT(runs, 120);
  }
}

TEST(Walk, FixedSeed) {
  walkAndReport(20261210, kShortWalk);
}

TEST(Walk, ChangingSeed) {
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  const std::uint64_t seed = static_cast<std::uint64_t>(
      environmentNumber("TARVEX_WALK_SEED").value_or(static_cast<long long>(now % 1000000007)));
  const int steps =
      static_cast<int>(environmentNumber("TARVEX_WALK_STEPS").value_or(kChangingWalk));
  walkAndReport(seed, steps);
}

// Runs a script with the checks of the walk (TARVEX_WALK_REPLAY=FILE); skipped without one.
TEST(Walk, Replay) {
  const char* file = std::getenv("TARVEX_WALK_REPLAY");
  if (!file || !*file) GTEST_SKIP() << "TARVEX_WALK_REPLAY names no script";
  std::ifstream in(file);
  ASSERT_TRUE(in) << file;
  std::vector<std::string> script;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') script.push_back(line);
  }
  testing::TempDir dir("walk-replay");
  StartIn start(dir.path());
  Runner runner(walk::kStepLimitSeconds, nullptr);
  for (std::size_t i = 0; i < script.size(); ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto f = runner.step(script[i], i);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (took > 1.0)
      std::cout << "line " << i + 1 << " took " << took << " s: " << script[i] << '\n';
    ASSERT_FALSE(f) << "after line " << i + 1 << " (" << script[i] << "): " << f->kind << " ("
                    << f->detail << ")";
  }
}

}  // namespace
}  // namespace tarvex
