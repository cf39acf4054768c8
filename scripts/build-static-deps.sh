#!/usr/bin/env bash
# Builds the static, position-independent libraries the portable plug-in files link in
# and Debian does not ship in that form.
#
#   scripts/build-static-deps.sh BUILD_DIR [CC [CXX]]
#
#   oscpack    Debian ships it only as a shared library
#   lua5.1     Debian's liblua5.1.a is not position-independent
#   libpng1.6  Debian's libpng16.a is not position-independent
#
# Each Debian source package is fetched with apt-get source into BUILD_DIR/src and
# compiled there with -fPIC and every symbol hidden. Results:
#   BUILD_DIR/lib/{liboscpack,liblua5.1,libpng16}.a
#   BUILD_DIR/include/oscpack/{osc,ip}/*.h   (the layout the system package installs)
# Lua and libpng keep using the system's headers, which come from the same versions;
# libpng is built with the system's pnglibconf.h so that both agree on its options.
# A library whose archive exists already is skipped.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: scripts/build-static-deps.sh BUILD_DIR [CC [CXX]]" >&2
  exit 2
fi
BUILD_DIR="$(mkdir -p "$1" && cd "$1" && pwd)"
CC="${2:-${CC:-cc}}"
CXX="${3:-${CXX:-c++}}"
LIB_DIR="$BUILD_DIR/lib"
SOURCE_LIST=/etc/apt/sources.list.d/lumenfold-src.list
# The same key as the binary entries: apt refuses one archive with two different keys.
KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg
FLAGS=(-O2 -fPIC -fvisibility=hidden -w)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# apt-get source needs a deb-src entry; Debian 12 images usually have none.
has_source_entry() {
  grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/
}

# fetch_source PACKAGE FILE_INSIDE: prints the unpacked source folder.
fetch_source() {
  local package="$1" marker="$2" folder="$BUILD_DIR/src/$1"
  if ! has_source_entry; then
    echo "build-static-deps: adding the Debian 12 source packages to apt ($SOURCE_LIST)" >&2
    echo "deb-src [signed-by=$KEYRING] http://deb.debian.org/debian bookworm main" |
      as_root tee "$SOURCE_LIST" >/dev/null
    as_root apt-get update -qq
  fi
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && apt-get source -qq "$package" >/dev/null 2>&1) || {
    echo "build-static-deps: apt-get source $package failed" >&2
    exit 1
  }
  local root
  root="$(find "$folder" -mindepth 1 -maxdepth 1 -type d -name "$package*" | head -n 1)"
  if [ -z "$root" ] || [ ! -f "$root/$marker" ]; then
    echo "build-static-deps: the $package source package has no $marker" >&2
    exit 1
  fi
  echo "$root"
}

# archive NAME COMPILER FLAGS... -- SOURCES...: compiles the sources into LIB_DIR/NAME.
archive() {
  local name="$1" compiler="$2"
  shift 2
  local flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done
  shift
  local objects="$BUILD_DIR/obj/$name"
  rm -rf "$objects"
  mkdir -p "$objects" "$LIB_DIR"
  for source in "$@"; do
    "$compiler" "${FLAGS[@]}" "${flags[@]}" -c "$source" -o "$objects/$(basename "${source%.*}").o"
  done
  rm -f "$LIB_DIR/$name.tmp"
  ar rcs "$LIB_DIR/$name.tmp" "$objects"/*.o
  mv "$LIB_DIR/$name.tmp" "$LIB_DIR/$name"
}

build_oscpack() {
  [ -f "$LIB_DIR/liboscpack.a" ] && return
  local root include="$BUILD_DIR/include/oscpack"
  root="$(fetch_source oscpack osc/OscTypes.h)"
  rm -rf "$include"
  mkdir -p "$include/osc" "$include/ip"
  cp "$root"/osc/*.h "$include/osc/"
  cp "$root"/ip/*.h "$include/ip/"
  archive liboscpack.a "$CXX" -std=c++17 -fvisibility-inlines-hidden -I"$root" -- \
    "$root"/osc/*.cpp "$root"/ip/*.cpp "$root"/ip/posix/*.cpp
}

build_lua() {
  [ -f "$LIB_DIR/liblua5.1.a" ] && return
  local root sources=()
  root="$(fetch_source lua5.1 src/lapi.c)"
  for source in "$root"/src/*.c; do
    case "$(basename "$source")" in
      lua.c | luac.c | print.c) ;;
      *) sources+=("$source") ;;
    esac
  done
  archive liblua5.1.a "$CC" -DLUA_USE_POSIX -DLUA_USE_DLOPEN -- "${sources[@]}"
}

build_png() {
  [ -f "$LIB_DIR/libpng16.a" ] && return
  local root sources=()
  root="$(fetch_source libpng1.6 pngpriv.h)"
  cp /usr/include/libpng16/pnglibconf.h "$root/pnglibconf.h"
  for name in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset \
              pngtrans pngwio pngwrite pngwtran pngwutil; do
    sources+=("$root/$name.c")
  done
  archive libpng16.a "$CC" -I"$root" -- "${sources[@]}" "$root"/intel/*.c
}

build_oscpack
build_lua
build_png
echo "build-static-deps: $LIB_DIR"
