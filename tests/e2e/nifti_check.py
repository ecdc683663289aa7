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

HEADER = """
FileVersion:                4

ReferenceSpace:             {space}

NrOfVOIs:                   {count}

"""


def write_voi(path, space, vois):
    text = HEADER.format(space=space, count=len(vois))
    for name, colour, voxels in vois:
        text += "NameOfVOI:  {}\nColorOfVOI: {} {} {}\n\nNrOfVoxels: {}\n".format(name, *colour, len(voxels))
        text += "".join("{} {} {}\n".format(*v) for v in voxels) + "\n"
    text += "\nNrOfVOIVTCs:                0\n"
    with open(path, "w") as f:
        f.write(text)


def world_of_cube(v):
    """Cube voxel (x anterior->posterior, y superior->inferior, z right->left; AC at 128) in RAS mm."""
    x, y, z = v
    return (128 - z, 128 - x, 128 - y)


def labelled_world(image, label):
    data = np.asarray(image.dataobj)
    ijk = np.argwhere(data == label)
    return {tuple(int(round(c)) for c in p) for p in nib.affines.apply_affine(image.affine, ijk)}


def export(vocelle, voi, out):
    result = subprocess.run([vocelle, "export-nifti", voi, "-o", out], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("export-nifti failed for {}: {}".format(voi, result.stderr))
    return result


def main():
    vocelle, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []
    checks = [0]

    def check(condition, message):
        checks[0] += 1
        if not condition:
            failures.append(message)

    # Talairach VOIs: stored (right, anterior, superior) mm, AC at 0. The second VOI shares one
    # voxel with the first, which keeps it; one voxel lies outside the grid.
    right_motor = [(38, -20, 55), (39, -20, 55), (38, -19, 56)]
    corner = [(-127, -127, -127), (128, 128, 128), (0, 0, 0)]
    thalamus = [(-12, -18, 8), (38, -20, 55), (500, 0, 0)]
    tal_voi = os.path.join(work, "tal.voi")
    write_voi(tal_voi, "TAL", [("right motor", (255, 40, 50), right_motor), ("corners", (80, 255, 80), corner),
                               ("left thalamus", (40, 30, 255), thalamus)])
    result = export(vocelle, tal_voi, os.path.join(work, "tal.nii.gz"))
    check("outside the 256^3 grid" in result.stderr, "no warning for the voxel outside the grid")
    check("more than one VOI" in result.stderr, "no warning for the shared voxel")

    tal = nib.load(os.path.join(work, "tal.nii.gz"))
    check(isinstance(tal, nib.Nifti1Image), "not a NIfTI-1 image")
    check(tal.shape == (256, 256, 256), "shape {}".format(tal.shape))
    check(nib.aff2axcodes(tal.affine) == ("R", "A", "S"), "axes {}".format(nib.aff2axcodes(tal.affine)))
    check(np.allclose(tal.get_qform(), tal.get_sform()), "qform and sform differ")
    check(int(tal.header["sform_code"]) == 3 and int(tal.header["qform_code"]) == 3, "not labelled Talairach")
    check(int(tal.header["intent_code"]) == 1002, "not a label image")
    check(tal.header.get_xyzt_units()[0] == "mm", "units {}".format(tal.header.get_xyzt_units()))
    check(labelled_world(tal, 1) == set(right_motor), "label 1 at {}".format(sorted(labelled_world(tal, 1))))
    check(labelled_world(tal, 2) == set(corner), "label 2 at {}".format(sorted(labelled_world(tal, 2))))
    check(labelled_world(tal, 3) == {(-12, -18, 8)}, "label 3 at {}".format(sorted(labelled_world(tal, 3))))
    check(int(np.count_nonzero(np.asarray(tal.dataobj))) == 7, "labelled voxels")

    with open(os.path.join(work, "tal.tsv")) as f:
        table = f.read()
    check(table == "index\tname\tcolor\tvoxels\n1\tright motor\t#ff2832\t3\n2\tcorners\t#50ff50\t3\n"
                   "3\tleft thalamus\t#281eff\t1\n", "label table:\n" + table)

    # The same places as AC-PC cube voxels must give the same image, labelled aligned anatomy.
    cube_of = lambda w: (128 - w[1], 128 - w[2], 128 - w[0])
    acpc_voi = os.path.join(work, "acpc.voi")
    write_voi(acpc_voi, "ACPC", [("right motor", (255, 40, 50), [cube_of(w) for w in right_motor]),
                                 ("corners", (80, 255, 80), [cube_of(w) for w in corner]),
                                 ("left thalamus", (40, 30, 255), [cube_of(w) for w in thalamus[:2]])])
    export(vocelle, acpc_voi, os.path.join(work, "acpc.nii"))
    acpc = nib.load(os.path.join(work, "acpc.nii"))
    check(all(world_of_cube(cube_of(w)) == w for w in right_motor + corner), "test conversion")
    check(np.array_equal(np.asarray(acpc.dataobj), np.asarray(tal.dataobj)), "AC-PC and Talairach images differ")
    check(np.allclose(acpc.affine, tal.affine), "AC-PC affine differs")
    check(int(acpc.header["sform_code"]) == 2, "AC-PC not labelled aligned anatomy")

    shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    print("{} passed, {} failed".format(checks[0] - len(failures), len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
