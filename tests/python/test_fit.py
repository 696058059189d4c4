"""tarvex.fit: the layered fit is unbiased with uncertainties that cover the truth, a model of
one's own fitted through a callable finds the same best values, and weighted least squares gives
the textbook solution."""
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
