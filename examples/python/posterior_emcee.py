#!/usr/bin/python3
"""The posterior of a layer's thickness and concentration from synthetic counts, sampled with
emcee: thousands of calls of the numeric model, its collision table built once.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/posterior_emcee.py
"""
import argparse

import emcee
import numpy as np

import tarvex

ENERGY = np.arange(150.0, 159.0, 0.1)
DOSE = 1000.0


def expected(thickness, concentration):
    curve = tarvex.nra.numeric(layers=[(thickness, concentration)], max_energy_kev=10,
                               dose=DOSE, step=0.05)
    return np.interp(ENERGY, curve.energy_kev, curve.counts, left=0.0, right=0.0)


def log_probability(theta, counts):
    """Poisson log-likelihood with flat priors: thickness 0..30 Å, concentration 0..2."""
    thickness, concentration = theta
    if not (0.5 < thickness < 30.0 and 0.0 < concentration < 2.0):
        return -np.inf
    m = np.maximum(expected(thickness, concentration), 1e-12)
    return float(np.sum(counts * np.log(m) - m))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--steps", type=int, default=150, help="steps of each walker")
    parser.add_argument("--walkers", type=int, default=16)
    parser.add_argument("--seed", type=int, default=2)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    counts = rng.poisson(expected(8.0, 0.6)).astype(float)

    start = np.array([8.0, 0.6]) + 1e-2 * rng.standard_normal((args.walkers, 2))
    sampler = emcee.EnsembleSampler(args.walkers, 2, log_probability, args=(counts,))
    np.random.seed(args.seed)  # emcee draws its moves from NumPy's global generator
    sampler.run_mcmc(start, args.steps)
    chain = sampler.get_chain(discard=args.steps // 3, flat=True)
    for name, values in zip(("thickness (Å)", "concentration"), chain.T):
        print(f"{name:>14}: {np.median(values):.4f} ± {np.std(values):.4f}")
    print(f"{args.walkers * args.steps} model calls, acceptance "
          f"{np.mean(sampler.acceptance_fraction):.2f}")


if __name__ == "__main__":
    main()
