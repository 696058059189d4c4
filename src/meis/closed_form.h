// The Gaussian and Bessel ion-scattering engines.
#pragma once

namespace tarvex {

class Session;

void CalcGaussianMEIS(Session& s);
void CalcAnaliticMEIS(Session& s);

}  // namespace tarvex
