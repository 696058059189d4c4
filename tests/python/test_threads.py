"""The models release the GIL: two Python threads run curves at once, each giving what a lone
run gives."""
import sys
import threading

import numpy as np

import tarvex

CASES = [dict(layers=[(t, 1.0)], max_energy_kev=12, beam_spread_ev=b)
         for t in (4.0, 8.0, 12.0) for b in (60.0, 140.0)]


def test_two_threads_give_the_curves_of_lone_runs():
    lone = [tarvex.nra.numeric(**c, cache=tarvex.nra.NumericCache()).counts for c in CASES]
    lone_analytic = [tarvex.nra.analytic(**c).counts for c in CASES]
    results = {}

    def work(k):
        # Each thread in its own order, through its own per-thread cache.
        order = list(range(len(CASES)))[::1 if k == 0 else -1]
        for _ in range(3):
            for i in order:
                results[(k, i, "n")] = tarvex.nra.numeric(**CASES[i]).counts
                results[(k, i, "a")] = tarvex.nra.analytic(**CASES[i]).counts

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for k in range(2):
        for i in range(len(CASES)):
            assert np.array_equal(results[(k, i, "n")], lone[i])
            assert np.array_equal(results[(k, i, "a")], lone_analytic[i])


def test_a_running_model_lets_other_threads_run():
    # With a switch interval of minutes a thread hands the GIL over only where it waits or where
    # C++ code releases it. The main thread waits for the worker to start its call; it can run
    # again while that call lasts only if the model released the GIL.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(100.0)
    started = threading.Event()
    seen_running = []
    finished = []
    try:
        def work():
            started.set()
            # A thick layer and a table built anew: a call of a few tenths of a second.
            c = tarvex.nra.numeric(layers=[(60.0, 1.0)], step=0.01, max_energy_kev=40,
                                   cache=tarvex.nra.NumericCache())
            finished.append(c.table_built)

        t = threading.Thread(target=work)
        t.start()
        started.wait()
        seen_running.append(t.is_alive())
        t.join()
    finally:
        sys.setswitchinterval(interval)
    assert seen_running == [True] and finished == [True]


def test_one_cache_shared_by_threads_takes_turns():
    cache = tarvex.nra.NumericCache()
    want = [tarvex.nra.numeric(**c, cache=tarvex.nra.NumericCache()).counts for c in CASES]
    got = {}

    def work(k):
        for i in range(len(CASES)):
            got[(k, i)] = tarvex.nra.numeric(**CASES[i], cache=cache).counts

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(got[(k, i)], want[i]) for k in range(2) for i in range(len(CASES)))
