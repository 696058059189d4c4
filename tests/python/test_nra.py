"""The resonant NRA models through Python give tarvex-cli's curves bit for bit, keep their
collision tables in their caches, and refuse bad arguments with ValueError naming them."""
import pickle

import numpy as np
import pytest

import tarvex
from conftest import parse_series, run_cli

# The sample: a 10 Å layer drawn as the program draws it; the cases: the program's lines and
# the same case as keyword arguments.
SAMPLE = ["set TFNRP.EditMaxE 10", "set TFNRP.Editx2 10", "run Drawline"]
CASES = [
    ("numeric, Auto grid", "numeric", ["check TFOptions.RadioNumeric on"], {}),
    ("numeric, wider beam and resonance", "numeric",
     ["check TFOptions.RadioNumeric on", "set TFNRP.EditGauss 150", "set TFNRP.EditLor 60"],
     {"beam_spread_ev": 150.0, "resonance_fwhm_ev": 60.0}),
    ("numeric, not broadened", "numeric",
     ["check TFOptions.RadioNumeric on", "check TFOptions.CheckConv off"], {"convolve": False}),
    ("numeric, manual grid", "numeric",
     ["check TFOptions.RadioNumeric on", "check TFNRP.CheckAuto off", "set TFNRP.EditStep 8",
      "set TFNRP.EditNc 300", "set TFNRP.EditVecsize 1500"],
     {"auto": False, "table_step_ev": 8.0, "collisions": 300, "bins": 1500}),
    ("numeric, other loss, dose and background", "numeric",
     ["check TFOptions.RadioNumeric on", "set TFNRP.Editdedx 500", "set TFNRP.EditS 7",
      "set TFOptions.EditMult 3.5", "set TFNRP.EditEnrg 200"],
     {"stopping": 500.0, "straggling": 7.0, "dose": 3.5, "resonance_kev": 200.0}),
    ("analytic", "analytic", ["check TFOptions.RadioAnalitic on"], {}),
    ("analytic, not broadened, other straggling", "analytic",
     ["check TFOptions.RadioAnalitic on", "check TFOptions.CheckConv off", "set TFNRP.EditS 9"],
     {"convolve": False, "straggling": 9.0}),
]
SERIES = {"numeric": "ChartPrinc.SeriesPrinc", "analytic": "ChartPrinc.SeriesBessel"}


@pytest.mark.parametrize("name,model,lines,kwargs", CASES, ids=[c[0] for c in CASES])
def test_curves_equal_tarvex_cli_bit_for_bit(name, model, lines, kwargs):
    script = lines + SAMPLE + ["run CalcSimulation", f"series {SERIES[model]}"]
    x_cli, y_cli = parse_series(run_cli("\n".join(script) + "\n"))
    session = tarvex.Session()
    for line in lines + SAMPLE:
        session.run(line)
    conc, step, start = session.profile()
    assert conc.sum() > 0
    curve = getattr(tarvex.nra, model)(conc, step=step, start=start, max_energy_kev=10, **kwargs)
    assert len(x_cli) > 100
    assert curve.energy_kev.tolist() == x_cli
    assert curve.counts.tolist() == y_cli
    # The session's own series is the same.
    session.run("run CalcSimulation")
    x_s, y_s = session.series(SERIES[model])
    assert np.array_equal(x_s, curve.energy_kev) and np.array_equal(y_s, curve.counts)


def test_layers_give_the_profile_of_the_same_layers_as_an_array():
    layers = [(4.0, 0.5, 0.3), {"thickness": 3.0, "concentration": 1.0, "sigma": 0.0}]
    by_layers = tarvex.nra.numeric(layers=layers, step=0.01, max_energy_kev=10)
    depth = (np.arange(1200) + 0.5) * 0.01
    # Cell means of a sharp profile differ from the erfc edge only near it: the area (yield)
    # equals dose x the layers' amount, 8 x (0.5 x 4 + 1 x 3).
    area = by_layers.counts.sum() * by_layers.step_ev * 1e-3
    assert area == pytest.approx(8 * 5.0, rel=2e-3)
    sharp = np.where(depth < 4.0, 0.5, np.where(depth < 7.0, 1.0, 0.0))
    by_array = tarvex.nra.numeric(sharp, step=0.01, max_energy_kev=10)
    assert by_array.counts.sum() * by_array.step_ev * 1e-3 == pytest.approx(area, rel=2e-3)


def test_the_table_is_built_once_per_cache_and_values():
    cache = tarvex.nra.NumericCache()
    args = dict(layers=[(5.0, 1.0)], max_energy_kev=8, cache=cache)
    first = tarvex.nra.numeric(**args)
    again = tarvex.nra.numeric(**args, beam_spread_ev=150)
    other = tarvex.nra.numeric(**{**args, "stopping": 500.0})
    assert (first.table_built, again.table_built, other.table_built) == (True, False, True)
    # A cached table gives the curve a fresh one gives.
    fresh = tarvex.nra.numeric(layers=[(5.0, 1.0)], max_energy_kev=8, beam_spread_ev=150,
                               cache=tarvex.nra.NumericCache())
    assert np.array_equal(again.counts, fresh.counts)


def test_results_and_caches_pickle():
    curve = tarvex.nra.numeric(layers=[(5.0, 1.0)], max_energy_kev=8)
    back = pickle.loads(pickle.dumps(curve))
    assert type(back) is tarvex.nra.Curve
    assert back.keys() == curve.keys()
    assert np.array_equal(back.counts, curve.counts) and back.collisions == curve.collisions
    assert isinstance(pickle.loads(pickle.dumps(tarvex.nra.NumericCache())),
                      tarvex.nra.NumericCache)


BAD = [
    ("resonance_kev", dict(resonance_kev=float("nan"))),
    ("stopping", dict(stopping=-1.0)),
    ("straggling", dict(straggling=float("inf"))),
    ("beam_spread_ev", dict(beam_spread_ev=-5.0)),
    ("resonance_fwhm_ev", dict(resonance_fwhm_ev=float("nan"))),
    ("max_energy_kev", dict(max_energy_kev=0.0)),
    ("dose", dict(dose=float("inf"))),
    ("collisions", dict(auto=False, collisions=0)),
    ("bins", dict(auto=False, bins=10**12)),
    ("table_step_ev", dict(auto=False, table_step_ev=-1.0)),
    ("step", dict(layers=None, profile=np.ones(10), step=0.0)),
    ("step", dict(layers=None, profile=np.ones(10))),
    ("profile", dict(layers=None, profile=np.array([1.0, np.nan]), step=0.1)),
    ("profile", dict(layers=None, profile=np.ones((3, 3)), step=0.1)),
    ("profile", dict(layers=None, profile=np.array([]), step=0.1)),
    ("profile", dict(layers=None, profile="abc", step=0.1)),
    ("profile", dict(profile=np.ones(4), step=0.1)),  # both a profile and layers
    ("profile", dict(layers=None)),  # neither
    ("start", dict(start=-1.0)),
    ("layers[0]", dict(layers=[(1.0,)])),
    ("layers[0] thickness", dict(layers=[(-1.0, 1.0)])),
    ("layers[1] sigma", dict(layers=[(1.0, 1.0), (1.0, 1.0, float("nan"))])),
    ("layers[0] concentration", dict(layers=[(1.0, "a")])),
    ("layers", dict(layers=[])),
    ("layers", dict(layers=[(1.0, 1.0)] * 7)),
    ("layers", dict(layers=5)),
]


@pytest.mark.parametrize("model", ["numeric", "analytic"])
@pytest.mark.parametrize("argument,kwargs", BAD, ids=[f"{a}-{i}" for i, (a, _) in enumerate(BAD)])
def test_bad_arguments_raise_value_error_naming_them(model, argument, kwargs):
    if model == "analytic" and ("collisions" in kwargs or "bins" in kwargs
                                or "table_step_ev" in kwargs):
        pytest.skip("the analytic model has no table grid")
    args = {"layers": [(5.0, 1.0)], **kwargs}
    with pytest.raises(ValueError, match="^" + argument.replace("[", r"\[").replace("]", r"\]")):
        getattr(tarvex.nra, model)(**args)


def test_inputs_without_a_curve_raise_the_programs_message():
    # A straggling far too small for the stopping gives a smallest loss below 0.5 eV.
    with pytest.raises(ValueError, match="Emin"):
        tarvex.nra.numeric(layers=[(5.0, 1.0)], straggling=0.01)
    # A beam far wider than the curve's window.
    with pytest.raises(ValueError, match="Gaussian spread"):
        tarvex.nra.analytic(layers=[(5.0, 1.0)], beam_spread_ev=1e9)


def test_docstrings_name_arguments_units_and_defaults():
    for function in (tarvex.nra.numeric, tarvex.nra.analytic):
        doc = function.__doc__
        for text in ("resonance_kev", "151", "stopping", "548.56", "straggling", "6.62",
                     "beam_spread_ev", "eV", "Å", "layers"):
            assert text in doc, (function.__name__, text)
    for obj in (tarvex, tarvex.nra.NumericCache, tarvex.nra.Curve, tarvex.Session,
                tarvex.Session.run, tarvex.Session.series, tarvex.fit.layered, tarvex.fit.custom,
                tarvex.fit.Result, tarvex.meis.Spectra, tarvex.meis.NumericCache,
                tarvex.meis.ExternalCache):
        assert obj.__doc__ and len(obj.__doc__) > 40, obj
    for function in (tarvex.meis.gaussian, tarvex.meis.bessel, tarvex.meis.numeric,
                     tarvex.meis.external):
        for text in ("ion_energy_kev 100", "spread_ev 180", "stopping_ev_per_nm 192",
                     "theta_out 70", "elements", "layers"):
            assert text in function.__doc__, (function.__name__, text)
