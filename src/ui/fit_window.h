// The fit window: the layer table of the fit model, which parameters are free, and the fit's
// commands and progress, laid out over the controls of the form "TFFit".
#pragma once

#include <QWidget>

#include "state/session.h"
#include "ui/form.h"

namespace tarvex::ui {

// Lays out the widgets of `f` (form "TFFit") in the window `w`.
void buildFitWindow(Session& session, Form& f, QWidget* w);

}  // namespace tarvex::ui
