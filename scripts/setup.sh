#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# As root it installs them with apt-get; otherwise it prints the one command to run and stops.
set -euo pipefail

packages=(make cmake g++ binutils libglm-dev libgtest-dev libgmock-dev libbenchmark-dev)
# make fuzz alone needs clang and its libFuzzer runtime; the other targets build with g++.
if [ "${1:-}" = "fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
# The host: its command line (CLI11), PNG previews with text in DejaVu Sans through Cairo, NIfTI
# label images (nibabel and Pillow check them); Debian packages and the host's manual page.
packages+=(libcli11-dev libpng-dev libcairo2-dev libfontconfig-dev fonts-dejavu-core pkg-config zlib1g-dev
           libnifti2-dev python3-nibabel python3-pil dpkg-dev help2man)
# Measuring regions: least squares (Eigen), Student's t (Boost.Math); numpy and scipy check the fit.
packages+=(libeigen3-dev libboost-dev python3-numpy python3-scipy)
# The README's scale-out recipes run in the suite: a one-node Slurm cluster and GNU parallel.
packages+=(slurm-wlm munge parallel)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
