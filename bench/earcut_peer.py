#!/usr/bin/python3
"""Peer of bench_triangulate: earcut (python3-mapbox-earcut) on the same polygons.

Usage: earcut_peer.py FILE SECONDS
FILE holds one polygon: a line "rings" with the ring sizes (outer first), then one
"x y" line per vertex. The helper triangulates it in a loop for about SECONDS,
timing only its own loop in processor time (as the benchmark's own rate is), and
prints "vertices_per_second triangles".
"""
import sys
import time

import mapbox_earcut
import numpy as np


def main():
    path, seconds = sys.argv[1], float(sys.argv[2])
    with open(path) as f:
        sizes = [int(s) for s in f.readline().split()[1:]]
        pts = np.loadtxt(f, dtype=np.float64).reshape(-1, 2)
    ends = np.cumsum(np.array(sizes, dtype=np.uint32)).astype(np.uint32)
    runs = 0
    tris = mapbox_earcut.triangulate_float64(pts, ends)
    start = time.process_time()
    while True:
        mapbox_earcut.triangulate_float64(pts, ends)
        runs += 1
        elapsed = time.process_time() - start
        if elapsed >= seconds and runs >= 3:
            break
    print(f"{runs * len(pts) / elapsed:.6g} {len(tris) // 3}")


if __name__ == "__main__":
    main()
