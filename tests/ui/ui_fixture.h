// The windows over a fresh session, with a host that records what the user would have seen
// and never blocks: for the widget tests, the screenshots and the benchmark.
#pragma once

#include <QCoreApplication>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "state/session.h"
#include "ui/desktop.h"
#include "ui/gui_host.h"

namespace tarvex::ui::testing {

class FakeHost : public GuiHost {
 public:
  std::vector<std::string> messages;
  std::vector<FileDialog> dialogs;
  std::deque<std::optional<std::string>> files;
  std::deque<bool> answers;
  int events = 0;
  // Runs at every event point, after the pending events were processed.
  std::function<void()> onEvents;
  // The report pages whose print preview was run ("RNRA", "MEIS"); a preview is never shown.
  std::vector<std::string> previews;
  // What the "user" does with a preview (prints it, for instance).
  std::function<void(QPrintPreviewDialog&)> onPreview;

  void showMessage(const std::string& text) override { messages.push_back(text); }
  bool askYesNo(const std::string& text) override {
    messages.push_back(text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> openFile(const FileDialog& d) override { return file(d); }
  std::optional<std::string> saveFile(const FileDialog& d) override { return file(d); }
  void processEvents() override {
    ++events;
    QCoreApplication::processEvents();
    if (onEvents) onEvents();
  }
  // Served inside the long loops: the windows react, but no event point is counted.
  void serveEvents() override { QCoreApplication::processEvents(); }
  void runReportPreview(QPrintPreviewDialog& dialog) override {
    previews.push_back(dialog.objectName().toStdString());
    if (onPreview) onPreview(dialog);
  }

 private:
  std::optional<std::string> file(const FileDialog& d) {
    dialogs.push_back(d);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

template <class H = FakeHost>
struct Windows {
  QTemporaryDir folder;
  H host;
  Session session{host};
  std::unique_ptr<Desktop> desktop;

  Windows() {
    registerAllActions(session);
    session.state().startDirectory = folder.path().toStdString();
    desktop = std::make_unique<Desktop>(session, host, DesktopOptions{folder.path(), {}, true});
  }
  ~Windows() { desktop.reset(); }

  ControlStore& controls() { return session.controls(); }
  QLineEdit* edit(const std::string& key) const {
    const std::size_t dot = key.find('.');
    return desktop->form(key.substr(0, dot)).edit(key.substr(dot + 1));
  }
  QWidget* widget(const std::string& key) const {
    const std::size_t dot = key.find('.');
    return desktop->form(key.substr(0, dot)).widget(key.substr(dot + 1));
  }
  int points(const std::string& series) const {
    desktop->flush();
    const std::string chart = series.substr(0, series.find('.'));
    return desktop->chart(chart)->graphOf(series)->dataCount();
  }

  // A smooth dsigma/dE from 1 to 500 eV (about the stopping of the ion-scattering defaults).
  std::string crossSectionFile() const {
    const std::string path = folder.filePath(QStringLiteral("cs.dat")).toStdString();
    std::ofstream f(path);
    for (int i = 1; i <= 500; ++i)
      f << i << ' ' << 1.4e-17 / (1.0 + 0.01 * i * i / 25.0) << '\n';
    return path;
  }

  // Seven elements of one uniform 10 A layer (six hafnium isotopes and zirconium).
  void sevenElementSample(const std::string& crossSectionFile) {
    ControlStore& c = controls();
    session.setCheckedAsClick("TFOptions.RadioMEIS", true);
    c.setText("TFExternCS.EditCSFile", crossSectionFile);
    c.setText("TFExternCS.EditSCCFile", "");
    session.setCheckedAsClick("TFExternCS.RadioSCCBasic", true);
    struct El {
      const char *name, *z, *m, *qtd;
    };
    const El els[] = {{"Hafnium174", "72", "174", "0.146"},
                      {"Hafnium176", "72", "176", "4.8"},
                      {"Hafnium177", "72", "177", "17"},
                      {"Hafnium178", "72", "178", "24.9"},
                      {"Hafnium179", "72", "179", "12.43"},
                      {"Hafnium180", "72", "180", "32.03"},
                      {"Zr", "40", "91.2", "10"}};
    for (const El& e : els) {
      c.setText("TFMEIS.EditElname", e.name);
      c.setText("TFMEIS.EditZ", e.z);
      c.setText("TFMEIS.EditMass", e.m);
      c.setText("TFMEIS.EditSCL", "216.8");
      session.click("TFMEIS.ButtonAdd");
      auto& p = session.state().elementProfiles[e.name];
      for (double& v : p.values)
        v = std::stod(e.qtd);
    }
  }
};

}  // namespace tarvex::ui::testing
