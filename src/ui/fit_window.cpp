#include "ui/fit_window.h"

#include <QGridLayout>

#include "state/controls.h"

namespace tarvex::ui {

void buildFitWindow(Session& session, Form& f, QWidget* w) {
  // The fit's controls in catalogue order, in a grid.
  auto* grid = new QGridLayout(w);
  int n = 0;
  for (const ControlSpec& spec : controlCatalogue()) {
    const std::string key = spec.key;
    if (key.compare(0, 6, "TFFit.") != 0) continue;
    const std::string name = key.substr(6);
    if (!f.has(name)) continue;
    grid->addWidget(f.widget(name), n / 6, n % 6);
    ++n;
  }
  (void)session;
}

}  // namespace tarvex::ui
