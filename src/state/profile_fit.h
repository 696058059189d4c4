// Fitting a depth profile to a thickness: the number of whole points that cover it, checked
// before any profile changes, and the same count again when the thickness written back from it
// is read once more.
#pragma once

#include <cstddef>
#include <string>

#include "core/profile.h"

namespace tarvex {

// ceil(thickness/step) points (none for a thickness at or below 0), where a quotient that lies
// only a few ulps above a whole number counts as that number: count*step, written into a field
// and read back, gives count again. Throws, naming the fields, for a depth step that is not
// positive and for more points than a profile can hold.
// thicknessName names the thickness in the message ("\"Thickness\"").
int pointsFor(double thickness, double step, const std::string& stepField,
              const std::string& thicknessName = "\"Thickness\"");
// Throws, naming the fields, when `profiles` depth profiles holding `together` points in all
// would hold more than all depth profiles may (the ion-scattering composition keeps one profile
// per element, all of one thickness).
void checkProfilesTogether(double together, std::size_t profiles, const std::string& stepField,
                           const std::string& thicknessName = "\"Thickness\"");
// Resizes p to pointsFor(thickness, p.step) points, keeping the values at their index.
void fitThickness(profile& p, double thickness, const std::string& thicknessName = "\"Thickness\"");

class Session;
// At start-up, after the settings were applied: the settings bring back the resonant NRA frame's
// "Thickness" and "Contamination" but no profile, so the start profile takes the size those
// fields give, as "Update plot" would give it (no edit to undo). A size the program refuses
// leaves the profile and writes its size into the fields instead, with a status text.
void fitStartProfileToFields(Session& s);

}  // namespace tarvex
