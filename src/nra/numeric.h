// The numeric resonant NRA model: n-fold convolutions of a binned 1/E^2 single-collision
// distribution, weighted by the profile-integrated Poisson probabilities of n collisions.
#pragma once

namespace tarvex {

class Session;

// Single-collision parameters of a proton-mass projectile at the resonance energy.
struct SingleCollision {
  double emax = 0.0;    // largest transfer to a free electron, eV
  double r = 0.0;       // 0.001 S / Omega^2, per eV
  double emin = 0.0;    // smallest loss, from (Emax - Emin)/ln(Emax/Emin) = straggling/stopping
  double lambda = 0.0;  // mean loss per collision, eV
  double sigma1 = 0.0;  // standard deviation of one collision's loss, eV
};

SingleCollision singleCollision(double resonanceKeV, double stopping, double straggling);

// Builds nraLossDistributions (choosing step, count and size in Auto mode), with its log.
void CalcNRPAutos(Session& session);
void CalcNumericExcitation(Session& session);

}  // namespace tarvex
