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

# Jobs that were not converted are a result to show, not a failure of the demo.
[ "$status" -le 1 ]
