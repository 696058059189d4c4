"""Shared fixtures of the Python module's tests: the module, tarvex-cli and the source tree.

ctest runs these with PYTHONPATH at the built module, TARVEX_CLI and TARVEX_SOURCE_DIR set."""
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("TARVEX_SOURCE_DIR",
                                     pathlib.Path(__file__).resolve().parents[2]))
CLI = os.environ.get("TARVEX_CLI", str(SOURCE / "build" / "release" / "tarvex-cli"))


def run_cli(script, cwd=None):
    """Runs tarvex-cli on the script text; returns its standard output (it must succeed)."""
    r = subprocess.run([CLI, "-"], input=script, capture_output=True, text=True,
                       cwd=cwd or SOURCE, check=False)
    assert r.returncode == 0, r.stderr
    return r.stdout


def parse_series(text):
    """The "x y" lines of tarvex-cli's series output as two lists of floats (17 digits: exact)."""
    xs, ys = [], []
    for line in text.splitlines():
        x, y = line.split()
        xs.append(float(x))
        ys.append(float(y))
    return xs, ys


@pytest.fixture(scope="session")
def source():
    return SOURCE
