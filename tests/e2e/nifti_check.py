"""vocelle export-nifti read back by nibabel, as an analysis package reads it: each label sits at
the world coordinates its VOI voxels stand for, in both conventions. Usage: VOCELLE WORK_FOLDER"""
import os
import shutil
import subprocess
import sys

import nibabel as nib
import numpy as np

# Talairach mm (right, anterior, superior; AC at 0). The third VOI shares a voxel with the first,
# which keeps it, and has one outside the grid.
VOIS = [("right motor", "255 40 50", [(38, -20, 55), (39, -20, 55), (38, -19, 56)]),
        ("corners", "80 255 80", [(-127, -127, -127), (128, 128, 128), (0, 0, 0)]),
        ("left thalamus", "40 30 255", [(-12, -18, 8), (38, -20, 55), (500, 0, 0)])]
vocelle, work = sys.argv[1], sys.argv[2]


def check(condition, message):
    if not condition:
        sys.exit("FAILED: {}".format(message))


def export(space, stored, image):
    text = "FileVersion: 4\nReferenceSpace: {}\nNrOfVOIs: 3\n".format(space)
    for name, colour, voxels in VOIS:
        text += "NameOfVOI: {}\nColorOfVOI: {}\nNrOfVoxels: 3\n".format(name, colour)
        text += "".join("{} {} {}\n".format(*stored(v)) for v in voxels)
    with open(os.path.join(work, space + ".voi"), "w") as f:
        f.write(text + "NrOfVOIVTCs: 0\n")
    result = subprocess.run([vocelle, "export-nifti", space + ".voi", "-o", image], cwd=work,
                            capture_output=True, text=True)
    check(result.returncode == 0, result.stderr)
    return result.stderr, nib.load(os.path.join(work, image))


shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
warnings, tal = export("TAL", lambda v: v, "tal.nii.gz")
check("outside the 256^3 grid" in warnings and "more than one VOI" in warnings, warnings)
check(tal.shape == (256, 256, 256) and nib.aff2axcodes(tal.affine) == ("R", "A", "S"), tal.affine)
check(np.allclose(tal.get_qform(), tal.get_sform()), "qform and sform differ")
h = tal.header
check((h["sform_code"], h["qform_code"], h["intent_code"], h.get_xyzt_units()[0]) == (3, 3, 1002, "mm"),
      "not a Talairach label image in mm")
labels = np.asarray(tal.dataobj)
for label, expected in enumerate([VOIS[0][2], VOIS[1][2], VOIS[2][2][:1]], 1):
    world = {tuple(int(round(c)) for c in p)
             for p in nib.affines.apply_affine(tal.affine, np.argwhere(labels == label))}
    check(world == set(expected) and np.count_nonzero(labels) == 7, (label, world))
with open(os.path.join(work, "tal.tsv")) as f:
    table = f.read()
check(table == "index\tname\tcolor\tvoxels\n1\tright motor\t#ff2832\t3\n2\tcorners\t#50ff50\t3\n"
               "3\tleft thalamus\t#281eff\t1\n", table)
# The same places stored as AC-PC cube voxels give the same image, labelled aligned anatomy.
_, acpc = export("ACPC", lambda w: (128 - w[1], 128 - w[2], 128 - w[0]), "acpc.nii")
check(np.array_equal(np.asarray(acpc.dataobj), labels) and np.allclose(acpc.affine, tal.affine)
      and acpc.header["sform_code"] == 2, "AC-PC image differs")
shutil.rmtree(work, ignore_errors=True)
