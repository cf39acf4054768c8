#!/usr/bin/env bash
# Installs what the build needs, builds everything into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DLUMENFOLD_BUILD_TESTS=ON
ctest --test-dir "${LUMENFOLD_BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
