#!/usr/bin/env bash
# Runs the bundled job list through the command-line host, from the examples folder so the
# list's relative base path "study/" resolves there.
set -uo pipefail
vocelle=$(realpath "${1:?usage: demo.sh PATH/TO/vocelle}")
cd "$(dirname "$0")"

echo "== vocelle run examples/jobs.txt"
"$vocelle" run jobs.txt
status=$?
echo "== exit status $status (0: all converted, 1: some not converted, 2: list unreadable or no start)"
# Jobs that were not converted are a result to show, not a failure of the demo.
[ "$status" -le 1 ]
