#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds-per-target] [build-folder] [target...]
#   targets: osc_packet state_chunk preferences lua_arguments (default: all of them)
# Each target starts from the seeds committed in fuzz/corpus/<target>/ and keeps what it
# finds in <build-folder>/corpus/<target>/. Exits non-zero when a target finds a crash,
# a leak, undefined behaviour or an input that runs for more than 10 s; the failing
# input is left in the build folder.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build-fuzz}"
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(osc_packet state_chunk preferences lua_arguments)
fi

extra_options() {
  case "$1" in
    # The OSC target also asserts its own bounds; its resident size stays far below this
    # cap (about 450 MB with the sanitizers' own memory), so reaching it means growth.
    osc_packet) echo "-max_len=4098 -dict=$root/fuzz/osc.dict -close_fd_mask=1 -rss_limit_mb=1024" ;;
    state_chunk) echo "-max_len=8500 -close_fd_mask=1" ;;
    preferences) echo "-max_len=4096" ;;
    lua_arguments) echo "-max_len=1024 -close_fd_mask=1" ;;
    *) echo "scripts/fuzz.sh: unknown target '$1'" >&2; return 2 ;;
  esac
}

mkdir -p "$build"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > "$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
build_targets=()
for target in "${targets[@]}"; do
  extra_options "$target" > /dev/null
  build_targets+=("lumenfold_fuzz_$target")
done
cmake --build "$build" --target "${build_targets[@]}" -j"$(nproc)"

cd "$build"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  seeds="$root/fuzz/corpus/$target"
  mkdir -p "$corpus" "$seeds"
  log="$build/fuzz-$target.log"
  echo "== fuzzing $target for $seconds s"
  # shellcheck disable=SC2046
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "./lumenfold_fuzz_$target" -max_total_time="$seconds" -timeout=10 -seed=1 -print_final_stats=1 \
    $(extra_options "$target") "$corpus" "$seeds" > "$log" 2>&1 \
    || { tail -n 60 "$log"; exit 1; }
  grep -E '^Done|stat::number_of_executed_units|stat::average_exec_per_sec' "$log"
done
