"""vocelle export-nifti read back by nibabel, as an analysis package reads it: each label sits at
the world coordinates its VOI voxels stand for, in both conventions; and images made by nibabel
read by import-nifti; the example study's VOI out and back in, and over an anatomy.
Usage: VOCELLE WORK_FOLDER EXAMPLE_STUDY"""
import itertools
import os
import shutil
import subprocess
import sys

import nibabel as nib
import numpy as np
from PIL import Image

# Talairach mm (right, anterior, superior; AC at 0). The third VOI shares a voxel with the first,
# which keeps it, and has one outside the grid.
VOIS = [("right motor", "255 40 50", [(38, -20, 55), (39, -20, 55), (38, -19, 56)]),
        ("corners", "80 255 80", [(-127, -127, -127), (128, 128, 128), (0, 0, 0)]),
        ("left thalamus", "40 30 255", [(-12, -18, 8), (38, -20, 55), (500, 0, 0)])]
vocelle, work, example = sys.argv[1:4]


def check(condition, message):
    if not condition:
        sys.exit("FAILED: {}".format(message))


def vocelle_run(*arguments, status=0):
    result = subprocess.run([vocelle, *arguments], cwd=work, capture_output=True, text=True)
    check(result.returncode == status and (status == 0 or result.stderr.count("\n") == 1), (arguments, result))
    return result


def export(space, stored, image):
    text = "FileVersion: 4\nReferenceSpace: {}\nNrOfVOIs: 3\n".format(space)
    for name, colour, voxels in VOIS:
        text += "NameOfVOI: {}\nColorOfVOI: {}\nNrOfVoxels: 3\n".format(name, colour)
        text += "".join("{} {} {}\n".format(*stored(v)) for v in voxels)
    with open(os.path.join(work, space + ".voi"), "w") as f:
        f.write(text + "NrOfVOIVTCs: 0\n")
    return vocelle_run("export-nifti", space + ".voi", "-o", image).stderr, nib.load(os.path.join(work, image))


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
table = open(os.path.join(work, "tal.tsv")).read()
check(table == "index\tname\tcolor\tvoxels\n1\tright motor\t#ff2832\t3\n2\tcorners\t#50ff50\t3\n"
               "3\tleft thalamus\t#281eff\t1\n", table)
# The same places stored as AC-PC cube voxels give the same image, labelled aligned anatomy.
_, acpc = export("ACPC", lambda w: (128 - w[1], 128 - w[2], 128 - w[0]), "acpc.nii")
check(np.array_equal(np.asarray(acpc.dataobj), labels) and np.allclose(acpc.affine, tal.affine)
      and acpc.header["sform_code"] == 2, "AC-PC image differs")


def read_voi(name):
    """(name, colour, set of voxels) per entry of a VOI file in the work folder."""
    entries, lines = [], open(os.path.join(work, name)).read().split("\n")
    for n, line in enumerate(lines):
        if line.startswith("NameOfVOI:"):
            count = int(lines[n + 3].split()[1])
            voxels = {tuple(map(int, v.split())) for v in lines[n + 4:n + 4 + count]}
            entries.append((line.split(None, 1)[1], lines[n + 1].split(None, 1)[1], voxels))
    return entries


def save(name, data, affine, code, qform_only=False):
    image = nib.Nifti1Image(data, affine)
    image.set_sform(affine, 0 if qform_only else code)
    image.set_qform(affine, code)
    nib.save(image, os.path.join(work, name))


# Stats in RAS mm: a Talairach VOI's own coordinates; the same places stored as AC-PC alike.
# The voxel outside the cube is left out with the export's warning.
run = vocelle_run("stats", "TAL.voi")
stats = run.stdout
check(stats.split("\n")[1] == "1\tright motor\t3\t3.00\t38.33\t-19.67\t55.33\t38\t-20\t55\t39\t-19\t56", stats)
check(stats.split("\n")[3].startswith("3\tleft thalamus\t2\t") and run.stderr == warnings.split("\n")[0] + "\n", run.stderr)
check(vocelle_run("stats", "ACPC.voi").stdout == stats, "AC-PC stats differ")

# One volume per VOI keeps the voxel the first and third VOI share (the example study's VOI
# below comes back whole).
vocelle_run("export-nifti", "--4d", "TAL.voi", "-o", "four.nii.gz")
four = nib.load(os.path.join(work, "four.nii.gz"))
masks = np.asarray(four.dataobj)
check(four.shape == (256, 256, 256, 3) and masks.dtype == np.uint8 and masks.max() == 1 and four.header["sform_code"] == 3,
      four.shape)
for n, (_, _, voxels) in enumerate(VOIS):
    world = {tuple(int(round(c)) for c in p) for p in nib.affines.apply_affine(four.affine, np.argwhere(masks[..., n]))}
    check(world == set(voxels) - {(500, 0, 0)}, (n, world))

# A 2 mm Talairach atlas: label 7 named by an FSLeyes table, label 2 not. Its voxel edges fall
# between cube voxel centres, so each 2 mm voxel gives exactly 2 x 2 x 2 cube voxels.
atlas, affine = np.zeros((40, 40, 40), np.int16), np.diag([2.0, 2.0, 2.0, 1.0])
affine[:3, 3] = [-40.5, -30.5, -20.5]
atlas[10:13, 5:7, 20:21], atlas[30:32, 30:33, 2:4] = 7, 2
save("atlas.nii.gz", atlas, affine, 3)
open(os.path.join(work, "atlas.lut"), "w").write("7 0.0 1.0 0.5 Gyrus précentral\n")
check(vocelle_run("import-nifti", "atlas.nii.gz").stderr == "", "a warning for a Talairach atlas")
imported = read_voi("atlas.voi")


def cube_box(low, high):  # image voxels low..high-1 on each axis, in world mm of the cube
    ranges = [range(int(np.ceil(2 * a + o - 1)), int(np.floor(2 * (b - 1) + o + 1)) + 1)
              for a, b, o in zip(low, high, affine[:3, 3])]
    return {(x, y, z) for x in ranges[0] for y in ranges[1] for z in ranges[2]}


check(imported == [("Label 2", "255 40 50", cube_box((30, 30, 2), (32, 33, 4))),
                   ("Gyrus précentral", "0 255 128", cube_box((10, 5, 20), (13, 7, 21)))]
      and len(imported[1][2]) == 3 * 2 * 1 * 8, [(n, c, len(v)) for n, c, v in imported])
# Asked for AC-PC, the same places are stored as cube voxels.
vocelle_run("import-nifti", "atlas.nii.gz", "--space", "ACPC", "-o", "atlas_acpc.voi")
check([v for _, _, v in read_voi("atlas_acpc.voi")] ==
      [{(128 - y, 128 - z, 128 - x) for x, y, z in v} for _, _, v in imported], "AC-PC placement")

# 1 mm, the first two axes swapped (x along j, left to right; y along i), qform only: each voxel
# centre in its nearest cube voxel; aligned anatomy.
flipped = np.zeros((20, 20, 20), np.uint8)
affine = np.array([[0, -1.0, 0, 10], [1, 0, 0, -5], [0, 0, 1, 3], [0, 0, 0, 1]])
flipped[2, 3, 4] = flipped[2, 3, 5] = 1
save("flipped.nii", flipped, affine, 2, qform_only=True)
vocelle_run("import-nifti", "flipped.nii", "-o", "flipped.voi")
check(read_voi("flipped.voi")[0][2] == {(128 + 3, 128 - z, 128 - 7) for z in (7, 8)}, read_voi("flipped.voi"))

# A 1 mm ball rotated 30 degrees about z comes in solid: every cube voxel well inside it, none
# well outside.
c, s, r = np.cos(np.pi / 6), np.sin(np.pi / 6), 12
affine = np.array([[c, -s, 0, 0.3], [s, c, 0, -0.2], [0, 0, 1, 0.1], [0, 0, 0, 1]])
save("ball.nii", (((np.indices((31, 31, 31)) - 15) ** 2).sum(0) <= r * r).astype(np.uint8), affine @ nib.affines.from_matvec(np.eye(3), [-15] * 3), 3)
imported_ball = vocelle_run("import-nifti", "ball.nii").stdout
ball = read_voi("ball.voi")[0][2]
check(imported_ball == "ball.voi: 1 VOI, {} voxels, TAL\n".format(len(ball)), imported_ball)
distance = {v: np.linalg.norm(np.subtract(v, affine[:3, 3])) for v in itertools.product(range(-16, 17), repeat=3)}
check({v for v, d in distance.items() if d <= r - 1} <= ball and all(distance[v] <= r + 1 for v in ball), len(ball))

# The example study's Talairach VOI out as NIfTI and back in: whole with one volume per VOI;
# through labels, less the voxels an earlier VOI holds. Names and colours come back too.
shutil.copytree(example, os.path.join(work, "study"))
subprocess.run([vocelle, "run", "jobs.txt"], cwd=os.path.join(work, "study"), capture_output=True)
study_voi = read_voi("study/s1/run1_TAL_.voi")
for how in (["--4d"], []):
    vocelle_run("export-nifti", "study/s1/run1_TAL_.voi", "-o", "example.nii.gz", *how)
    vocelle_run("import-nifti", "example.nii.gz", "-o", "example.voi")
    held, expected = set(), []
    for name, colour, voxels in study_voi:
        expected.append((name, colour, voxels - held if not how else voxels))
        held |= voxels
    check(read_voi("example.voi") == expected, how)
# The names come from the table inside the image; a table beside it that says otherwise is named.
open(os.path.join(work, "example.tsv"), "a").write("9\tedited\t#000000\t0\n")
edited = vocelle_run("import-nifti", "example.nii.gz", "-o", "example.voi")
check("example.tsv differs" in edited.stderr and read_voi("example.voi") == expected, edited)

# Over a 2 mm anatomy of 100 + RAS x with two outliers: along a row of the axial view clear of VOIs
# and marks, grey falls from the subject's right (left edge) to the left, from white to black
# through the window, and the cube beyond the image stays dark.
ramp = ((61 + 2.0 * np.arange(40))[:, None, None] * np.ones((1, 40, 40))).astype(np.float32)
ramp[0, 0, 0], ramp[1, 0, 0] = 1e4, -1e4
save("ramp.nii", ramp, np.array([[2, 0, 0, -39], [0, 2, 0, -39], [0, 0, 2, -39], [0, 0, 0, 1.0]]), 3)
vocelle_run("preview", "study/s1/run1_TAL_.voi", "--underlay", "ramp.nii", "-o", "u.png")
row = np.asarray(Image.open(os.path.join(work, "u.png")).convert("RGB"))[76 + 2 * 100, 24::2].astype(int)
grey = [p[0] if p[0] == p[1] == p[2] else -1 for p in row]  # by cube z
check(grey[89] >= 250 and grey[167] <= 5 and 90 < grey[128] < 165 and grey[70] == -1, grey[60:170])
check(all(z == 145 or grey[z] <= grey[z - 1] for z in range(90, 168)), grey[88:170])
# A Talairach anatomy under AC-PC VOIs is drawn, with a warning.
run = vocelle_run("preview", "study/s1/run1_ACPC_.voi", "--underlay", "ramp.nii", "-o", "u.png")
check("ramp.nii says Talairach space, but the VOIs of study/s1/run1_ACPC_.voi are ACPC" in run.stderr, run.stderr)

# A pipe as the header of a pair, or as the label table beside an image, is refused, not waited
# on (tests/host has the damaged images and tables).
os.mkfifo(os.path.join(work, "fifo.hdr"))
open(os.path.join(work, "fifo.img"), "wb").write(b"\1\0")
os.mkfifo(os.path.join(work, "atlas.tsv"))
for image, named in (("fifo.img", "fifo.hdr"), ("atlas.nii.gz", "atlas.tsv")):
    result = vocelle_run("import-nifti", image, "-o", "refused.voi", status=2)
    check(named in result.stderr and not os.path.exists(os.path.join(work, "refused.voi")), result.stderr)
shutil.rmtree(work, ignore_errors=True)
