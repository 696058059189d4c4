"""Ctrl+C stops a model that runs without the GIL: the call raises KeyboardInterrupt from inside
the model, and the module works on afterwards."""
import _thread
import threading

import numpy as np

import tarvex

# A Bessel spectrum near the limit of its work (95 000 occupied depth points, 10 000 bins): about
# a second of calculation.
ELEMENTS = {"Hf": (72, 178.49, 216.8)}
LONG = dict(profiles={"Hf": np.ones(95000)}, step=0.1, delta_e_kev=100, ion_energy_kev=400,
            window_min_kev=290, window_max_kev=400)
SHORT = dict(profiles={"Hf": np.ones(200)}, step=0.1)


def test_ctrl_c_stops_a_long_model_call():
    inside = []
    timer = threading.Timer(0.2, _thread.interrupt_main)
    try:
        timer.start()
        inside.append(True)
        tarvex.meis.bessel(ELEMENTS, **LONG)
        inside.append(False)
    except KeyboardInterrupt:
        pass
    finally:
        timer.cancel()
    # The interrupt came while the model ran (not in the Python code after it).
    assert inside == [True]
    # Nothing is left behind: the next call runs to its end and gives what a fresh call gives.
    again = tarvex.meis.bessel(ELEMENTS, **SHORT)
    assert np.array_equal(again.counts, tarvex.meis.bessel(ELEMENTS, **SHORT).counts)
