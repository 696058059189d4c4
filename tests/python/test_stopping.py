"""tarvex.stopping: the calculator from Python, against hand sums and its refusals."""
import math

import pytest

import tarvex

AVOGADRO = 6.02214076e23


def test_hafnia_by_bragg_rule_with_units():
    s = tarvex.stopping("H", "HfO2", 9.68, 100.0)
    hf, o = s.elements
    assert (hf["symbol"], hf["count"], o["symbol"], o["count"]) == ("Hf", 1.0, "O", 2.0)
    assert "ICRU Report 49" in hf["source"] and "PSTAR" in o["source"]
    per_atom = (hf["stopping_ev_per_1e15_atoms_cm2"] + 2 * o["stopping_ev_per_1e15_atoms_cm2"]) / 3
    assert s.stopping_ev_per_1e15_atoms_cm2 == pytest.approx(per_atom, rel=1e-12)
    atoms = 9.68 / (178.49 + 2 * 15.999) * AVOGADRO * 3
    assert s.atoms_per_cm3 == pytest.approx(atoms, rel=1e-9)
    assert s.stopping_ev_per_nm == pytest.approx(per_atom * atoms * 1e-7 / 1e15, rel=1e-9)
    assert s.stopping_ev_per_nm == pytest.approx(10 * s.stopping_ev_per_angstrom)
    # Bohr: 4 pi e^4 Z2 N per unit path with the mean Z2 of the atoms, (72 + 16) / 3.
    bohr = 4 * math.pi * 1.439964548**2 * (88 / 3) * atoms * 1e-21  # eV^2/nm
    assert s.straggling_ev2_per_nm == pytest.approx(bohr, rel=1e-9)
    assert s.units["stopping_ev_per_nm"] == "eV/nm"
    assert s.units["straggling_ev2_per_nm"] == "eV^2/nm"
    assert s.source == "Bragg's rule"


def test_density_as_text_helium_and_chu():
    by_mass = tarvex.stopping("He", "SiO2", 2.32, 400.0)
    atoms = 2.32 / (28.085 + 2 * 15.999) * AVOGADRO * 3
    by_atoms = tarvex.stopping("alpha", "SiO2", f"{atoms} atoms/cm3", 400.0)
    assert by_atoms.stopping_ev_per_nm == pytest.approx(by_mass.stopping_ev_per_nm, rel=1e-9)
    chu = tarvex.stopping("He", "SiO2", "2.32 g/cm3", 400.0, straggling="chu")
    assert chu.straggling_model == "Chu (Yang et al.)"
    assert 0 < chu.straggling_ev2_per_nm < chu.bohr_straggling_ev2_per_nm


@pytest.mark.parametrize(
    "change, argument",
    [
        ({"ion": "Li"}, "ion"),
        ({"formula": "HfQ2"}, "formula"),
        ({"formula": "Hf(O2"}, "formula"),
        ({"density": 0.0}, "density"),
        ({"density": "9 kg/m3"}, "density"),
        ({"energy_kev": 1500.0}, "energy_kev"),  # beyond the Hf fit: refused, not extrapolated
        ({"energy_kev": -1.0}, "energy_kev"),
        ({"straggling": "lindhard"}, "straggling"),
    ],
)
def test_bad_arguments_raise_value_error_naming_them(change, argument):
    args = {"ion": "H", "formula": "HfO2", "density": 9.68, "energy_kev": 100.0}
    args.update(change)
    with pytest.raises(ValueError, match=argument):
        tarvex.stopping(**args)
