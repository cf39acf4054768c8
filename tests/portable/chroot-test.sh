#!/usr/bin/env bash
# Loads each portable plug-in file of BUILD_DIR inside a root file system that holds only
# the libraries a portable file may need (libc, libm, the loader, X11 and GL with their
# own dependencies, copied from this machine) and runs sound and state through it with
# lumenfold-portable-host.
#
#   tests/portable/chroot-test.sh BUILD_DIR HOST_BINARY
#
# Needs root for chroot; without it, says so and exits 77 (skipped).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: tests/portable/chroot-test.sh BUILD_DIR HOST_BINARY" >&2
  exit 2
fi
BUILD_DIR="$1"
HOST="$2"
if [ "$(id -u)" -ne 0 ]; then
  echo "chroot-test: skipped: chroot needs root" >&2
  exit 77
fi
for file in Lumenfold.so Lumenfold.clap Lumenfold.lv2/Lumenfold.so; do
  if [ ! -f "$BUILD_DIR/$file" ]; then
    echo "chroot-test: $BUILD_DIR/$file is missing: build the portable files first (LUMENFOLD_PORTABLE=ON)" >&2
    exit 1
  fi
done

ROOT="$(mktemp -d "${TMPDIR:-/tmp}/lumenfold-chroot.XXXXXX")"
trap 'rm -rf "$ROOT"' EXIT
LIB_DIR="$ROOT/lib/x86_64-linux-gnu"
mkdir -p "$LIB_DIR" "$ROOT/lib64" "$ROOT/bin" "$ROOT/plugin" "$ROOT/tmp"

# The libraries a portable file may need, and what they need in turn.
ALLOWED=(libc.so.6 libm.so.6 libX11.so.6 libGL.so.1 libGLX.so.0 libOpenGL.so.0)

copy_library() {
  local path
  path="$(ldconfig -p | awk -v name="$1" '$1 == name && /x86-64/ && !found {print $NF; found = 1}')"
  if [ -z "$path" ]; then
    echo "chroot-test: this machine has no $1" >&2
    exit 1
  fi
  cp -L "$path" "$LIB_DIR/$1"
}

for library in "${ALLOWED[@]}"; do
  copy_library "$library"
  for dependency in $(ldd "$LIB_DIR/$library" | awk '$2 == "=>" && $3 != "" {print $1}'); do
    [ -f "$LIB_DIR/$dependency" ] || copy_library "$dependency"
  done
done
cp -L /lib64/ld-linux-x86-64.so.2 "$ROOT/lib64/ld-linux-x86-64.so.2"
cp "$HOST" "$ROOT/bin/lumenfold-portable-host"
cp "$BUILD_DIR/Lumenfold.so" "$BUILD_DIR/Lumenfold.clap" "$ROOT/plugin/"
cp -r "$BUILD_DIR/Lumenfold.lv2" "$ROOT/plugin/"

CHROOT="$(PATH="$PATH:/usr/sbin:/sbin" command -v chroot)"
run_in_root() {
  env -i HOME=/tmp LD_LIBRARY_PATH=/lib/x86_64-linux-gnu \
    "$CHROOT" "$ROOT" /bin/lumenfold-portable-host "$@"
}

failures=0
for run in "vst /plugin/Lumenfold.so" "clap /plugin/Lumenfold.clap" "lv2 /plugin/Lumenfold.lv2/Lumenfold.so"; do
  # shellcheck disable=SC2086 # two words: the format and the file
  if ! run_in_root $run; then
    echo "chroot-test: $run failed in a root with only libc, libm, X11 and GL" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
