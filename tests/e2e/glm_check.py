"""vocelle timecourse and glm against numpy and scipy on the example study with noise: the region
means, and per region and term the estimate, t and p of numpy's least squares and scipy's
Student's t, to 1e-6 relative; the list mode with a job whose design is missing.
Usage: VOCELLE MAKE_STUDY WORK_FOLDER"""
import os
import shutil
import subprocess
import sys

import numpy as np
from scipy import stats

vocelle, make_study, work = sys.argv[1:4]
shutil.rmtree(work, ignore_errors=True)
subprocess.run([make_study, work, "--noise"], check=True, capture_output=True)


def check(condition, message):
    if not condition:
        sys.exit("FAILED: " + message)


def host(*args, status=0):
    r = subprocess.run([vocelle, *args], cwd=work, capture_output=True, text=True)
    check(r.returncode == status, f"{args}: status {r.returncode}: {r.stderr}")
    return r


def table(text):
    lines = text.strip("\n").split("\n")
    return [dict(zip(lines[0].split("\t"), line.split("\t"))) for line in lines[1:]]


def close(ours, theirs, what):
    check(np.isclose(float(ours), theirs, rtol=1e-6, atol=1e-12), f"{what}: {ours} against {theirs}")


header = dict(l.split(":", 1) for l in open(f"{work}/s1/run1.fmr") if ":" in l)
nx, ny, nz, nt = (int(header[k]) for k in ("ResolutionX", "ResolutionY", "NrOfSlices", "NrOfVolumes"))
data = np.fromfile(f"{work}/s1/run1.stc", dtype="<i2").reshape(nz, nt, ny, nx).astype(np.float64)
tokens = open(f"{work}/s1/run1.roi").read().split()
courses, at = [], 0
while "NrOfVoxels:" in tokens[at:]:
    at = tokens.index("NrOfVoxels:", at) + 1
    xyz = np.array(tokens[at + 1:at + 1 + 3 * int(tokens[at])], dtype=int).reshape(-1, 3)
    courses.append(data[xyz[:, 2], :, xyz[:, 1], xyz[:, 0]].mean(axis=0) if len(xyz) else None)
sdm = open(f"{work}/s1/run1.sdm").read().split("\n")
names_at = next(i for i, l in enumerate(sdm) if l.startswith('"'))
names = sdm[names_at].replace('"', "").split()
X = np.array([[float(v) for v in l.split()] for l in sdm[names_at + 1:names_at + 1 + nt]])
contrast = np.array([-1.0, 1.0, 0.0, 0.0])

measured = table(host("timecourse", "s1/run1.roi", "s1/run1.fmr").stdout)
fits = table(host("glm", "s1/run1.roi", "s1/run1.fmr", "--sdm", "s1/run1.sdm",
                  "--contrast", "motor-visual=-1,1,0,0").stdout)
rows = iter(fits)
for r, y in enumerate(courses):
    for t in range(nt):
        check((measured[t][f"region {r + 1}"] == "") == (y is None), f"region {r + 1} cells")
        if y is not None:
            close(measured[t][f"region {r + 1}"], y[t], f"region {r + 1}, volume {t + 1}")
    if y is None:
        continue
    beta = np.linalg.lstsq(X, y, rcond=None)[0]
    dof = nt - X.shape[1]
    sigma2 = ((y - X @ beta) ** 2).sum() / dof
    cov = sigma2 * np.linalg.inv(X.T @ X)
    r2 = 1 - ((y - X @ beta) ** 2).sum() / ((y - y.mean()) ** 2).sum()
    for name, w in [(n, np.eye(len(names))[i]) for i, n in enumerate(names)] + [("motor-visual", contrast)]:
        row = next(rows)
        while row["voxels"] == "0":
            row = next(rows)
        check(row["term"] == name and int(row["dof"]) == dof, f"row {row}")
        estimate, se = w @ beta, np.sqrt(w @ cov @ w)
        close(row["estimate"], estimate, f"region {r + 1} {name} estimate")
        close(row["t"], estimate / se, f"region {r + 1} {name} t")
        close(row["p"], 2 * stats.t.sf(abs(estimate / se), dof), f"region {r + 1} {name} p")
        close(row["r2"], r2, f"region {r + 1} r2")

# A list: the job with its design, the same job with a design that is not there, and one
# without a design line, which is not fitted.
with open(f"{work}/list.txt", "w") as f:
    job = "s1/run1.roi\ns1/run1.fmr\ns1/run1_IA.trf\ns1/run1_FA.trf\ns1/anat_ACPC.trf\ns1/anat.tal\n"
    f.write("./\n" + job + "s1/run1.sdm\n" + job + "s1/missing.sdm\n" + job)
r = host("glm", "--list", "list.txt", "-o", "study.tsv", "--jobs", "2", "--contrast", "motor-visual=-1,1,0,0",
         status=1)
check("!!!! Could not fit ROI: ./s1/run1.roi: Failed opening for reading: ./s1/missing.sdm" in r.stderr
      and r.stderr.endswith("1 fitted, 1 not fitted\n"), r.stderr)
study = table(open(f"{work}/study.tsv").read())
check([{k: v for k, v in row.items() if k != "roi"} for row in study] == fits
      and all(row["roi"] == "./s1/run1.roi" for row in study), "the list's table")

print("glm check passed")
