#include "cli/script.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "app/app.h"
#include "io/files.h"
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

void ScriptHost::queue(Answer kind, std::string path) {
  if (kind == Answer::Yes || kind == Answer::No) {
    questions_.push_back(kind == Answer::Yes);
  } else {
    files_.emplace_back(kind, std::move(path));
  }
}

namespace {

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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

// "x y" a line, 17 significant digits, '.' whatever the locale.
void writeSeries(const Series& s, std::ostream& out) {
  char buf[40];
  for (const ChartPoint& p : s.points) {
    out.write(buf,
              std::to_chars(buf, buf + sizeof buf, p.x, std::chars_format::general, 17).ptr - buf);
    out << ' ';
    out.write(buf,
              std::to_chars(buf, buf + sizeof buf, p.y, std::chars_format::general, 17).ptr - buf);
    out << '\n';
  }
}

class Interpreter {
 public:
  Interpreter(std::ostream& out, std::ostream& err)
      : out_(out), err_(err), host_(out, err), session_(host_) {
    registerAllActions(session_);
  }

  void line(const std::string& raw) {
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') return;
    text = text.substr(first);
    std::string rest;
    const std::string cmd = word(text, &rest);
    if (cmd == "set") {
      std::string value;
      const std::string key = word(rest, &value);
      requireControl(key);
      session_.controls().setText(key, value);
    } else if (cmd == "check") {
      std::string state;
      const std::string key = word(rest, &state);
      const Control& c = requireControl(key);
      if (c.kind != ControlKind::Check && c.kind != ControlKind::Radio &&
          c.kind != ControlKind::MenuItem) {
        throw ScriptError(key + " is not a check box or radio button");
      }
      if (state != "on" && state != "off") throw ScriptError("check takes 'on' or 'off'");
      if (!session_.effectivelyEnabled(key)) {
        err_ << "ignored: " << key << " is disabled\n";
      } else {
        session_.setCheckedAsClick(key, state == "on");
      }
    } else if (cmd == "select") {
      std::string item;
      const std::string key = word(rest, &item);
      const Control& c = requireControl(key);
      int index = -1;
      for (std::size_t i = 0; i < c.items.size(); ++i) {
        if (c.items[i] == item) index = static_cast<int>(i);
      }
      if (index < 0) throw ScriptError("unknown item '" + item + "' of " + key);
      session_.select(key, index);
    } else if (cmd == "click") {
      requireControl(rest);
      if (!session_.click(rest)) err_ << "ignored: " << rest << " is disabled\n";
    } else if (cmd == "run") {
      if (!session_.hasAction(rest)) throw ScriptError("unknown action '" + rest + "'");
      session_.run(rest);
    } else if (cmd == "answer") {
      answer(rest);
    } else if (cmd == "print") {
      print(requireControl(rest));
    } else if (cmd == "series") {
      std::string file;
      const std::string key = word(rest, &file);
      if (!session_.charts().has(key)) throw ScriptError("unknown series '" + key + "'");
      std::ostringstream text;
      writeSeries(session_.charts().series(key), text);
      if (file.empty()) {
        out_ << text.str();
      } else {
        try {
          writeFileAtomically(file, text.str());
        } catch (const std::exception& e) {
          host_.showMessage(e.what());
        }
      }
    } else if (cmd == "log") {
      out_ << session_.logText();
      if (!session_.logText().empty() && session_.logText().back() != '\n') out_ << '\n';
    } else {
      throw ScriptError("unknown command '" + cmd + "'");
    }
  }

 private:
  const Control& requireControl(const std::string& key) {
    if (!session_.controls().has(key)) throw ScriptError("unknown control '" + key + "'");
    return session_.controls().get(key);
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
    switch (c.kind) {
      case ControlKind::Check:
      case ControlKind::Radio:
      case ControlKind::MenuItem:
        out_ << (c.checked ? "on" : "off") << '\n';
        break;
      case ControlKind::List:
      case ControlKind::Combo:
        for (const std::string& item : c.items)
          out_ << item << '\n';
        break;
      case ControlKind::Button:
      case ControlKind::Form:
      case ControlKind::Frame:
        out_ << c.caption << '\n';
        break;
      default:
        out_ << c.text << '\n';
    }
  }

  std::ostream& out_;
  std::ostream& err_;
  ScriptHost host_;
  Session session_;
};

}  // namespace

int runScript(std::istream& script, std::ostream& out, std::ostream& err) {
  Interpreter interpreter(out, err);
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    try {
      interpreter.line(line);
    } catch (const ScriptError& e) {
      out.flush();
      err << "tarvex-cli: line " << number << ": " << e.what() << '\n';
      return 2;
    }
  }
  return 0;
}

}  // namespace tarvex
