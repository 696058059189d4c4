// Host: the services only a front end can give (messages, questions, file dialogs, pending
// events). The GUI implements it with dialogs, tarvex-cli with scripted answers, tests with fakes.
#pragma once

#include <optional>
#include <string>

namespace tarvex {

struct FileDialog {
  std::string title;
  std::string filter;      // "Data files (*.dat)|*.dat|All files (*.*)|*.*"
  std::string defaultExt;  // without the dot
  std::string fileName;    // prefilled name
};

class Host {
 public:
  virtual ~Host() = default;
  virtual void showMessage(const std::string& text) = 0;
  virtual bool askYesNo(const std::string& text) = 0;
  // The chosen file, or nothing when the user cancels.
  virtual std::optional<std::string> openFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> saveFile(const FileDialog& dialog) = 0;
  // Lets the front end repaint and react while a calculation runs; may throw to cancel.
  virtual void processEvents() {}
  // Paints the client area of a window (a form, "TFLayers") into a report picture
  // ("TFReport.QRImage1"); a front end without windows paints nothing.
  virtual void paintWindowIntoReport(const std::string& /*form*/, const std::string& /*picture*/) {}
  // A new status text (already stored in the status controls).
  virtual void statusChanged(const std::string& /*text*/) {}
  // The session starts (true) or ends (false) a command. While busy it refuses every other
  // command but "Stop"; a front end disables its commands and shows that work is going on.
  virtual void busyChanged(bool /*busy*/) {}
};

}  // namespace tarvex
