// A host for tests: records messages and status texts, answers dialogs from queues.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "state/host.h"
#include "state/session.h"

namespace tarvex::testing {

class RecordingHost : public Host {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> statuses;
  std::vector<FileDialog> dialogs;
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<bool> yesNoAnswers;
  std::vector<bool> busyChanges;
  int eventsProcessed = 0;
  // Events served from inside the long loops (counted apart: their moments depend on the
  // machine).
  int eventsServed = 0;
  // The report pages previewed and written ("RNRA", "MEIS"), and how often the window was shown.
  std::vector<std::string> previews;
  std::vector<std::pair<std::string, std::string>> pdfs;  // page, file
  ReportPdf pdfAnswer = ReportPdf::Unsupported;
  int reportWindowShown = 0;
  // What the "user" does whenever pending events are processed (a click during a calculation).
  std::function<void()> onProcessEvents;
  std::function<void()> onServeEvents;

  void showMessage(const std::string& text) override { messages.push_back(text); }
  bool askYesNo(const std::string& text) override {
    messages.push_back(text);
    if (yesNoAnswers.empty()) return false;
    const bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
  }
  std::optional<std::string> openFile(const FileDialog& d) override { return answer(d); }
  std::optional<std::string> saveFile(const FileDialog& d) override { return answer(d); }
  void processEvents() override {
    ++eventsProcessed;
    if (onProcessEvents) onProcessEvents();
  }
  void serveEvents() override {
    ++eventsServed;
    if (onServeEvents) onServeEvents();
  }
  void busyChanged(bool busy) override { busyChanges.push_back(busy); }
  void showReportPreview(const std::string& page) override { previews.push_back(page); }
  void showReportWindow() override { ++reportWindowShown; }
  ReportPdf writeReportPdf(const std::string& page, const std::string& file) override {
    pdfs.emplace_back(page, file);
    return pdfAnswer;
  }
  void statusChanged(const std::string& text) override { statuses.push_back(text); }

 private:
  std::optional<std::string> answer(const FileDialog& d) {
    dialogs.push_back(d);
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
};

// A session with every action registered, in the start-up state.
struct SessionFixture {
  RecordingHost host;
  Session session{host};
  SessionFixture() { registerAllActions(session); }
  void set(const std::string& key, const std::string& text) {
    session.controls().setText(key, text);
  }
  const std::string& text(const std::string& key) { return session.controls().text(key); }
  const Series& series(const std::string& key) { return session.charts().series(key); }
  void addElement(const std::string& name) {
    set("TFMEIS.EditElname", name);
    session.click("TFMEIS.ButtonAdd");
  }
  void meisMode() { session.setCheckedAsClick("TFOptions.RadioMEIS", true); }
};

}  // namespace tarvex::testing
