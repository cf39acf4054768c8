#!/usr/bin/env bash
# Builds the OSC packet fuzzer with clang and runs it for a bounded time (default 60 s).
# Usage: scripts/fuzz-osc.sh [seconds] [build-folder]
# Exits non-zero when the fuzzer finds a crash, a leak or undefined behaviour; the
# failing input is left in the build folder.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build-fuzz}"

mkdir -p "$build"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --target lumenfold_fuzz_osc_packet -j"$(nproc)"

corpus="$build/corpus"
mkdir -p "$corpus"
cd "$build"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ./lumenfold_fuzz_osc_packet -max_total_time="$seconds" -max_len=4098 -seed=1 \
  -dict="$root/fuzz/osc.dict" -print_final_stats=1 "$corpus" > "$build/fuzz.log" 2>&1 \
  || { tail -n 60 "$build/fuzz.log"; exit 1; }
tail -n 12 "$build/fuzz.log"
