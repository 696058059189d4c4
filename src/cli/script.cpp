#include "cli/script.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "app/app.h"
#include "core/numtext.h"
#include "io/files.h"
#include "state/action_catalogue.h"
#include "state/drawing.h"
#include "state/session.h"

namespace tarvex {

void ScriptHost::showMessage(const std::string& text) {
  out_ << "message: " << text << '\n';
}

bool ScriptHost::askYesNo(const std::string& text) {
  out_ << "question: " << text << '\n';
  if (questions_.empty()) return false;  // no queued answer: the question is dismissed
  const bool yes = questions_.front();
  questions_.pop_front();
  return yes;
}

std::optional<std::string> ScriptHost::fileAnswer(Answer kind) {
  if (files_.empty()) return std::nullopt;
  const auto [queued, path] = files_.front();
  if (queued != kind && queued != Answer::Cancel) return std::nullopt;
  files_.pop_front();
  if (queued == Answer::Cancel) return std::nullopt;
  return path;
}

std::optional<std::string> ScriptHost::openFile(const FileDialog& /*dialog*/) {
  return fileAnswer(Answer::Open);
}

std::optional<std::string> ScriptHost::saveFile(const FileDialog& /*dialog*/) {
  return fileAnswer(Answer::Save);
}

void ScriptHost::statusChanged(const std::string& text) {
  err_ << "status: " << text << '\n';
}

namespace {

ReportPdfWriter& reportPdfWriter() {
  static ReportPdfWriter writer;
  return writer;
}

}  // namespace

void setReportPdfWriter(ReportPdfWriter writer) {
  reportPdfWriter() = std::move(writer);
}

ReportPdf ScriptHost::writeReportPdf(const std::string& page, const std::string& file) {
  const ReportPdfWriter& writer = reportPdfWriter();
  if (!writer || session_ == nullptr) return ReportPdf::Unsupported;
  return writer(*session_, page, file);
}

void ScriptHost::queue(Answer kind, std::string path) {
  if (kind == Answer::Yes || kind == Answer::No) {
    questions_.push_back(kind == Answer::Yes);
  } else {
    files_.emplace_back(kind, std::move(path));
  }
}

namespace {

// Set by interruptScript(), possibly from a signal handler.
std::atomic<bool> interruptRequested{false};
std::atomic<CancelToken*> runningToken{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free &&
                  std::atomic<CancelToken*>::is_always_lock_free,
              "interruptScript() must be safe in a signal handler");

// Splits off the first blank-separated word; rest receives what follows the single blank.
std::string word(const std::string& line, std::string* rest) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string::npos) {
    *rest = "";
    return line;
  }
  *rest = line.substr(blank + 1);
  return line.substr(0, blank);
}

std::string number17(double v) {
  char buf[40];
  return std::string(buf,
                     std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17).ptr);
}

// "x y" a line, 17 significant digits, '.' whatever the locale.
void writeSeries(const Series& s, std::ostream& out) {
  for (const ChartPoint& p : s.points)
    out << number17(p.x) << ' ' << number17(p.y) << '\n';
}

// A number of a script line: '.' decimals, whatever the locale.
double scriptNumber(const std::string& text, const std::string& what) {
  try {
    return parseFloat(text, '.');
  } catch (const std::exception&) {
    throw ScriptError(what + " must be a number, not '" + text + "'");
  }
}

// The sum of y times the spacing of x (the mean spacing, for a grid that is not uniform).
double seriesArea(const Series& s) {
  const std::size_t n = s.points.size();
  if (n < 2) return 0.0;
  double sum = 0.0;
  for (const ChartPoint& p : s.points)
    sum += p.y;
  return sum * (s.points.back().x - s.points.front().x) / static_cast<double>(n - 1);
}

// The mean of x weighted by y (the mean energy of a spectrum); NaN when y sums to 0.
double seriesMean(const Series& s) {
  double sum = 0.0, moment = 0.0;
  for (const ChartPoint& p : s.points) {
    sum += p.y;
    moment += p.x * p.y;
  }
  return sum != 0.0 ? moment / sum : std::nan("");
}

// The value at x interpolated linearly between the two points around it; nothing outside.
std::optional<double> seriesAt(const Series& s, double x) {
  const auto& p = s.points;
  for (std::size_t i = 0; i + 1 < p.size(); ++i) {
    const double a = p[i].x, b = p[i + 1].x;
    if ((a <= x && x <= b) || (b <= x && x <= a)) {
      if (a == b) return p[i].y;
      const double t = (x - a) / (b - a);
      return p[i].y + t * (p[i + 1].y - p[i].y);
    }
  }
  if (p.size() == 1 && p[0].x == x) return p[0].y;
  return std::nullopt;
}

// How print and expect show a control: an edit's text, "on"/"off", a caption.
std::string shown(const Control& c) {
  switch (c.kind) {
    case ControlKind::Check:
    case ControlKind::Radio:
    case ControlKind::MenuItem:
      return c.checked ? "on" : "off";
    case ControlKind::List:
      return c.itemIndex >= 0 ? c.items[static_cast<std::size_t>(c.itemIndex)] : std::string();
    case ControlKind::Button:
    case ControlKind::Form:
    case ControlKind::Frame:
      return c.caption;
    default:
      return c.text;
  }
}

constexpr const char* kScriptLines =
    "Script lines (one a line; '#' starts a comment; numbers use '.'):\n"
    "  set Form.Control TEXT            types TEXT into a control\n"
    "  check Form.Control on|off        clicks a check box or radio button into that state\n"
    "                                   (a radio button is turned off by checking another)\n"
    "  select Form.Control ITEM         selects an item of a list, combo box or radio group\n"
    "  click Form.Control               presses a button or menu item, clicks a check box or\n"
    "                                   radio button\n"
    "  run ACTION                       runs an action (below)\n"
    "  mouse CHART X Y up|down [shift]  the mouse over ChartNRPProf or ChartMEISProf at depth X,\n"
    "                                   concentration Y, left button up or down (draws)\n"
    "  answer open PATH | save PATH | cancel | yes | no\n"
    "                                   the answer to the next file dialog or question\n"
    "  print Form.Control               prints a text, on/off, the items of a list or a caption\n"
    "  series Chart.Series [FILE]       prints the points \"x y\", or writes them to FILE\n"
    "  log                              prints the log\n"
    "  expect Form.Control TEXT         the control shows TEXT (an edit's text, on/off, the\n"
    "                                   selected item of a list)\n"
    "  expect Chart.Series points N     the series has N points\n"
    "  expect Chart.Series area VALUE TOL\n"
    "                                   the sum of y times the spacing of x is VALUE within the\n"
    "                                   relative tolerance TOL (0.01: one percent)\n"
    "  expect Chart.Series mean VALUE TOL\n"
    "                                   the mean of x weighted by y is VALUE within the\n"
    "                                   relative tolerance TOL\n"
    "  expect Chart.Series at X VALUE TOL\n"
    "                                   y interpolated at X is VALUE within the relative\n"
    "                                   tolerance TOL (absolute when VALUE is 0)\n"
    "  help                             prints this text\n"
    "\n"
    "Exit status: 0 when every command succeeded and every expectation held; 1 when a command\n"
    "failed (an error message, a refused input, a failed write, an error status, \"Stopped\")\n"
    "or an expectation did not hold: the script runs on and the line is reported on standard\n"
    "error; 2 when a line names something unknown or is malformed: the script stops there;\n"
    "130 when interrupted (Ctrl+C): the command in progress stops, what finished is kept.\n";

}  // namespace

class ScriptRunner::Interpreter {
 public:
  Interpreter(std::ostream& out, std::ostream& err)
      : out_(out), err_(err), host_(out, err), session_(host_) {
    host_.attach(&session_);
    registerAllActions(session_);
  }

  Session& session() { return session_; }
  bool failed() const { return failed_; }

  void line(const std::string& raw, int number) {
    number_ = number;
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') return;
    text = text.substr(first);
    line_ = text;
    std::string rest;
    const std::string cmd = word(text, &rest);
    if (cmd == "set") {
      std::string value;
      const std::string key = word(rest, &value);
      requireControl(key);
      session_.controls().setText(key, value);
    } else if (cmd == "check") {
      check(rest);
    } else if (cmd == "select") {
      std::string item;
      const std::string key = word(rest, &item);
      const Control& c = requireControl(key);
      int index = -1;
      for (std::size_t i = 0; i < c.items.size(); ++i) {
        if (c.items[i] == item) index = static_cast<int>(i);
      }
      if (index < 0) throw ScriptError("unknown item '" + item + "' of " + key);
      if (!session_.effectivelyEnabled(key)) {
        refused(key + " is disabled");
      } else {
        commandDone(session_.select(key, index));
      }
    } else if (cmd == "click") {
      requireControl(rest);
      if (!session_.effectivelyEnabled(rest)) {
        refused(rest + " is disabled");
      } else {
        commandDone(session_.click(rest));
      }
    } else if (cmd == "run") {
      if (!session_.hasAction(rest)) throw ScriptError("unknown action '" + rest + "'");
      commandDone(session_.run(rest));
    } else if (cmd == "mouse") {
      const auto event = parseProfileMouse(rest);
      if (!event) throw ScriptError("malformed mouse line '" + rest + "'");
      commandDone(profileMouse(session_, *event));
    } else if (cmd == "answer") {
      answer(rest);
    } else if (cmd == "print") {
      print(requireControl(rest));
    } else if (cmd == "series") {
      std::string file;
      const std::string key = word(rest, &file);
      std::ostringstream text;
      writeSeries(requireSeries(key), text);
      if (file.empty()) {
        out_ << text.str();
      } else {
        try {
          writeFileAtomically(file, text.str());
        } catch (const std::exception& e) {
          host_.showMessage(e.what());
          fail("the series was not written");
        }
      }
    } else if (cmd == "log") {
      out_ << session_.logText();
      if (!session_.logText().empty() && session_.logText().back() != '\n') out_ << '\n';
    } else if (cmd == "expect") {
      expect(rest);
    } else if (cmd == "help") {
      out_ << helpText();
    } else {
      throw ScriptError("unknown command '" + cmd + "'");
    }
  }

 private:
  const Control& requireControl(const std::string& key) {
    if (!session_.controls().has(key)) throw ScriptError("unknown control '" + key + "'");
    return session_.controls().get(key);
  }

  const Series& requireSeries(const std::string& key) {
    if (!session_.charts().has(key)) throw ScriptError("unknown series '" + key + "'");
    return session_.charts().series(key);
  }

  void fail(const std::string& why) {
    failed_ = true;
    out_.flush();
    err_ << "failed: line " << number_ << ": " << line_ << ": " << why << '\n';
  }

  void refused(const std::string& why) {
    out_.flush();
    err_ << "ignored: " << why << '\n';
    fail("refused");
  }

  void commandDone(bool accepted) {
    if (!accepted) {
      fail("refused");
    } else if (session_.lastCommandFailed()) {
      fail("the command failed");
    }
  }

  void check(const std::string& rest) {
    std::string state;
    const std::string key = word(rest, &state);
    const Control& c = requireControl(key);
    if (c.kind != ControlKind::Check && c.kind != ControlKind::Radio &&
        c.kind != ControlKind::MenuItem) {
      throw ScriptError(key + " is not a check box or radio button");
    }
    if (state != "on" && state != "off") throw ScriptError("check takes 'on' or 'off'");
    const bool on = state == "on";
    if (!session_.effectivelyEnabled(key)) {
      refused(key + " is disabled");
    } else if (c.kind == ControlKind::Radio && !on && c.checked) {
      // A click never unchecks a radio button; checking another one of its group does.
      refused(key + " is a radio button: check another one of its group instead");
    } else {
      commandDone(session_.setCheckedAsClick(key, on));
    }
  }

  void answer(const std::string& rest) {
    std::string path;
    const std::string kind = word(rest, &path);
    using A = ScriptHost::Answer;
    if (kind == "open" && !path.empty()) {
      host_.queue(A::Open, path);
    } else if (kind == "save" && !path.empty()) {
      host_.queue(A::Save, path);
    } else if (kind == "cancel") {
      host_.queue(A::Cancel);
    } else if (kind == "yes") {
      host_.queue(A::Yes);
    } else if (kind == "no") {
      host_.queue(A::No);
    } else {
      throw ScriptError("answer takes open PATH, save PATH, cancel, yes or no");
    }
  }

  void print(const Control& c) {
    if (c.kind == ControlKind::List || c.kind == ControlKind::Combo) {
      for (const std::string& item : c.items)
        out_ << item << '\n';
      return;
    }
    out_ << shown(c) << '\n';
  }

  void expect(const std::string& rest) {
    std::string args;
    const std::string key = word(rest, &args);
    if (session_.controls().has(key)) {
      const std::string found = shown(session_.controls().get(key));
      if (found != args) unmet("'" + args + "'", "'" + found + "'");
      return;
    }
    const Series& s = requireSeries(key);
    std::istringstream in(args);
    std::string what;
    std::vector<std::string> v;
    in >> what;
    for (std::string t; in >> t;)
      v.push_back(t);
    const auto need = [&](std::size_t n, const char* form) {
      if (v.size() != n) throw ScriptError(std::string("expect ") + key + " " + form);
    };
    if (what == "points") {
      need(1, "points N");
      const double n = scriptNumber(v[0], "N");
      if (static_cast<double>(s.points.size()) != n) {
        unmet(v[0] + " points", std::to_string(s.points.size()) + " points");
      }
    } else if (what == "area") {
      need(2, "area VALUE TOL");
      const double want = scriptNumber(v[0], "VALUE"), tol = scriptNumber(v[1], "TOL");
      const double area = seriesArea(s);
      if (!within(area, want, tol)) unmet("area " + v[0] + " within " + v[1], number17(area));
    } else if (what == "mean") {
      need(2, "mean VALUE TOL");
      const double want = scriptNumber(v[0], "VALUE"), tol = scriptNumber(v[1], "TOL");
      const double mean = seriesMean(s);
      if (!within(mean, want, tol)) unmet("mean " + v[0] + " within " + v[1], number17(mean));
    } else if (what == "at") {
      need(3, "at X VALUE TOL");
      const double x = scriptNumber(v[0], "X"), want = scriptNumber(v[1], "VALUE"),
                   tol = scriptNumber(v[2], "TOL");
      const std::optional<double> y = seriesAt(s, x);
      if (!y) {
        unmet(v[1] + " at " + v[0], "no point around " + v[0]);
      } else if (!within(*y, want, tol)) {
        unmet(v[1] + " within " + v[2] + " at " + v[0], number17(*y));
      }
    } else {
      throw ScriptError("expect " + key +
                        " takes points N, area VALUE TOL, mean VALUE TOL or at X VALUE TOL");
    }
  }

  static bool within(double found, double want, double tol) {
    const double allowed = want == 0.0 ? tol : tol * std::fabs(want);
    return std::fabs(found - want) <= allowed;  // false for NaN
  }

  void unmet(const std::string& expected, const std::string& found) {
    failed_ = true;
    out_.flush();
    err_ << "failed: line " << number_ << ": " << line_ << ": expected " << expected << ", found "
         << found << '\n';
  }

  std::ostream& out_;
  std::ostream& err_;
  ScriptHost host_;
  Session session_;
  bool failed_ = false;
  int number_ = 0;
  std::string line_;
};

namespace {

// A host for listing the actions: says nothing.
class QuietHost : public Host {
 public:
  void showMessage(const std::string& /*text*/) override {}
  bool askYesNo(const std::string& /*text*/) override { return false; }
  std::optional<std::string> openFile(const FileDialog& /*dialog*/) override { return {}; }
  std::optional<std::string> saveFile(const FileDialog& /*dialog*/) override { return {}; }
};

}  // namespace

std::string helpText() {
  QuietHost host;
  Session session(host);
  registerAllActions(session);
  std::ostringstream out;
  out << "tarvex-cli " << kVersion
      << ": runs a script of user actions without windows.\n"
         "usage: tarvex-cli [SCRIPT]   (standard input without SCRIPT)\n"
         "       tarvex-cli --help | --version\n\n"
      << kScriptLines << "\nActions (run NAME), by category, with their captions:\n";
  std::vector<std::string> names = session.actionNames();
  const auto row = [&](const std::string& name, const char* caption, const char* category) {
    out << "  " << name << std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') << '"'
        << caption << '"';
    if (*category) out << "  (" << category << ')';
    out << '\n';
  };
  for (const ActionSpec& a : actionCatalogue()) {
    auto it = std::find(names.begin(), names.end(), a.name);
    if (it == names.end()) continue;
    row(a.name, a.caption, a.category);
    names.erase(it);
  }
  for (const std::string& name : names)
    row(name, name.c_str(), "");
  return out.str();
}

void interruptScript() {
  interruptRequested.store(true);
  if (CancelToken* t = runningToken.load()) t->request();
}

ScriptRunner::ScriptRunner(std::ostream& out, std::ostream& err)
    : interpreter_(std::make_unique<Interpreter>(out, err)) {}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::line(const std::string& text, int number) {
  interpreter_->line(text, number);
}

Session& ScriptRunner::session() {
  return interpreter_->session();
}

bool ScriptRunner::failed() const {
  return interpreter_->failed();
}

int runScript(std::istream& script, std::ostream& out, std::ostream& err) {
  ScriptRunner interpreter(out, err);
  interruptRequested.store(false);
  runningToken.store(&interpreter.session().cancelToken());
  struct Forget {
    ~Forget() { runningToken.store(nullptr); }
  } forget;
  std::string line;
  int number = 0;
  while (!interruptRequested.load() && std::getline(script, line)) {
    if (interruptRequested.load()) break;  // arrived while the line was being read
    ++number;
    try {
      interpreter.line(line, number);
    } catch (const ScriptError& e) {
      out.flush();
      err << "tarvex-cli: line " << number << ": " << e.what() << '\n';
      return exitStatus::badScript;
    }
    out.flush();  // what a line printed is out before the next one runs
  }
  if (interruptRequested.load()) {
    out.flush();
    err << "tarvex-cli: interrupted after line " << number << '\n';
    return exitStatus::interrupted;
  }
  return interpreter.failed() ? exitStatus::failed : exitStatus::ok;
}

}  // namespace tarvex
