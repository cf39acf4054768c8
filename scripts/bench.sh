#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench/ or $LUMENFOLD_BENCH_DIR) and prints one table:
# RealFft forward+inverse against FFTW (measured side by side in the same run, and the reference
# anchors), the kernel's cost per channel against the transforms it runs, then the plug-in's
# real-time factors per FFT size and with spectral scripts.
# Every figure is the median of $LUMENFOLD_BENCH_REPS runs (default 7), CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${LUMENFOLD_BENCH_DIR:-build-bench}"
REPS="${LUMENFOLD_BENCH_REPS:-7}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DLUMENFOLD_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target lumenfold_bench_fft lumenfold_bench_kernel lumenfold_bench_kernel_cost >/dev/null

common=(--benchmark_repetitions="$REPS" --benchmark_report_aggregates_only=true --benchmark_format=csv)
fft_csv=$("$BUILD_DIR/bench/lumenfold_bench_fft" --benchmark_min_time=0.05 "${common[@]}" 2>/dev/null)
cost_csv=$("$BUILD_DIR/bench/lumenfold_bench_kernel_cost" --benchmark_filter=KernelOverTransforms --benchmark_min_time=0.2 "${common[@]}" 2>/dev/null)
kernel_csv=$("$BUILD_DIR/bench/lumenfold_bench_kernel" --benchmark_filter='Stereo' --benchmark_min_time=0.1 "${common[@]}" 2>/dev/null)
build_csv=$("$BUILD_DIR/bench/lumenfold_bench_kernel" --benchmark_filter='InstanceBuild' "${common[@]}" 2>/dev/null)

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC'); medians of $REPS runs"
echo
echo "RealFft forward+inverse (ns per pair) against FFTW 3.3.10 r2c+c2r, FFTW_MEASURE"
echo "$fft_csv" | awk -F, '
  BEGIN {
    split("32 64 128 256 512 1024 2048 4096", sizes, " ")
    split("62 102 153 342 626 1273 2622 5772", anchors, " ")
    printf "%6s %10s %10s %10s %10s %10s %10s %12s %12s\n", "N", "ours", "portable", "sse2", "avx2+fma", "FFTW", "ours/FFTW", "anchor", "ours/anchor"
  }
  /_median"?,/ {
    gsub(/"/, "", $1)
    split($1, parts, "/"); n = parts[2]; sub(/_median/, "", n)
    t[parts[1], n] = $4
  }
  END {
    for (i = 1; i <= 8; i++) {
      n = sizes[i]; ours = t["BM_RealFft_ForwardInverse", n]; fftw = t["BM_Fftw_ForwardInverse", n]
      printf "%6d %10.1f %10.1f %10.1f %10.1f %10.1f %10.2f %12d %12.2f\n", n, ours,
             t["BM_RealFftPortable_ForwardInverse", n], t["BM_RealFftSse2_ForwardInverse", n],
             t["BM_RealFftAvx2Fma_ForwardInverse", n], fftw, (fftw > 0 ? ours / fftw : 0),
             anchors[i], ours / anchors[i]
    }
  }'
echo
echo "Kernel, one channel fed 512-sample blocks, per hop of N/2 samples (ns), against the forward + inverse transform pair it runs per hop"
echo "$cost_csv" | awk -F, '
  NR == 1 { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[h] = i } ; next }
  /_median"?,/ {
    label = $(col["label"]); gsub(/"/, "", label)
    printf "%-20s %10.1f kernel %10.1f transforms %6.2fx (goal <= 1.30)\n", label, $(col["kernel_ns"]),
           $(col["transforms_ns"]), $(col["ratio"])
  }'
echo
echo "Plug-in, stereo 48 kHz, host blocks of 512 (real-time factor = audio seconds per CPU second)"
echo "$kernel_csv" | awk -F, '
  NR == 1 { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[h] = i } ; next }
  /_median"?,/ {
    name = $1; gsub(/"/, "", name); sub(/_median/, "", name)
    label = $(col["label"]); gsub(/"/, "", label)
    goal = (name ~ /^KernelStereo/) ? (label == "N=1024" ? ">= 2000" : ">= 1000") : ""
    if (label == "N=1024 4x") goal = ">= 2000"; else if (label == "N=1024 8x") goal = ">= 1000"
    printf "%-28s %-22s %10.1f us/block %10.0fx realtime %s\n", name, label, $4, $(col["realtime"]), goal
  }'
echo
echo "$build_csv" | awk -F, '/_median"?,/ { printf "Building an instance (entry point to idle, then effClose): %.2f ms wall, %.2f ms CPU (goal < 10 ms)\n", $3, $4 }'
