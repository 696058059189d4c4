// The stopping window's commands: "Calculate" computes the electronic stopping and straggling of
// the window's ion in the window's sample, and the values the current mode's two energy-loss
// fields would take; "Apply" writes those values into the fields, "Undo apply" puts back what
// they held; "Load table..." installs a stopping table of the user's own for an element or a
// compound. The stopping data of each ion, with the user's tables, stay with the session.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/stopping_calc.h"
#include "io/stopping_file.h"

namespace tarvex {

class Session;

// The values for the two energy-loss fields of a mode, and how they were obtained.
struct StoppingModeValues {
  bool nra = true;
  std::string stoppingKey;    // "TFNRP.Editdedx" or "TFMEIS.Editdedx"
  std::string stragglingKey;  // "TFNRP.EditS" or "TFMEIS.EditS"
  double stopping = 0.0;      // in the unit of the stopping field (eV/Å or eV/nm)
  double straggling = 0.0;    // Omega (resonant NRA) or eV^2/nm (ion scattering)
  std::string stoppingUnit;
  std::string stragglingUnit;
  // Ion scattering: the values at E0 and K*E0 whose mean the fields take.
  std::optional<MeisStoppingFields> meis;
  std::string elementName;  // the element whose kinematic factor gives K*E0
  double elementMass = 0.0;
  double scatteringAngle = 0.0;  // degrees
  // Why the values do not suit the mode (another ion than its projectile), empty when they do:
  // "Apply" refuses them with this message.
  std::string mismatch;
};

// One calculation of the window: what was asked, the result at the window's energy and the
// values for the current mode's fields.
struct StoppingCalculation {
  StoppingRequest request;
  StoppingIon ion = StoppingIon::Proton;
  StoppingResult atEnergy;
  StoppingModeValues mode;
};

// The stopping data of an ion in the session (the built-in data and the user's own tables).
StoppingSources& sessionStoppingSources(Session& s, StoppingIon ion);

// Reads the window's fields (and the mode's fields the values depend on) and computes. Throws
// std::invalid_argument (or the program's conversion error) with a message that names the field
// at fault; changes nothing.
StoppingCalculation calculateStopping(Session& s);

// The texts the two fields get for the values (the program's number format, four significant
// digits, the data are not known better, but every digit before the decimal separator).
std::string stoppingFieldText(double value, char decimalSeparator);

// "Stopping...", the menu entry and the buttons beside the stopping fields: shows the window
// with the energy and ion of the current mode.
void ShowStopping(Session& s);
// The energy and ion of the current mode into the window's fields (resonant NRA: the resonance
// energy and protons; ion scattering: the beam energy and the projectile).
void takeStoppingInputFromMode(Session& s);
void CalcStopping(Session& s);
void ApplyStopping(Session& s);
void UndoStopping(Session& s);
void LoadStoppingTable(Session& s);
// Installs a table read from the file `name` into the session's data of its ion (of the window's
// ion when the file names none): a table of one element replaces that element's data, a table
// of a compound replaces Bragg's rule for that composition (a table without a target is for the
// window's formula). Returns what was installed, for the status line. Throws (changing nothing)
// when the window's formula is needed and does not parse.
std::string installStoppingTable(Session& s, const StoppingFile& table, const std::string& name);

// Registers the commands above and gives the session its stopping state.
void registerStoppingActions(Session& s);

}  // namespace tarvex
