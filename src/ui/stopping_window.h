// The stopping window: the sample and the ion, the values for the current mode's energy-loss
// fields with their units, the commands, what the last command did, the text of each element's
// stopping and source, and a chart of the compound's stopping against the energy (logarithmic
// energy axis) with the energy chosen marked; laid out over the controls of the form
// "TFStopping".
#pragma once

#include <QWidget>

#include "state/session.h"
#include "ui/form.h"

namespace tarvex::ui {

class ChartView;

// Lays out the widgets of `f` (form "TFStopping") in the window `w`.
void buildStoppingWindow(Session& session, Form& f, QWidget* w);

// The chart of a window made by buildStoppingWindow.
ChartView* stoppingWindowChart(QWidget* w);

}  // namespace tarvex::ui
