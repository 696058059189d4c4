// tarvex.Session: the whole program without windows, driven by tarvex-cli's script lines.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "bindings.h"
#include "cli/script.h"
#include "convert.h"
#include "state/session.h"

namespace tarvex::py {
namespace {

// A line that fails: the command's messages and how it failed.
struct CommandFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class PySession {
 public:
  PySession() : runner_(std::make_unique<ScriptRunner>(out_, err_)) {}

  // Runs one line; returns what it printed. Raises ScriptError for a line that names something
  // unknown, CommandFailed for a command that failed or an expectation that did not hold.
  std::string line(const std::string& text) {
    std::string printed, errors;
    bool failed = false;
    {
      pyb::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      out_.str({});
      err_.str({});
      ++number_;
      const bool before = runner_->failed();
      runner_->line(text, number_);
      printed = out_.str();
      errors = err_.str();
      // failed() stays set once a line failed: compare with the marks of this line.
      failed = (!before && runner_->failed()) ||
               errors.find("failed: line " + std::to_string(number_) + ":") != std::string::npos;
    }
    log_ += errors;
    if (failed) {
      std::string why;
      std::istringstream lines(printed + errors);
      for (std::string l; std::getline(lines, l);) {
        if (l.rfind("message: ", 0) == 0 || l.rfind("failed: ", 0) == 0 ||
            l.rfind("ignored: ", 0) == 0 ||
            (l.rfind("status: ", 0) == 0 && l.find("ERROR") != std::string::npos)) {
          why += (why.empty() ? "" : "\n") + l;
        }
      }
      throw CommandFailed(why.empty() ? "line " + std::to_string(number_) + " failed" : why);
    }
    return printed;
  }

  std::string script(const std::string& textOrPath) {
    std::string text = textOrPath;
    if (textOrPath.find('\n') == std::string::npos) {
      std::ifstream file(textOrPath);
      if (!file)
        refuse("script", "no such script file '" + textOrPath + "' (give a path or lines)");
      std::ostringstream all;
      all << file.rdbuf();
      text = all.str();
    }
    std::string printed;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) {
      printed += line(l);
    }
    return printed;
  }

  std::string control(const std::string& key) {
    pyb::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!runner_->session().controls().has(key)) refuse("control", "unknown control '" + key + "'");
    std::string shown = printOf(key);
    if (!shown.empty() && shown.back() == '\n') shown.pop_back();
    return shown;
  }

  pyb::tuple series(const std::string& key) {
    std::vector<double> x, y;
    {
      pyb::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      ChartStore& charts = runner_->session().charts();
      if (!charts.has(key)) refuse("name", "unknown series '" + key + "'");
      for (const ChartPoint& p : charts.series(key).points) {
        x.push_back(p.x);
        y.push_back(p.y);
      }
    }
    return pyb::make_tuple(toArray(x), toArray(y));
  }

  std::string log() {
    pyb::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(mutex_);
    return runner_->session().logText();
  }

  std::string messages() const { return log_; }

  pyb::tuple profileOf(const pyb::object& element) {
    profile p;
    const bool nra = element.is_none();
    const std::string e = nra ? std::string() : std::string(pyb::str(element));
    {
      pyb::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      WorkingState& st = runner_->session().state();
      if (nra) {
        p = st.nraProfile;
      } else {
        const auto it = st.elementProfiles.find(e);
        if (it == st.elementProfiles.end()) refuse("element", "no profile of element '" + e + "'");
        p = it->second;
      }
    }
    std::vector<double> v(
        p.values.begin(),
        p.values.begin() + std::min<std::size_t>(p.values.size(), std::max(p.count, 0)));
    return pyb::make_tuple(toArray(v), p.step, p.startDepth);
  }

 private:
  std::string printOf(const std::string& key) {
    out_.str({});
    runner_->line("print " + key, number_);
    return out_.str();
  }

  std::mutex mutex_;
  std::ostringstream out_, err_;
  std::unique_ptr<ScriptRunner> runner_;
  int number_ = 0;
  std::string log_;
};

}  // namespace

void registerSession(pyb::module_& m) {
  using namespace pybind11::literals;
  auto base = pyb::register_exception<ScriptError>(m, "ScriptError", PyExc_ValueError);
  base.doc() = "A script line that names something unknown or is malformed.";
  auto failed = pyb::register_exception<CommandFailed>(m, "CommandFailed", PyExc_RuntimeError);
  failed.doc() =
      "A script line whose command failed (its messages) or whose expectation did not hold.";

  pyb::class_<PySession>(m, "Session", R"doc(
The whole program without windows, as tarvex-cli runs it: the fields, commands, charts and log
of one session, started with the program's start-up values.

    s = tarvex.Session()
    s.run("set TFNRP.EditMaxE 10")
    s.run("run CalcSimulation")
    x, y = s.series("ChartPrinc.SeriesPrinc")

Lines are tarvex-cli's script lines (tarvex-cli --help lists them and every action). A line
that names something unknown raises tarvex.ScriptError (a ValueError); a command that fails or
an expectation that does not hold raises tarvex.CommandFailed with the program's messages.
)doc")
      .def(pyb::init<>())
      .def("run", &PySession::line, "line"_a,
           "Runs one script line; returns what it printed (print, series, log lines).")
      .def("run_script", &PySession::script, "script"_a, R"doc(
Runs a script: its lines (a text of several lines) or the path of a .tvx file. Paths inside the
script are relative to the current folder, as for tarvex-cli. Returns what the lines printed;
stops at the first line that fails, raising as run() does.
)doc")
      .def("text", &PySession::control, "control"_a,
           "The text a control shows (an edit's text, on/off, a caption), as 'print' prints it.")
      .def("series", &PySession::series, "name"_a,
           "The points of a chart series ('Chart.Series') as two NumPy arrays (x, y).")
      .def("log", &PySession::log, "The text of the program's log window.")
      .def("messages", &PySession::messages,
           "The status texts and failure reports of the lines run so far.")
      .def("profile", &PySession::profileOf, "element"_a = pyb::none(), R"doc(
The current depth profile as (concentration, step, start): the resonant NRA profile, or the
profile of an ion-scattering element when named. The tuple fits the profile, step and start
arguments of the models.
)doc");
}

}  // namespace tarvex::py
