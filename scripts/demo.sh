#!/usr/bin/env bash
# Installs what the build needs, builds the plug-in and its tools, shows what a host sees
# when it loads the plug-in, and renders the built-in demo signal through a spectral
# setting: a 256-point frame with every bin above bin 24 (about 4.5 kHz at 48 kHz)
# turned down, blended with a little of the dry signal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DLUMENFOLD_BUILD_TESTS=OFF -DLUMENFOLD_BUILD_BENCH=OFF

BUILD_DIR="${LUMENFOLD_BUILD_DIR:-build}"
"$BUILD_DIR/lumenfold-host" "$BUILD_DIR/Lumenfold.so"

OUT_DIR="${LUMENFOLD_DEMO_DIR:-out}"
mkdir -p "$OUT_DIR"
settings=(--set "FFT Size=256" --set "Dry Level=0.4" --set "Wet Level=1" --set "Bin 25-128 Level=0.05")
"$BUILD_DIR/lumenfold-render" --demo "$OUT_DIR/demo-input.wav" --set "Wet Level=0" --set "Dry Level=1"
"$BUILD_DIR/lumenfold-render" "$OUT_DIR/demo-input.wav" "$OUT_DIR/demo-lowpass.wav" "${settings[@]}"
echo "Demo input:    $(realpath "$OUT_DIR/demo-input.wav")"
echo "Demo rendered: $(realpath "$OUT_DIR/demo-lowpass.wav")"
