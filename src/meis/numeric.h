// The numeric ion-scattering model: per-element tables of n-fold 1/E^2 loss distributions,
// mixed with the profile-integrated Poisson weights of n collisions.
#pragma once

namespace tarvex {

class Session;

void CalcMEISAutos(Session& s);
void CalcNumericMEIS(Session& s);

}  // namespace tarvex
