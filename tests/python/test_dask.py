"""The sweep of examples/python/sweep_dask.py on a two-worker local cluster gives, bit for bit,
the curves of a plain loop."""
import sys

import numpy as np

from conftest import SOURCE

sys.path.insert(0, str(SOURCE / "examples" / "python"))
import sweep_dask  # noqa: E402


def test_a_sweep_on_a_local_cluster_equals_a_plain_loop():
    from distributed import Client, LocalCluster

    params = sweep_dask.grid([5.0, 12.0, 20.0], [60.0, 150.0])
    loop = [sweep_dask.curve(p) for p in params]
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        swept = sweep_dask.sweep(client, params)
        batched = sweep_dask.sweep(client, params, batch=4)
    assert len(swept) == len(batched) == len(loop)
    for a, b in zip(swept + batched, loop + loop):
        assert a.keys() == b.keys()
        for key in a.keys():
            if key == "table_built":
                continue  # whether this call built the table: each worker has its own cache
            va, vb = getattr(a, key), getattr(b, key)
            if isinstance(va, np.ndarray):
                assert np.array_equal(va, vb), key
            else:
                assert va == vb, key
