#!/usr/bin/env bash
# Converts the bundled example study through the command-line host. The study is copied into a
# scratch folder of the build tree first, so the committed files stay untouched; its job list
# names every file relative to the study folder ("./"), so the run starts there.
set -uo pipefail
vocelle=$(realpath "${1:?usage: demo.sh PATH/TO/vocelle}")
examples=$(cd "$(dirname "$0")" && pwd)
scratch=$(realpath -m "$(dirname "$vocelle")/../demo/study")

rm -rf "$scratch"
mkdir -p "$(dirname "$scratch")"
cp -R "$examples/study" "$scratch" || exit 2
cd "$scratch" || exit 2

echo "== vocelle run jobs.txt    (in $scratch)"
"$vocelle" run jobs.txt
status=$?
echo "== exit status $status (0: all converted, 1: some not converted, 2: list unreadable or no start)"

echo "== VOI files written:"
found=0
while IFS= read -r voi; do
    found=1
    summary=$(awk '/^ReferenceSpace:/ { space = $2 }
                   /^NrOfVoxels:/ { counts = counts " " $2 }
                   END { print "ReferenceSpace " space ", voxels per VOI:" counts }' "$voi")
    echo "   $scratch/${voi#./}"
    echo "      $summary"
done < <(find . -name '*.voi' | sort)
[ $found -eq 1 ] || echo "   none"

# The example has no anatomy of its own: a synthetic head in Talairach space (2 mm, a noisy brain
# inside a darker skull) stands in for one, so the preview shows the VOIs over grey anatomy.
echo "== vocelle preview s1/run1_TAL_.voi --underlay anat_tal.nii.gz"
/usr/bin/python3 - <<'PY' || exit 2
import nibabel as nib
import numpy as np
x, y, z = np.meshgrid(*[np.arange(-112, 112, 2.0)] * 3, indexing="ij")
r = np.sqrt((x / 70) ** 2 + ((y + 15) / 95) ** 2 + ((z - 5) / 75) ** 2)
noise = np.random.default_rng(1).normal(0.0, 40.0, r.shape)
head = np.where(r < 0.88, 900 - 250 * r, np.where(r < 1, 350.0, 0.0)) + noise * (r < 1)
head = head.astype(np.float32)
affine = np.diag([2.0, 2.0, 2.0, 1.0])
affine[:3, 3] = -112
image = nib.Nifti1Image(head, affine)
image.set_sform(affine, 3)
image.set_qform(affine, 3)
nib.save(image, "anat_tal.nii.gz")
PY
"$vocelle" preview s1/run1_TAL_.voi --underlay anat_tal.nii.gz -o "$scratch/s1/run1_TAL_on_anatomy.png" || exit 2

# The converted regions measured back in the run through the job's own alignment, and the run's
# design fitted to them.
echo "== vocelle glm s1/run1_TAL_.voi s1/run1.fmr --sdm s1/run1.sdm ... --plot s1/run1_glm.png"
"$vocelle" glm s1/run1_TAL_.voi s1/run1.fmr --sdm s1/run1.sdm --ia s1/run1_IA.trf \
    --fa s1/run1_FA.trf --acpc s1/anat_ACPC.trf --tal s1/anat.tal \
    --contrast motor-visual=-1,1,0,0 -o s1/run1_glm.tsv --plot "$scratch/s1/run1_glm.png" || exit 2
echo "   $scratch/s1/run1_glm.tsv (estimates of the VOIs' first predictor:)"
awk -F'\t' 'NR > 1 && $3 == "visual" { printf "      %-6s %5s voxels  visual %s  r2 %s\n", $1, $2, $4, $9 }' s1/run1_glm.tsv

# Jobs that were not converted are a result to show, not a failure of the demo.
[ "$status" -le 1 ]
