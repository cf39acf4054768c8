#!/usr/bin/env bash
# Installs every Debian package the plug-in, its tools, tests and benchmarks need.
# Idempotent: only refreshes the package lists when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 qtractor
  liblua5.1-0-dev liboscpack-dev libpng-dev zlib1g-dev
  libfreetype-dev libftgl-dev libglew-dev libgl-dev libglu1-mesa-dev
  libx11-dev libfontconfig-dev fonts-dejavu-core
  libsndfile1-dev xvfb xauth libgl1-mesa-dri libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  liblo-tools clang libclang-rt-dev
  jackd2 libjack-jackd2-dev
  ardour
  dpkg-dev lintian
  # The portable build: FreeType's static dependency, and unpacking the source packages
  # scripts/build-static-deps.sh compiles (apt-get source needs dpkg-dev).
  libbrotli-dev xz-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A comma-decimal locale, so the tests can prove that no text depends on the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
      apt-get update -qq
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends locales
    fi
    sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  fi
fi
