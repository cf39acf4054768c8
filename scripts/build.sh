#!/usr/bin/env bash
# Configures and builds the project into build/ (or $LUMENFOLD_BUILD_DIR).
# Extra arguments go to the CMake configure step; $LUMENFOLD_BUILD_TARGETS (space-separated)
# builds only those targets and what they need.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${LUMENFOLD_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@"
targets=()
for target in ${LUMENFOLD_BUILD_TARGETS:-}; do
  targets+=(--target "$target")
done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
