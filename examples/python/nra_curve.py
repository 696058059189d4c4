#!/usr/bin/python3
"""The numeric and analytic excitation curves of a 10 Å layer, plotted into a PNG.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/nra_curve.py --out curve.png
"""
import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import tarvex  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="nra_curve.png", help="the PNG to write")
    parser.add_argument("--thickness", type=float, default=10.0, help="layer thickness (Å)")
    args = parser.parse_args()

    layers = [(args.thickness, 1.0)]  # (thickness Å, concentration), sharp edges
    numeric = tarvex.nra.numeric(layers=layers, max_energy_kev=10)
    analytic = tarvex.nra.analytic(layers=layers, max_energy_kev=10)
    print(f"numeric: Emin {numeric.emin_ev:.4g} eV, Emax {numeric.emax_ev:.5g} eV, "
          f"{numeric.collisions} collisions, table step {numeric.table_step_ev:.4g} eV")

    fig, ax = plt.subplots(figsize=(6, 4))
    ax.plot(numeric.energy_kev, numeric.counts, label="Numeric")
    ax.plot(analytic.energy_kev, analytic.counts, label="Bessel", linestyle="--")
    ax.set_xlabel("Beam energy (keV)")
    ax.set_ylabel("Yield")
    ax.set_title(f"{args.thickness:g} Å layer, resonance {numeric.resonance_kev:g} keV")
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.out, dpi=100)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
