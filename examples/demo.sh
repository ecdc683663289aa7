#!/usr/bin/env bash
# Runs the bundled example study through the command-line host.
set -euo pipefail
vocelle=${1:?usage: demo.sh PATH/TO/vocelle}
echo "The example study is not bundled yet; built host: $vocelle"
