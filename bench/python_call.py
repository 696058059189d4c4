#!/usr/bin/python3
"""Speed of the Python module: one call of the numeric resonant NRA model from Python against
the same call in C++ (bench_model_call), curves per second with threads, and a sweep on a
local Dask cluster.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_call.py \\
        --cxx build/release/bench/bench_model_call

The case: a 10 Å layer of concentration 1 on the 0.005 Å grid, Max Energy 10 keV, every other
value at its start-up default, the collision table cached (built before timing).
"""
import argparse
import json
import pickle
import statistics
import subprocess
import threading
import time

import numpy as np

import tarvex

PROFILE = np.ones(2000)


def call(cache=None):
    return tarvex.nra.numeric(PROFILE, step=0.005, max_energy_kev=10, cache=cache)


def per_call(calls, repeats):
    """Median processor seconds per call over `repeats` runs of `calls` calls, table cached
    (processor time: other processes on the machine count less than in wall time)."""
    call()
    times = []
    for _ in range(repeats):
        t = time.process_time()
        for _ in range(calls):
            call()
        times.append((time.process_time() - t) / calls)
    return statistics.median(times)


def cxx_per_call(binary, repeats):
    out = subprocess.run([binary, "--benchmark_format=json",
                          f"--benchmark_repetitions={repeats}",
                          "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True, check=True).stdout
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            return b["cpu_time"] * {"us": 1e-6, "ms": 1e-3, "ns": 1e-9}[b["time_unit"]]
    raise RuntimeError("no median in the benchmark's output")


def threads_rate(threads, calls):
    """Curves per second of `threads` Python threads, each with its own cache, and the
    processor time of the process over the wall time (2 when both run at once throughout)."""
    def work():
        cache = tarvex.nra.NumericCache()
        call(cache)
        barrier.wait()
        for _ in range(calls):
            call(cache)

    barrier = threading.Barrier(threads + 1)
    pool = [threading.Thread(target=work) for _ in range(threads)]
    for t in pool:
        t.start()
    barrier.wait()
    t0, c0 = time.perf_counter(), time.process_time()
    for t in pool:
        t.join()
    wall = time.perf_counter() - t0
    return threads * calls / wall, (time.process_time() - c0) / wall


def remote_curves(n):
    return [call() for _ in range(n)]


def remote_areas(n):
    """The curves reduced on the worker to one number each: the transfer left out."""
    return [float(c.counts.sum()) for c in (call() for _ in range(n))]


def dask_rate(workers, tasks, batch, task=remote_curves):
    """Curves per second on a local cluster, `batch` curves a task."""
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        client.gather(client.map(remote_curves, [1] * (4 * workers), pure=False))  # tables built
        t0 = time.perf_counter()
        parts = client.gather(client.map(task, [batch] * (tasks // batch), pure=False))
        elapsed = time.perf_counter() - t0
        curves = [c for p in parts for c in p]
    return len(curves) / elapsed, len(pickle.dumps(curves[0]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cxx", help="bench_model_call, for the C++ side")
    parser.add_argument("--calls", type=int, default=2000)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--rounds", type=int, default=5, help="alternating rounds of both")
    parser.add_argument("--dask-tasks", type=int, default=4000,
                        help="curves of the Dask sweep; 0 leaves Dask out")
    args = parser.parse_args()

    # Alternating rounds; the medians of the rounds.
    py, cxx = [], []
    for _ in range(args.rounds):
        py.append(per_call(args.calls, args.repeats))
        if args.cxx:
            cxx.append(cxx_per_call(args.cxx, args.repeats))
    py = statistics.median(py)
    print(f"Python call, table cached: {py * 1e6:.1f} us processor time "
          f"({1 / py:.0f} curves/s on one core)")
    if args.cxx:
        cxx = statistics.median(cxx)
        print(f"C++ model call:            {cxx * 1e6:.1f} us; Python's overhead "
              f"{(py - cxx) * 1e6:.1f} us = {100 * (py - cxx) / cxx:.1f} %")
    for n in (1, 2):
        rate, busy = threads_rate(n, args.calls)
        print(f"{n} Python thread(s): {rate:.0f} curves/s, processor/wall {busy:.2f}")
    if args.dask_tasks:
        for batch in (1, 10, 100):
            rate, size = dask_rate(2, args.dask_tasks, batch)
            print(f"LocalCluster, 2 workers x 1 thread, {batch} curves a task: {rate:.0f} "
                  f"curves/s; {size / 1024:.0f} KiB pickled per curve")
        rate, _ = dask_rate(2, args.dask_tasks, 100, remote_areas)
        print(f"LocalCluster, 2 workers, 100 curves a task reduced on the workers: {rate:.0f} "
              f"curves/s")


if __name__ == "__main__":
    main()
