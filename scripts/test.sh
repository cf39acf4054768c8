#!/usr/bin/env bash
# Installs what the build needs, builds and runs the tests.
#
#   scripts/test.sh            the CI set: the whole suite, then every fuzz target for
#                              30 s each, then the whole suite under AddressSanitizer
#                              and UndefinedBehaviorSanitizer together, then the
#                              concurrency stress tests under ThreadSanitizer
#   scripts/test.sh MODE...    one or more of:
#     plain      check that every include goes downward (scripts/check-layers.sh), build
#                the portable plug-in files into build-portable/, build into build/ and run
#                every test (tests/portable checks the portable files)
#     address    AddressSanitizer + UndefinedBehaviorSanitizer build (build-address/), every test
#     undefined  UndefinedBehaviorSanitizer build (build-undefined/), every test
#     thread     ThreadSanitizer build (build-thread/, only what the stress tests need),
#                the concurrency stress tests
#     fuzz       every fuzz target (scripts/fuzz.sh) for $LUMENFOLD_FUZZ_SECONDS (default 30)
#                seconds each
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs="$(nproc)"

# The release build (cmake/Portable.cmake): the three plug-in files and the tools, which
# the package test packages.
build_portable() {
  LUMENFOLD_BUILD_DIR=build-portable CMAKE_BUILD_TYPE=Release \
    scripts/build.sh -DLUMENFOLD_PORTABLE=ON -DLUMENFOLD_BUILD_TESTS=OFF -DLUMENFOLD_BUILD_BENCH=OFF
}

run_plain() {
  scripts/check-layers.sh
  build_portable
  LUMENFOLD_BUILD_DIR="${LUMENFOLD_BUILD_DIR:-build}" scripts/build.sh -DLUMENFOLD_BUILD_TESTS=ON \
    -DLUMENFOLD_PORTABLE_BUILD_DIR="$PWD/build-portable"
  ctest --test-dir "${LUMENFOLD_BUILD_DIR:-build}" --output-on-failure -j"$jobs"
}

run_sanitized() {
  local sanitizer="$1"
  shift
  LUMENFOLD_BUILD_DIR="build-$sanitizer" CMAKE_BUILD_TYPE=RelWithDebInfo \
    scripts/build.sh -DLUMENFOLD_BUILD_TESTS=ON -DLUMENFOLD_BUILD_BENCH=OFF -DLUMENFOLD_SANITIZE="$sanitizer"
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=7:suppressions=$PWD/tests/tsan.supp" \
    ctest --test-dir "build-$sanitizer" --output-on-failure -j"$jobs" "$@"
}

run_mode() {
  case "$1" in
    plain) run_plain ;;
    address) run_sanitized address ;;
    undefined) run_sanitized undefined ;;
    thread) LUMENFOLD_BUILD_TARGETS=lumenfold_stress_tests run_sanitized thread -R '^StressTest\.' ;;
    fuzz) scripts/fuzz.sh "${LUMENFOLD_FUZZ_SECONDS:-30}" ;;
    *) echo "scripts/test.sh: unknown mode '$1'" >&2; exit 2 ;;
  esac
}

if [ $# -eq 0 ]; then
  set -- plain fuzz address thread
fi
for mode in "$@"; do
  echo "== scripts/test.sh: $mode"
  run_mode "$mode"
done
