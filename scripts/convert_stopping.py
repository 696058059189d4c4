#!/usr/bin/python3
"""Regenerates data/stopping/{proton,helium}.txt from the raw proton and alpha stopping tables.

Usage: scripts/convert_stopping.py RAW_FOLDER [OUT_FOLDER]

RAW_FOLDER holds PSTAR.dat, pstarEng.dat, ASTAR.dat and astarEng.dat: one block per target,
a header line `#ID:ION:N` followed by N stopping values (MeV cm^2/g), on the energy grid of the
matching *Eng.dat (first line the number of points, then the energies: MeV for protons, MeV per
nucleon for helium). Only the elements are kept (target IDs up to 98 are atomic numbers); the
energies are written as the ion's kinetic energy in keV, the stopping unchanged in MeV cm^2/g.
The numbers are rewritten in their shortest exact form, so each one reads back as the same
double as the raw text.
"""

import sys
from decimal import Decimal
from pathlib import Path

SYMBOLS = (
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se "
    "Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb "
    "Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am Cm "
    "Bk Cf"
).split()

IONS = (
    # output name, raw table, raw grid, ion number in the headers, grid unit to keV, caption
    ("proton", "PSTAR.dat", "pstarEng.dat", 1, Decimal(1000), "protons (NIST PSTAR)"),
    ("helium", "ASTAR.dat", "astarEng.dat", 2, Decimal(4000), "helium ions (NIST ASTAR)"),
)


def number(text):
    """The shortest text that reads back as the same double as `text`."""
    return repr(float(text))


def read_grid(path):
    lines = [line.strip() for line in path.read_text().splitlines() if line.strip()]
    count = int(lines[0])
    grid = lines[1:]
    if len(grid) != count:
        raise SystemExit(f"{path}: {count} energies announced, {len(grid)} found")
    return grid


def read_blocks(path, ion, count):
    blocks = {}
    current = None
    for lineno, raw in enumerate(path.read_text().splitlines(), 1):
        line = raw.strip()
        if not line:
            continue
        if line.startswith("#"):
            target, block_ion, n = (int(f) for f in line[1:].split(":"))
            if block_ion != ion or n != count:
                raise SystemExit(f"{path}:{lineno}: unexpected header {line}")
            current = [] if target <= 98 else None
            if current is not None:
                blocks[target] = current
        elif current is not None:
            float(line)  # refuses what is no number
            current.append(line)
    for target, values in blocks.items():
        if len(values) != count:
            raise SystemExit(f"{path}: target {target} has {len(values)} values, not {count}")
    return blocks


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    raw = Path(sys.argv[1])
    out = Path(sys.argv[2]) if len(sys.argv) == 3 else Path(__file__).parent.parent / "data/stopping"
    for name, table, grid_file, ion, to_kev, caption in IONS:
        grid = read_grid(raw / grid_file)
        blocks = read_blocks(raw / table, ion, len(grid))
        energies = [number(Decimal(e) * to_kev) for e in grid]
        lines = [
            f"# Electronic stopping of {caption} in the elements, after ICRU Report 49.",
            "# Regenerate with scripts/convert_stopping.py; see README.md in this folder.",
            "# First line: the ion's kinetic energy in keV. Then one line per element: atomic",
            "# number, symbol, and the stopping in MeV cm^2/g at each energy.",
            "keV " + " ".join(energies),
        ]
        for z in sorted(blocks):
            lines.append(f"{z} {SYMBOLS[z - 1]} " + " ".join(number(v) for v in blocks[z]))
        (out / f"{name}.txt").write_text("\n".join(lines) + "\n")
        print(f"{name}: {len(grid)} energies, elements {' '.join(map(str, sorted(blocks)))}")


if __name__ == "__main__":
    main()
