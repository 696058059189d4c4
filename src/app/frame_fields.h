// Fields both calculation frames (TFNRP and TFMEIS) have under the same names.
#pragma once

#include <string>

#include "state/session.h"

namespace tarvex {

// "Auto Mode", and in manual mode "Step size", "# Convolutions:" and "Vector size:" of a frame.
inline void readTableGrid(Session& s, const std::string& frame, bool& autoMode, double& step,
                          int& nc, int& bins) {
  autoMode = s.controls().checked(frame + ".CheckAuto");
  if (autoMode) return;
  step = s.number(frame + ".EditStep");
  nc = s.integer(frame + ".EditNc");
  bins = s.integer(frame + ".EditVecsize");
}

}  // namespace tarvex
