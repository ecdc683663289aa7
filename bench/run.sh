#!/usr/bin/env bash
# Runs every benchmark built into the given folder, one after the other.
set -euo pipefail
bin=${1:?usage: run.sh BIN_DIR}
found=0
for b in "$bin"/bench_*; do
    [ -x "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    "$b"
done
[ $found -eq 1 ] || echo "No benchmarks are built yet."
