// The desktop program's windows over one session: created in the program's start-up order,
// bound to the control and chart stores, following the session's busy state.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/report.h"
#include "state/session.h"
#include "ui/binder.h"
#include "ui/chart_view.h"
#include "ui/form.h"

class QAction;
class QDialog;
class QMenu;
class QProgressBar;
class QTabWidget;

namespace tarvex::ui {

// The tooltip of the Options window's "Background:" field, which is stored with the profile but
// not drawn.
inline constexpr const char* kOptionsBackgroundTip =
    "Stored with the profile: saved into and loaded from profile files (.pro) and the .pro file "
    "of \"Export all\". It is not drawn: the background under the curves (and in the report) is "
    "the line set in the \"Background\" window.";

class GuiHost;

// Sets the session's decimal separator and rewrites the numbers the edits show with it (the
// design texts are written with '.').
void useDecimalSeparator(Session& session, char separator);

struct DesktopOptions {
  QString startFolder;     // where file dialogs start
  QString settingsFile;    // window geometry; empty: not kept
  bool runStartUp = true;  // write "default.ini", apply "tarvex.ini"
};

class Desktop {
 public:
  Desktop(Session& session, GuiHost& host, DesktopOptions options);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  Session& session() { return s_; }
  Binder& binder() { return *binder_; }
  QMainWindow* mainWindow() const;
  // A window by its form name ("TFOptions", ...).
  QWidget* window(const std::string& form) const;
  ChartView* chart(const std::string& name) const;  // "ChartPrinc", "ChartNRPProf", ...
  const Form& form(const std::string& prefix) const;
  QMenu* popupMenu() const { return popup_; }
  // The menu entry of a menu item control, or of an action of the "Commands" menu.
  QAction* menuItem(const std::string& key) const;
  QAction* commandAction(const std::string& action) const;
  const std::vector<QAction*>& shortcutActions() const { return shortcuts_; }
  QWidget* stopButton() const;
  QProgressBar* busyIndicator() const { return busyBar_; }

  // The session started or ended a command.
  void setBusy(bool busy);
  // The running command waits for the user in a file dialog or a question (or no longer).
  void setWaitingForUser(bool waiting);
  bool busy() const { return busy_; }
  // Runs the main window's closing: false when it must stay open.
  bool mayCloseMainWindow();
  // Shows the cursor readout for a pixel position of the main chart.
  void readout(const QPoint& pixel);
  bool saveChart(const std::string& file);
  // Draws everything the stores changed and the log text still waiting (tests, benchmarks).
  void flush();

  // ---- Report ---------------------------------------------------------------------------------
  // The report window's page control ("RNRA" and "MEIS").
  QTabWidget* reportTabs() const { return reportTabs_; }
  // The ion-scattering page's picture (null until the layered sample's first layer painted it).
  const QImage& reportPicture() const { return reportPicture_; }
  // Paints a window's client area into the report's picture.
  void paintWindowIntoReport(const std::string& form, const std::string& picture);
  // Opens the print preview of a page once the command that asked for it has ended.
  void showReportPreview(ReportPage page);
  // The print preview of a page, run by the host now.
  void openReportPreview(ReportPage page);
  // Brings the report window to the front.
  void showReportWindow();
  // Writes a page as a PDF, whole or not at all.
  bool writeReportPdf(ReportPage page, const QString& file);

 private:
  void buildMain();
  void buildSample();
  void buildOptions();
  void buildLog();
  void buildAbout();
  void buildReport();
  void buildBackground();
  void buildUniformSample();
  void buildLayeredSample();
  void buildExternCS();
  void buildFit();
  void buildTarget();
  void buildStopping();
  QWidget* newWindow(const std::string& form, QWidget* w = nullptr);
  Form& makeForm(const std::string& prefix, QWidget* parent);
  void buildMenu(const std::string& menu, QWidget* owner, QMenu* top, QMenuBar* bar);
  void buildCommandsMenu(QMenu* menu);
  void registerWindowCommands();
  void applyOptionsHeight();
  void showForm(const std::string& form);
  void saveGeometry();
  void restoreGeometry();
  // The windows shown at start side by side on the screen (those the user placed stay).
  void placeFirstStartWindows();
  // A window shown for the first time in this run and never placed by the user: beside the
  // window it was opened from.
  void placeBesideOpener(const std::string& form);

  Session& s_;
  GuiHost& host_;
  DesktopOptions options_;
  std::unique_ptr<Binder> binder_;
  std::map<std::string, std::unique_ptr<Form>> forms_;
  std::vector<std::string> order_;  // forms in creation order
  std::map<std::string, QPointer<QWidget>> windows_;
  std::vector<std::unique_ptr<QWidget>> owned_;  // top-level windows, in creation order
  std::map<std::string, ChartView*> charts_;
  std::map<std::string, QAction*> menuItems_;
  std::map<std::string, QAction*> commands_;
  std::vector<QAction*> shortcuts_;
  QMenu* popup_ = nullptr;
  QAction* stopAction_ = nullptr;
  QWidget* optionsLower_ = nullptr;
  QProgressBar* busyBar_ = nullptr;
  QTabWidget* reportTabs_ = nullptr;
  QImage reportPicture_;
  bool busy_ = false;
  // Windows whose place the user chose in an earlier run (windows.conf), and windows shown in
  // this run: both keep their place, and only they are written back.
  std::set<std::string> restored_;
  std::set<std::string> shown_;
};

}  // namespace tarvex::ui
