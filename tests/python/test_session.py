"""tarvex.Session is tarvex-cli without its process: the examples print what tarvex-cli prints,
and a failing line raises with the program's message."""
import numpy as np
import pytest

import tarvex
from conftest import parse_series, run_cli


def test_every_example_runs_unchanged_and_prints_what_tarvex_cli_prints(source, monkeypatch):
    monkeypatch.chdir(source)  # the examples name their files from the source folder
    examples = sorted((source / "examples").glob("*.tvx"))
    assert len(examples) >= 4
    for path in examples:
        printed = tarvex.Session().run_script(str(path))
        assert printed == run_cli(path.read_text()), path.name
        # The same script as text.
        assert tarvex.Session().run_script(path.read_text()) == printed, path.name


def test_text_series_profile_and_log():
    s = tarvex.Session()
    assert s.text("TFNRP.EditEnrg") == "151"
    assert s.text("TFOptions.CheckConv") == "on"
    s.run("set TFNRP.EditMaxE 10")
    s.run("set TFNRP.Editx2 10")
    s.run("run Drawline")
    conc, step, start = s.profile()
    assert (step, start, conc.size) == (0.005, 0.0, 2000)
    s.run("run CalcSimulation")
    x, y = s.series("ChartPrinc.SeriesPrinc")
    xs, ys = parse_series(s.run("series ChartPrinc.SeriesPrinc"))
    assert x.tolist() == xs and y.tolist() == ys
    assert isinstance(x, np.ndarray) and x.dtype == np.float64
    assert "Auto #" in s.log()
    assert s.text("TFNRP.EditNc") == "469"


def test_failing_lines_raise_with_the_message():
    s = tarvex.Session()
    with pytest.raises(tarvex.ScriptError, match="unknown action 'NoSuchAction'"):
        s.run("run NoSuchAction")
    with pytest.raises(ValueError, match="unknown control"):  # ScriptError is a ValueError
        s.run("set TFNRP.NoSuchField 3")
    s.run("set TFNRP.EditEnrg abc")
    with pytest.raises(tarvex.CommandFailed, match="abc"):
        s.run("run CalcSimulation")
    with pytest.raises(tarvex.CommandFailed, match="expected 'on', found 'off'"):
        s.run("check TFOptions.CheckConv off")
        s.run("expect TFOptions.CheckConv on")
    # The session goes on after a failure.
    s.run("set TFNRP.EditEnrg 151")
    s.run("run CalcSimulation")
    with pytest.raises(ValueError, match="unknown series"):
        s.series("ChartPrinc.NoSuchSeries")
    with pytest.raises(ValueError, match="unknown control"):
        s.text("TFNRP.Nothing")
    with pytest.raises(ValueError, match="script"):
        s.run_script("/no/such/file.tvx")
