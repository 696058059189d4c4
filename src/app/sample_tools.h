// What the two sample builders share: clearing the element profiles, the redraw that keeps the
// sample window on the profile its selector shows, and numbers written into the fields.
#pragma once

#include <string>

#include "state/session.h"

namespace tarvex {

// Sets every point of every element profile of the composition to 0 (the contamination layer
// and the surface point included): the sample starts over from nothing.
void clearElementProfiles(Session& s);

// Redraws the profile display. In ion-scattering mode the sample window edits again the profile
// its element selector shows, whatever profile a builder drew into last.
void showSelectedProfile(Session& s);

// A number as the fields show it: general format, the session's decimal separator.
std::string general(const Session& s, double value);

}  // namespace tarvex
