"""Reads vocelle export-nifti output with nibabel, as an analysis package would, and checks that
each label sits at the world coordinates its VOI voxels stand for, in both conventions.

Usage: nifti_check.py VOCELLE WORK_FOLDER
"""
import os
import shutil
import subprocess
import sys

import nibabel as nib
import numpy as np


def export(vocelle, work, name, space, vois):
    text = "FileVersion: 4\nReferenceSpace: {}\nNrOfVOIs: {}\n".format(space, len(vois))
    for label, colour, voxels in vois:
        text += "NameOfVOI: {}\nColorOfVOI: {} {} {}\nNrOfVoxels: {}\n".format(label, *colour, len(voxels))
        text += "".join("{} {} {}\n".format(*v) for v in voxels)
    with open(os.path.join(work, name + ".voi"), "w") as f:
        f.write(text + "NrOfVOIVTCs: 0\n")
    out = os.path.join(work, name + (".nii.gz" if space == "TAL" else ".nii"))
    result = subprocess.run([vocelle, "export-nifti", os.path.join(work, name + ".voi"), "-o", out],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("export-nifti failed for {}: {}".format(name, result.stderr))
    return result.stderr, nib.load(out)


def labelled_world(image, label):
    ijk = np.argwhere(np.asarray(image.dataobj) == label)
    return {tuple(int(round(c)) for c in p) for p in nib.affines.apply_affine(image.affine, ijk)}


def main():
    vocelle, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    # Talairach (right, anterior, superior) mm, AC at 0. The third VOI shares one voxel with the
    # first, which keeps it, and has one outside the grid.
    motor = [(38, -20, 55), (39, -20, 55), (38, -19, 56)]
    corner = [(-127, -127, -127), (128, 128, 128), (0, 0, 0)]
    thalamus = [(-12, -18, 8), (38, -20, 55), (500, 0, 0)]
    colours = [(255, 40, 50), (80, 255, 80), (40, 30, 255)]
    names = ["right motor", "corners", "left thalamus"]
    warnings, tal = export(vocelle, work, "tal", "TAL", list(zip(names, colours, [motor, corner, thalamus])))
    check("outside the 256^3 grid" in warnings, "no warning for the voxel outside the grid")
    check("more than one VOI" in warnings, "no warning for the shared voxel")
    check(isinstance(tal, nib.Nifti1Image) and tal.shape == (256, 256, 256), "image {}".format(tal.shape))
    check(nib.aff2axcodes(tal.affine) == ("R", "A", "S"), "axes {}".format(nib.aff2axcodes(tal.affine)))
    check(np.allclose(tal.get_qform(), tal.get_sform()), "qform and sform differ")
    check(int(tal.header["sform_code"]) == 3 and int(tal.header["qform_code"]) == 3, "not labelled Talairach")
    check(int(tal.header["intent_code"]) == 1002, "not a label image")
    check(tal.header.get_xyzt_units()[0] == "mm", "units {}".format(tal.header.get_xyzt_units()))
    for label, expected in ((1, set(motor)), (2, set(corner)), (3, {(-12, -18, 8)})):
        check(labelled_world(tal, label) == expected, "label {} at {}".format(label, labelled_world(tal, label)))
    check(int(np.count_nonzero(np.asarray(tal.dataobj))) == 7, "labelled voxels")
    with open(os.path.join(work, "tal.tsv")) as f:
        table = f.read()
    check(table == "index\tname\tcolor\tvoxels\n1\tright motor\t#ff2832\t3\n2\tcorners\t#50ff50\t3\n"
                   "3\tleft thalamus\t#281eff\t1\n", "label table:\n" + table)

    # The same places as AC-PC cube voxels give the same image, labelled aligned anatomy.
    cube = lambda voxels: [(128 - w[1], 128 - w[2], 128 - w[0]) for w in voxels]
    _, acpc = export(vocelle, work, "acpc", "ACPC",
                     list(zip(names, colours, [cube(motor), cube(corner), cube(thalamus[:2])])))
    check(np.array_equal(np.asarray(acpc.dataobj), np.asarray(tal.dataobj)), "AC-PC and Talairach images differ")
    check(np.allclose(acpc.affine, tal.affine), "AC-PC affine differs")
    check(int(acpc.header["sform_code"]) == 2, "AC-PC not labelled aligned anatomy")

    shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
