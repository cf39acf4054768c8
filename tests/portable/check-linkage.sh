#!/usr/bin/env bash
# Checks that the portable plug-in files in BUILD_DIR need nothing at load time beyond
# libc, libm, the loader, X11 and GL; no glibc newer than 2.34; no C++ runtime from the
# system; and that they export only their format's entry points.
#
#   tests/portable/check-linkage.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: tests/portable/check-linkage.sh BUILD_DIR" >&2
  exit 2
fi
BUILD_DIR="$1"
ALLOWED_NEEDED=" libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2 "
ALLOWED_NEEDED+="libX11.so.6 libGL.so.1 libGLX.so.0 libOpenGL.so.0 "
NEWEST_GLIBC="2.34"
failures=0

complain() {
  echo "check-linkage: $1" >&2
  failures=$((failures + 1))
}

check_needed() {
  local file="$1" library
  for library in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    case "$ALLOWED_NEEDED" in
      *" $library "*) ;;
      *) complain "$file needs $library" ;;
    esac
  done
}

check_versions() {
  local file="$1" newest runtime
  newest="$(objdump -T "$file" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)"
  if [ "$(printf '%s\n%s\n' "$newest" "$NEWEST_GLIBC" | sort -V | tail -n 1)" != "$NEWEST_GLIBC" ]; then
    complain "$file needs GLIBC_$newest (at most GLIBC_$NEWEST_GLIBC allowed): $(objdump -T "$file" |
      grep -E "GLIBC_$newest" | awk '{print $NF}' | tr '\n' ' ')"
  fi
  runtime="$(objdump -T "$file" | { grep -oE '(GLIBCXX|CXXABI)_[0-9.]*' || true; } | sort -u | tr '\n' ' ')"
  if [ -n "$runtime" ]; then
    complain "$file needs the system's C++ runtime: $runtime"
  fi
}

# check_exports FILE SYMBOL...: the defined dynamic symbols are exactly the given ones.
check_exports() {
  local file="$1" exported expected
  shift
  exported="$(objdump -T "$file" | awk '$0 !~ /\*UND\*/ && NF >= 6 {print $NF}' | sort | tr '\n' ' ')"
  expected="$(printf '%s\n' "$@" | sort | tr '\n' ' ')"
  if [ "$exported" != "$expected" ]; then
    complain "$file exports [${exported% }], expected [${expected% }]"
  fi
}

check_file() {
  local file="$BUILD_DIR/$1"
  shift
  if [ ! -f "$file" ]; then
    complain "$file is missing: build the portable files first (LUMENFOLD_PORTABLE=ON)"
    return
  fi
  check_needed "$file"
  check_versions "$file"
  check_exports "$file" "$@"
}

check_file Lumenfold.so VSTPluginMain main
check_file Lumenfold.clap clap_entry
check_file Lumenfold.lv2/Lumenfold.so lv2_descriptor lv2ui_descriptor

if [ "$failures" -gt 0 ]; then
  echo "check-linkage: $failures problem(s) in $BUILD_DIR" >&2
  exit 1
fi
echo "check-linkage: the plug-in files in $BUILD_DIR are portable"
