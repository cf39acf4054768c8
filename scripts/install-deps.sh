#!/usr/bin/env bash
# Installs every Debian package the plug-in, its tools, tests and benchmarks need.
# Idempotent: only refreshes the package lists when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  liblua5.1-0-dev liboscpack-dev libpng-dev zlib1g-dev
  libfreetype-dev libftgl-dev libglew-dev libgl-dev libglu1-mesa-dev
  libx11-dev libfontconfig-dev fonts-dejavu-core
  libsndfile1-dev xvfb xauth libgl1-mesa-dri libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  liblo-tools clang libclang-rt-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
