#!/usr/bin/python3
"""A sweep of numeric excitation curves over a grid of layer thicknesses and beam spreads on a
Dask cluster: a LocalCluster on this machine by default, or the scheduler of a real cluster.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/sweep_dask.py
    PYTHONPATH=... /usr/bin/python3 examples/python/sweep_dask.py --scheduler tcp://host:8786

Every worker needs tarvex importable (the same PYTHONPATH, or the module installed). Each task
is one curve: its inputs are two numbers, its result a tarvex.nra.Curve (arrays of a few
thousand points); each worker thread keeps its own collision table, so the table is built once
per thread and model values.
"""
import argparse
import itertools

import numpy as np

import tarvex


def curve(params):
    """The numeric curve of a layer of `thickness` Å and a beam spread of `spread` eV."""
    thickness, spread = params
    return tarvex.nra.numeric(layers=[(thickness, 1.0)], step=0.05, max_energy_kev=15,
                              beam_spread_ev=spread)


def grid(thicknesses, spreads):
    return list(itertools.product(thicknesses, spreads))


def curves(batch):
    """The curves of a batch of grid points: one task."""
    return [curve(p) for p in batch]


def sweep(client, params, batch=1):
    """The curves of every point of the grid, in its order, computed on the client's cluster in
    tasks of `batch` curves (a task costs the scheduler about a millisecond: batches of tens of
    curves keep the workers busy)."""
    batches = [params[i:i + batch] for i in range(0, len(params), batch)]
    futures = client.map(curves, batches, pure=False)
    return [c for part in client.gather(futures) for c in part]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a Dask scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, default=2, help="workers of the LocalCluster")
    parser.add_argument("--thicknesses", type=int, default=4, help="thicknesses of the grid")
    parser.add_argument("--spreads", type=int, default=3, help="beam spreads of the grid")
    parser.add_argument("--batch", type=int, default=4, help="curves per task")
    args = parser.parse_args()

    from distributed import Client, LocalCluster

    params = grid(np.linspace(5.0, 20.0, args.thicknesses), np.linspace(50.0, 200.0, args.spreads))
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        swept = sweep(client, params, args.batch)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    for (thickness, spread), c in zip(params, swept):
        area = float(np.sum(c.counts) * c.step_ev * 1e-3)
        peak = float(c.energy_kev[np.argmax(c.counts)])
        print(f"thickness {thickness:6.2f} Å  spread {spread:6.1f} eV  area {area:8.3f}  "
              f"peak at {peak:.3f} keV")


if __name__ == "__main__":
    main()
