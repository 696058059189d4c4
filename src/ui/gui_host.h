// The host of the desktop program: dialogs with Qt, pending events processed at most every
// 15 ms, and the busy state shown by the windows. Tests derive from GuiHost with fakes.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include "state/host.h"

class QPrintPreviewDialog;
class QWidget;

namespace tarvex::ui {

class Desktop;

// What every host of the windows shares: the windows follow the session's busy state, and the
// report's picture, window, print preview and PDF are the windows'.
class GuiHost : public Host {
 public:
  void attach(Desktop* desktop) { desktop_ = desktop; }
  void busyChanged(bool busy) override;
  void waitingForUser(bool waiting) override;
  void paintWindowIntoReport(const std::string& form, const std::string& picture) override;
  void showReportPreview(const std::string& page) override;
  void showReportWindow() override;
  ReportPdf writeReportPdf(const std::string& page, const std::string& file) override;
  // Runs a report's print preview, set up and ready: the program runs it as a modal dialog, from
  // which the page prints; a host that must not block (the tests) does something else with it.
  virtual void runReportPreview(QPrintPreviewDialog& dialog);

 protected:
  Desktop* desktop_ = nullptr;
};

// Converts "Description (*.a; *.b)|*.a; *.b|..." into Qt's "Description (*.a *.b);;...".
QString qtFilter(const std::string& filter);

class QtHost : public GuiHost {
 public:
  explicit QtHost(QString startFolder) : startFolder_(std::move(startFolder)) {}
  void showMessage(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  std::optional<std::string> openFile(const FileDialog& dialog) override;
  std::optional<std::string> saveFile(const FileDialog& dialog) override;
  void processEvents() override;

 private:
  QWidget* parent() const;
  std::optional<std::string> fileDialog(const FileDialog& dialog, bool save);

  QString startFolder_;
  QElapsedTimer sinceEvents_;
};

}  // namespace tarvex::ui
