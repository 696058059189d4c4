// The external cross-section model: the single-collision distribution and the collision rate
// come from a dsigma/dE table of the sample material and its molecular density.
#pragma once

#include <string>

namespace tarvex {

class Session;

void CalcMEISAutosExt(Session& s);
void CalcNumericMEISExt(Session& s);
// "Load SCC": convolves the editor element's external-CS spectrum with the SCC file once more.
void LoadSCC(Session& s);
// The "..." buttons of the external cross-section window.
void chooseLossFile(Session& s, const std::string& editKey);

}  // namespace tarvex
