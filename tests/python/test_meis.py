"""The ion-scattering models through Python give tarvex-cli's totals bit for bit, their parts add
up to the total, and bad arguments raise ValueError naming them."""
import pickle

import numpy as np
import pytest

import tarvex
from conftest import SOURCE, parse_series, run_cli

ELEMENTS = {"Hf": (72, 178.5, 216.8), "O": (8, 16, 102.2)}
# A 10 Å hafnium oxide layer, as examples/meis-models.tvx draws it.
SAMPLE = """check TFOptions.RadioMEIS on
set TFMEIS.EditElname Hf
click TFMEIS.ButtonAdd
set TFMEIS.EditElname O
set TFMEIS.EditMass 16
set TFMEIS.EditZ 8
set TFMEIS.EditSCL 102.2
click TFMEIS.ButtonAdd
select TFrameMEISSample.ComboEl_list Hf
set TFMEIS.Editx2 10
set TFMEIS.Editc1 0.33
set TFMEIS.Editc2 0.33
run Drawline
select TFrameMEISSample.ComboEl_list O
set TFMEIS.Editc1 0.67
set TFMEIS.Editc2 0.67
run Drawline
""".splitlines()
CROSS_SECTION = str(SOURCE / "examples" / "crosssection-10eV.dat")
EXTERNAL = ["check TFExternCS.RadioSCCBasic on", f"answer open {CROSS_SECTION}",
            "set TFExternCS.EditCSFile"]
CASES = [
    ("gaussian", "gaussian", ["check TFOptions.RadioGauss on"], {}),
    ("gaussian, not broadened", "gaussian",
     ["check TFOptions.RadioGauss on", "check TFOptions.CheckConv off"], {"convolve": False}),
    ("bessel", "bessel", ["check TFOptions.RadioAnalitic on"], {}),
    ("bessel, other beam and geometry", "bessel",
     ["check TFOptions.RadioAnalitic on", "set TFMEIS.EditEnrg 120", "set TFMEIS.EditTOut 60",
      "set TFMEIS.EditGauss 250", "set TFMEIS.EditSimMax 120", "check TFMEIS.CheckSCCorr off"],
     {"ion_energy_kev": 120.0, "theta_out": 60.0, "spread_ev": 250.0, "window_max_kev": 120,
      "scc": False}),
    ("numeric", "numeric", ["check TFOptions.RadioNumeric on"], {}),
    ("external", "external", ["check TFOptions.RadioExternal on"] + EXTERNAL,
     {"cross_section": CROSS_SECTION}),
]
SERIES = {"gaussian": "SeriesGauss", "bessel": "SeriesBessel", "numeric": "SeriesPrinc",
          "external": "SeriesExtCS"}


def session_profiles(lines):
    s = tarvex.Session()
    for line in SAMPLE + lines:
        s.run(line)
    profiles = {e: s.profile(e) for e in ELEMENTS}
    step, start = profiles["Hf"][1], profiles["Hf"][2]
    return s, {e: p[0] for e, p in profiles.items()}, step, start


@pytest.mark.parametrize("name,model,lines,kwargs", CASES, ids=[c[0] for c in CASES])
def test_totals_equal_tarvex_cli_bit_for_bit(name, model, lines, kwargs):
    series = "ChartPrinc." + SERIES[model]
    x_cli, y_cli = parse_series(run_cli("\n".join(SAMPLE + lines + ["run CalcSimulation",
                                                                      f"series {series}"]) + "\n"))
    _, profiles, step, start = session_profiles(lines)
    r = getattr(tarvex.meis, model)(ELEMENTS, profiles=profiles, step=step, start=start, **kwargs)
    assert len(x_cli) >= 1000 and max(y_cli) > 0
    assert r.energy_kev.tolist() == x_cli
    assert r.counts.tolist() == y_cli
    # The elements' parts, added in name order, are the total.
    total = np.zeros_like(r.counts)
    for e in sorted(ELEMENTS):
        total = total + r.elements[e]
    assert np.array_equal(total + r.background, r.counts)


def test_layers_by_element_and_pickling():
    r = tarvex.meis.gaussian(ELEMENTS, layers=[(10.0, {"Hf": 0.33, "O": 0.67})])
    # Yield: dose x concentration x thickness x cross section (examples/meis-models.tvx).
    area = r.counts.sum() * r.step_ev * 1e-3
    assert area == pytest.approx(8 * 0.33 * 10 * r.cross_section["Hf"], rel=0.01)
    back = pickle.loads(pickle.dumps(r))
    assert type(back) is tarvex.meis.Spectra
    assert np.array_equal(back.elements["Hf"], r.elements["Hf"])
    cache = tarvex.meis.NumericCache()
    first = tarvex.meis.numeric(ELEMENTS, layers=[(10.0, [0.33, 0.67])], cache=cache)
    again = tarvex.meis.numeric(ELEMENTS, layers=[(10.0, [0.33, 0.67])], cache=cache,
                                spread_ev=250)
    assert first.tables_built == ["Hf", "O"] and again.tables_built == []


BAD = [
    ("elements", dict(elements={})),
    ("elements", dict(elements={"Hf": (72, 178.5)})),
    ("elements['Hf'] mass", dict(elements={"Hf": (72, -1.0, 216.8)})),
    ("profiles", dict(layers=None)),
    ("profiles", dict(layers=None, profiles={"Xe": np.ones(5)})),
    ("profiles['Hf']", dict(layers=None, profiles={"Hf": np.array([1.0, np.inf])})),
    ("layers[0]", dict(layers=[(10.0, {"Xe": 1.0})])),
    ("layers[0]", dict(layers=[(10.0, [1.0])])),
    ("ion_energy_kev", dict(ion_energy_kev=float("nan"))),
    ("window_max_kev", dict(window_min_kev=100, window_max_kev=90)),
    ("step", dict(step=-0.01)),
]


@pytest.mark.parametrize("model", ["gaussian", "bessel", "numeric"])
@pytest.mark.parametrize("argument,kwargs", BAD, ids=[f"{a}-{i}" for i, (a, _) in enumerate(BAD)])
def test_bad_arguments_raise_value_error_naming_them(model, argument, kwargs):
    args = {"elements": ELEMENTS, "layers": [(10.0, {"Hf": 0.33, "O": 0.67})], **kwargs}
    with pytest.raises(ValueError, match="^" + argument.replace("[", r"\[").replace("]", r"\]")):
        getattr(tarvex.meis, model)(args.pop("elements"), **args)


def test_values_without_a_spectrum_raise_the_programs_message():
    with pytest.raises(ValueError, match="dE/dx"):
        tarvex.meis.bessel(ELEMENTS, layers=[(10.0, [0.33, 0.67])], stopping_ev_per_nm=-1)
    with pytest.raises(ValueError, match="Theta"):
        tarvex.meis.gaussian(ELEMENTS, layers=[(10.0, [0.33, 0.67])], theta_in=95)
    with pytest.raises(ValueError, match="^cross_section"):
        tarvex.meis.external(ELEMENTS, layers=[(10.0, [0.33, 0.67])])
    with pytest.raises(ValueError, match="^cross_section"):
        tarvex.meis.external(ELEMENTS, layers=[(10.0, [0.33, 0.67])],
                             cross_section="/no/such/file.dat")
