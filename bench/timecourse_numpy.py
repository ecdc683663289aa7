#!/usr/bin/env python3
"""The region time courses as a researcher would compute them with numpy: the whole STC file
read and reshaped, then per region the mean over its mask, slice by slice.

    timecourse_numpy.py FOLDER     (FOLDER holds run1.fmr, run1.stc and run1.roi)
"""
import re
import sys

import numpy as np

folder = sys.argv[1]
header = open(f"{folder}/run1.fmr").read()


def key(name):
    return int(re.search(rf"^{name}:\s*(\S+)", header, re.M).group(1))


nx, ny, nz, nt = key("ResolutionX"), key("ResolutionY"), key("NrOfSlices"), key("NrOfVolumes")
dtype = "<f4" if key("DataType") == 2 else "<i2"
data = np.fromfile(f"{folder}/run1.stc", dtype=dtype).reshape(nz, nt, ny, nx)

tokens = open(f"{folder}/run1.roi").read().split()
masks = []
at = tokens.index("NrOfTCPlots:") + 2
while "NrOfVoxels:" in tokens[at:]:
    at = tokens.index("NrOfVoxels:", at) + 1
    n = int(tokens[at])
    xyz = np.array(tokens[at + 1:at + 1 + 3 * n], dtype=int).reshape(n, 3)
    mask = np.zeros((nz, ny, nx), dtype=bool)
    mask[xyz[:, 2], xyz[:, 1], xyz[:, 0]] = True
    masks.append(mask)
    at += 1 + 3 * n

courses = []
for mask in masks:
    total = np.zeros(nt)
    for s in np.nonzero(mask.any(axis=(1, 2)))[0]:
        total += data[s][:, mask[s]].astype(np.float64).sum(axis=1)
    courses.append(total / max(mask.sum(), 1))

out = ["volume\t" + "\t".join(f"region {r + 1}" for r in range(len(masks)))]
for t in range(nt):
    out.append(f"{t + 1}\t" + "\t".join(f"{c[t]:.9g}" for c in courses))
sys.stdout.write("\n".join(out) + "\n")
