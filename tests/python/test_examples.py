"""The Python examples run (quickly) and say what they found."""
import os
import subprocess
import sys

import pytest

from conftest import SOURCE

EXAMPLES = SOURCE / "examples" / "python"


def run(name, *args, cwd):
    r = subprocess.run([sys.executable, str(EXAMPLES / name), *args], capture_output=True,
                       text=True, cwd=cwd, env={**os.environ, "MPLBACKEND": "Agg"}, timeout=300)
    assert r.returncode == 0, r.stderr
    return r.stdout


def test_the_curve_example_writes_a_png(tmp_path):
    out = run("nra_curve.py", "--out", str(tmp_path / "curve.png"), cwd=tmp_path)
    assert "469 collisions" in out
    assert (tmp_path / "curve.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_the_fit_example_finds_the_layer(tmp_path):
    out = run("fit_synthetic.py", cwd=tmp_path)
    values = {line.split()[0]: float(line.split()[2]) for line in out.splitlines() if " ± " in line}
    assert values["thickness1"] == pytest.approx(8.0, abs=0.1)
    assert values["concentration1"] == pytest.approx(0.6, abs=0.02)


def test_the_posterior_example_samples_around_the_truth(tmp_path):
    out = run("posterior_emcee.py", "--steps", "60", cwd=tmp_path)
    lines = [line for line in out.splitlines() if " ± " in line]
    thickness = float(lines[0].split(":")[1].split()[0])
    assert thickness == pytest.approx(8.0, abs=0.2)


def test_the_sweep_example_runs_on_a_local_cluster(tmp_path):
    out = run("sweep_dask.py", "--thicknesses", "2", "--spreads", "2", cwd=tmp_path)
    assert len([line for line in out.splitlines() if line.startswith("thickness")]) == 4


def test_the_buried_film_example_plots_both_films(tmp_path):
    out = run("buried_film.py", "--out", str(tmp_path / "film.png"), cwd=tmp_path)
    assert "Layer 2 Al" in out and "Single collisions near the surface" in out
    area = float(out.split("area ")[1].split()[0])
    assert area == pytest.approx(71212.8, rel=2e-3)  # dose x Å x stretch, as the example says
    assert (tmp_path / "film.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
