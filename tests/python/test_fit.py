"""tarvex.fit: the layered fit is unbiased with uncertainties that cover the truth (a resonant NRA
curve and a two-element ion-scattering spectrum), a model of one's own fitted through a callable
finds the same best values, and weighted least squares gives the textbook solution."""
import re

import numpy as np
import pytest

import tarvex

ENERGY = np.arange(150.0, 159.0, 0.05)
TRUTH = {"thickness1": 8.0, "concentration1": 0.6}
DOSE = 1000.0


def expected_counts():
    curve = tarvex.nra.numeric(layers=[(TRUTH["thickness1"], TRUTH["concentration1"])],
                               max_energy_kev=10, dose=DOSE)
    return np.interp(ENERGY, curve.energy_kev, curve.counts, left=0.0, right=0.0)


def test_layered_fit_is_unbiased_and_covers_the_truth():
    expected = expected_counts()
    pulls = {name: [] for name in TRUTH}
    ratios = []
    for seed in range(40):
        counts = np.random.default_rng(seed).poisson(expected).astype(float)
        r = tarvex.fit.layered(ENERGY, counts, layers=[(5.0, 1.0)], dose=DOSE, max_energy_kev=10)
        assert r.names == list(TRUTH)
        assert r.covariance.shape == (2, 2)
        assert np.allclose(np.sqrt(np.diag(r.covariance)), [r.uncertainties[n] for n in r.names])
        for name, truth in TRUTH.items():
            pulls[name].append((r.values[name] - truth) / r.uncertainties[name])
        ratios.append(r.deviance_ratio)
    for name, p in pulls.items():
        p = np.abs(np.array(p))
        assert abs(np.mean(pulls[name])) < 0.5, name  # 3 standard errors of the mean of 40
        assert 0.5 <= np.mean(p < 1.0) <= 0.85, name
        assert np.mean(p < 2.0) >= 0.85, name
    assert 0.9 < np.mean(ratios) < 1.1


# A hafnium oxide layer; the window reaches down below the oxygen edge (k = 0.845 at 100 keV).
MEIS_ELEMENTS = {"Hf": (72, 178.5, 216.8), "O": (8, 16, 102.2)}
MEIS_TRUTH = {"thickness1": 20.0, "concentration1_Hf": 0.33, "concentration1_O": 0.67}
MEIS_DOSE = 50.0
MEIS_WINDOW = dict(window_min_kev=75, window_max_kev=100)


def test_layered_fit_of_an_ion_scattering_spectrum_finds_thickness_and_composition():
    layer = (MEIS_TRUTH["thickness1"], {"Hf": MEIS_TRUTH["concentration1_Hf"],
                                        "O": MEIS_TRUTH["concentration1_O"]})
    spectrum = tarvex.meis.bessel(MEIS_ELEMENTS, layers=[layer], dose=MEIS_DOSE, **MEIS_WINDOW)
    energy, expected = spectrum.energy_kev[::5], spectrum.counts[::5]
    ratios = []
    for seed in range(6):
        counts = np.random.default_rng(seed).poisson(expected).astype(float)
        r = tarvex.fit.layered(energy, counts, [(15.0, {"Hf": 0.5, "O": 0.5})], model="bessel",
                               elements=MEIS_ELEMENTS, dose=MEIS_DOSE, **MEIS_WINDOW)
        assert r.names == list(MEIS_TRUTH)
        assert r.model == "bessel"
        for name, truth in MEIS_TRUTH.items():
            assert abs(r.values[name] - truth) < 3.0 * r.uncertainties[name], (seed, name)
        thickness, concentrations, sigma = r.layers[0]
        assert thickness == r.values["thickness1"] and sigma == 0.0
        assert concentrations == {"Hf": r.values["concentration1_Hf"],
                                  "O": r.values["concentration1_O"]}
        assert r.spread_ev == 180.0
        ratios.append(r.deviance_ratio)
    assert 0.85 < np.mean(ratios) < 1.15


@pytest.mark.parametrize("model,spectra,extra", [
    ("gaussian", "gaussian", {}),
    ("meis-numeric", "numeric", {}),
    ("external", "external", {"cross_section": np.exp(-np.arange(5000) / 300.0) * 1e-18}),
])
def test_each_ion_scattering_model_fits_its_own_spectrum(model, spectra, extra):
    layer = (MEIS_TRUTH["thickness1"], {"Hf": MEIS_TRUTH["concentration1_Hf"],
                                        "O": MEIS_TRUTH["concentration1_O"]})
    spectrum = getattr(tarvex.meis, spectra)(MEIS_ELEMENTS, layers=[layer], dose=MEIS_DOSE,
                                             **MEIS_WINDOW, **extra)
    expected = np.clip(spectrum.counts[::5], 0.0, None)
    counts = np.random.default_rng(1).poisson(expected).astype(float)
    r = tarvex.fit.layered(spectrum.energy_kev[::5], counts, [(15.0, {"Hf": 0.5, "O": 0.5})],
                           model=model, elements=MEIS_ELEMENTS, dose=MEIS_DOSE, **MEIS_WINDOW,
                           **extra)
    for name, truth in MEIS_TRUTH.items():
        assert abs(r.values[name] - truth) < 3.0 * r.uncertainties[name], name
    assert 0.7 < r.deviance_ratio < 1.3


def test_a_callable_of_tarvex_curves_finds_the_layered_fits_values():
    counts = np.random.default_rng(7).poisson(expected_counts()).astype(float)
    layered = tarvex.fit.layered(ENERGY, counts, layers=[(5.0, 1.0)], dose=DOSE,
                                 max_energy_kev=10)

    def model(thickness, concentration):
        return tarvex.nra.numeric(layers=[(thickness, concentration)], max_energy_kev=10,
                                  dose=DOSE)

    own = tarvex.fit.custom(model, ENERGY, counts, {"thickness": 5.0, "concentration": 1.0},
                            bounds={"thickness": (0.0, None), "concentration": (0.0, None)})
    assert own.converged and own.evaluations > 3
    for mine, theirs in (("thickness", "thickness1"), ("concentration", "concentration1")):
        u = layered.uncertainties[theirs]
        assert abs(own.values[mine] - layered.values[theirs]) < 0.05 * u
        assert own.uncertainties[mine] == pytest.approx(u, rel=0.05)


def test_weighted_least_squares_gives_the_closed_form_solution():
    rng = np.random.default_rng(3)
    x = np.linspace(0.0, 10.0, 50)
    sigma = 0.5 + 0.1 * x
    y = 2.0 + 0.7 * x + sigma * rng.standard_normal(x.size)
    r = tarvex.fit.custom(lambda a, b: a + b * x, x, y, {"a": 0.0, "b": 0.0}, sigma=sigma)
    design = np.column_stack([np.ones_like(x), x]) / sigma[:, None]
    cov = np.linalg.inv(design.T @ design)
    best = cov @ design.T @ (y / sigma)
    assert [r.values["a"], r.values["b"]] == pytest.approx(best, rel=1e-6)
    assert r.covariance == pytest.approx(cov, rel=1e-4)
    assert r.degrees_of_freedom == 48


@pytest.mark.parametrize("argument,kwargs", [
    ("free", dict(free=["thickness2"])),
    ("free", dict(free="thickness1")),
    ("bounds", dict(bounds={"thickness1": (5.0, 1.0)})),
    ("bounds", dict(bounds={"dose": 3})),
    ("counts", dict(counts=np.ones(3))),
    ("energy_kev", dict(energy_kev=np.array([150.0, np.inf]), counts=np.ones(2))),
    ("model", dict(model="other")),
    ("layers", dict(layers=[])),
    ("beam_spread_ev", dict(beam_spread_ev=-1.0)),
    ("max_iterations", dict(max_iterations=0)),
])
def test_bad_fit_arguments_raise_value_error_naming_them(argument, kwargs):
    args = dict(energy_kev=ENERGY, counts=np.ones(ENERGY.size), layers=[(5.0, 1.0)])
    args.update(kwargs)
    with pytest.raises(ValueError, match="^" + argument):
        tarvex.fit.layered(args.pop("energy_kev"), args.pop("counts"), args.pop("layers"),
                           **args)


def test_a_callable_that_misbehaves_raises():
    x = np.linspace(0.0, 1.0, 5)
    with pytest.raises(ValueError, match="returned 3 values for 5 points"):
        tarvex.fit.custom(lambda a: np.ones(3), x, np.ones(5), {"a": 1.0})
    with pytest.raises(ZeroDivisionError):
        tarvex.fit.custom(lambda a: 1 / 0, x, np.ones(5), {"a": 1.0})
    with pytest.raises(ValueError, match="^function"):
        tarvex.fit.custom(3, x, np.ones(5), {"a": 1.0})


MEIS_BAD = [
    ("elements", dict(model="bessel", elements=None)),
    ("elements", dict(model="numeric", elements=MEIS_ELEMENTS)),
    ("elements['O']", dict(model="gaussian", elements={"Hf": (72, 178.5, 216.8), "O": (8, 16)})),
    ("layers[0]", dict(model="bessel", layers=[(5.0, {"Hf": 0.3, "Si": 0.7})])),
    ("layers[0]", dict(model="bessel", layers=[(5.0, 1.0)])),
    ("free", dict(model="bessel", free=["concentration1"])),
    ("free", dict(model="bessel", free=["beam_spread_ev"])),
    ("spread_ev", dict(model="bessel", spread_ev=-1.0)),
    ("window_max_kev", dict(model="bessel", window_min_kev=100, window_max_kev=90)),
    ("cross_section", dict(model="external")),
    ("table_step_ev", dict(model="meis-numeric", auto=False, table_step_ev=0.0)),
    ("model", dict(model="meis_numeric")),
]


@pytest.mark.parametrize("argument,kwargs", MEIS_BAD)
def test_bad_ion_scattering_fit_arguments_raise_value_error_naming_them(argument, kwargs):
    args = dict(layers=[(5.0, {"Hf": 0.3, "O": 0.7})], elements=MEIS_ELEMENTS)
    args.update(kwargs)
    with pytest.raises(ValueError, match="^" + re.escape(argument)):
        tarvex.fit.layered(np.arange(90.0, 100.0, 0.5), np.ones(20), args.pop("layers"), **args)
