// The fit window: the layer table of the fit model, which parameters are free and their bounds,
// the ion dose, shift, background and beam spread, the fit's commands, its progress and result,
// and a chart of the measured points under the current curve; laid out over the controls of the
// form "TFFit".
#pragma once

#include <QWidget>

#include "state/session.h"
#include "ui/form.h"

namespace tarvex::ui {

class ChartView;

// Lays out the widgets of `f` (form "TFFit") in the window `w`. While a command runs, the
// window stays enabled for its "Stop" button and its progress line; everything in it that
// starts or edits something is disabled until the command ends.
void buildFitWindow(Session& session, Form& f, QWidget* w);

// The chart of a window made by buildFitWindow.
ChartView* fitWindowChart(QWidget* w);

}  // namespace tarvex::ui
