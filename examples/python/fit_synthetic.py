#!/usr/bin/python3
"""Fits a layer's thickness and concentration to synthetic counts (Poisson noise on the
numeric model's curve), with the program's layered fit.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/fit_synthetic.py
"""
import argparse

import numpy as np

import tarvex


def synthetic(thickness, concentration, dose, seed):
    """Measured counts of a layer: the model's counts at 2 eV spacing with Poisson noise."""
    truth = tarvex.nra.numeric(layers=[(thickness, concentration)], max_energy_kev=10, dose=dose)
    energy = np.arange(150.0, 159.0, 0.05)
    expected = np.interp(energy, truth.energy_kev, truth.counts, left=0.0, right=0.0)
    counts = np.random.default_rng(seed).poisson(expected).astype(float)
    return energy, counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    energy, counts = synthetic(thickness=8.0, concentration=0.6, dose=1000.0, seed=args.seed)
    result = tarvex.fit.layered(energy, counts, layers=[(5.0, 1.0)], dose=1000.0,
                                max_energy_kev=10)
    for name in result.names:
        print(f"{name:>16} = {result.values[name]:.4f} ± {result.uncertainties[name]:.4f}")
    print(f"deviance ratio {result.deviance_ratio:.3f} over {result.degrees_of_freedom} degrees "
          f"of freedom, {result.evaluations} evaluations")


if __name__ == "__main__":
    main()
