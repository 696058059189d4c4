// Host: the services only a front end can give (messages, questions, file dialogs, pending
// events). The GUI implements it with dialogs, tarvex-cli with scripted answers, tests with fakes.
#pragma once

#include <optional>
#include <string>

namespace tarvex {

// What became of a report page written as a PDF.
enum class ReportPdf { Unsupported, Written, Failed };

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
  // The same from inside a long loop, where it looks for a stop: every few milliseconds of work,
  // so at moments that depend on the machine's speed (hosts that count event points to act at
  // a given one leave these out).
  virtual void serveEvents() { processEvents(); }
  // Paints the client area of a window (a form, "TFLayers") into a report picture
  // ("TFReport.QRImage1"); a front end without windows paints nothing.
  virtual void paintWindowIntoReport(const std::string& /*form*/, const std::string& /*picture*/) {}
  // Shows a filled report page ("RNRA" or "MEIS") in the print preview, from which it prints.
  // A front end may open the preview once the command that asked for it has ended.
  virtual void showReportPreview(const std::string& /*page*/) {}
  // Shows the report window (already marked visible in the store) in front of the others.
  virtual void showReportWindow() {}
  // Writes a filled report page as a one-page PDF, whole or not at all (Failed: no file, and
  // a file of that name that was there stays as it was). A front end without the page painter
  // answers Unsupported.
  virtual ReportPdf writeReportPdf(const std::string& /*page*/, const std::string& /*file*/) {
    return ReportPdf::Unsupported;
  }
  // A new status text (already stored in the status controls).
  virtual void statusChanged(const std::string& /*text*/) {}
  // The session starts (true) or ends (false) a command. While busy it refuses every other
  // command but "Stop"; a front end disables its commands and shows that work is going on.
  virtual void busyChanged(bool /*busy*/) {}
  // The running command waits for the user's answer to a file dialog or a question (true), or
  // got it (false): meanwhile it does no work, and a front end does not show it as working.
  virtual void waitingForUser(bool /*waiting*/) {}
};

}  // namespace tarvex
