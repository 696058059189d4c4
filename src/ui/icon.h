// The program's icon, drawn (an excitation curve over measured points), so the windows have it
// without an installed theme.
#pragma once

#include <QIcon>

namespace tarvex::ui {

QIcon programIcon();

}  // namespace tarvex::ui
