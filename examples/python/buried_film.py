#!/usr/bin/python3
"""Resonance profiling of a 1 µm aluminium film, at the surface and under 11 µm of silicon.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/buried_film.py --out film.png

The program's layered target through its script lines: the same film at the surface (with and
without the single-collision statistics near the surface) and buried, plotted into a PNG.
"""
import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import tarvex  # noqa: E402

FIELDS = [
    "set TFNRP.EditEnrg 1683.57", "set TFNRP.EditLor 100", "set TFNRP.EditGauss 300",
    "check TFTarget.CheckLayered on", "set TFTarget.EditNuclideMass 26.98",
    "set TFTarget.EditTemperature 300",
]
FILM = ["set TFTarget.EditFormula{k} Al", "set TFTarget.EditDensity{k} 2.70",
        "set TFTarget.EditThick{k} 1 um", "set TFTarget.EditFraction{k} 1"]


def curve(lines):
    s = tarvex.Session()
    for line in FIELDS + lines + ["run CalcSimulation"]:
        s.run(line)
    return s.series("ChartPrinc.SeriesPrinc"), s.text("TFTarget.MemoResult")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="buried_film.png", help="the PNG to write")
    args = parser.parse_args()

    surface = ["set TFNRP.EditMaxE 45", "set TFTarget.EditLayers 1", "set TFTarget.EditStep 100"]
    surface += [f.format(k=1) for f in FILM]
    (x1, y1), memo1 = curve(surface)
    (x0, y0), _ = curve(surface + ["check TFTarget.CheckSurface off"])
    buried = ["set TFNRP.EditMaxE 420", "set TFTarget.EditLayers 2", "set TFTarget.EditStep 500",
              "set TFTarget.EditFormula1 Si", "set TFTarget.EditDensity1 2.33",
              "set TFTarget.EditThick1 11 um", "set TFTarget.EditFraction1 0"]
    buried += [f.format(k=2) for f in FILM]
    (x2, y2), memo2 = curve(buried)
    print(memo1 + memo2)
    area = sum(0.5 * (y2[i] + y2[i + 1]) * (x2[i + 1] - x2[i]) for i in range(len(x2) - 1))
    print(f"buried film: peak {max(y2):.1f} counts, area {area:.0f} counts keV")

    fig, (a, b) = plt.subplots(1, 2, figsize=(10, 4))
    a.plot(x1, y1, label="single collisions near the surface")
    a.plot(x0, y0, "--", label="Gaussian straggling only")
    a.set_title("1 µm Al at the surface")
    b.plot(x2, y2, color="C2")
    b.set_title("1 µm Al under 11 µm Si")
    for ax in (a, b):
        ax.set_xlabel("Beam energy (keV)")
        ax.set_ylabel("Counts")
    a.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(pathlib.Path(args.out), dpi=110)


if __name__ == "__main__":
    main()
