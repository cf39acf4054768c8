#!/usr/bin/env bash
# cmake --install as a user runs it: without root, into a home folder of the test's own,
# with and without the formats' search variables, under a system-like prefix, and
# scripts/uninstall.sh after several installs.
#   install-test.sh BUILD_DIR
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/lumenfold-install-XXXXXX)"
# The build folder's own list of installs is set aside, so that the uninstall below
# removes only what this test installed.
kept="$build/installed_files.txt"
[ -f "$kept" ] && mv "$kept" "$work/kept-before"
restore() { rm -f "$kept"; [ -f "$work/kept-before" ] && mv "$work/kept-before" "$kept"; rm -rf "$work"; }
trap restore EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
stripped() { ! readelf -S "$1" | grep -q -e '\.debug_info' -e '\.symtab'; }
install_as() { # HOME PREFIX [VARIABLE=VALUE...]: an install with none of the search variables but those given
  local home="$1" prefix="$2"
  shift 2
  env -u LXVST_PATH -u VST_PATH -u CLAP_PATH -u LV2_PATH HOME="$home" "$@" \
    cmake --install "$build" --prefix "$prefix" >/dev/null
}
plugins_in() { # VST CLAP LV2 folders: all three formats there, stripped
  local binary
  for binary in "$1/Lumenfold.so" "$2/Lumenfold.clap" "$3/Lumenfold.lv2/Lumenfold.so"; do
    [ -f "$binary" ] || fail "no $binary"
    stripped "$binary" || fail "$binary is not stripped"
  done
  [ -f "$3/Lumenfold.lv2/manifest.ttl" ] || fail "no manifest.ttl in $3/Lumenfold.lv2"
}

# A user prefix: the plug-ins go to ~/.vst, ~/.clap and ~/.lv2, stripped.
mkdir -p "$work/home"
install_as "$work/home" "$work/home/.local"
plugins_in "$work/home/.vst" "$work/home/.clap" "$work/home/.lv2"
for tool in lumenfold-render lumenfold-host lumenfold-live; do
  [ -x "$work/home/.local/bin/$tool" ] || fail "no $tool in bin/"
done
[ -f "$work/home/.local/share/doc/lumenfold/README.md" ] || fail "no README under share/doc"
[ -f "$work/home/.local/share/doc/lumenfold/scripting.md" ] || fail "no docs under share/doc"
[ -f "$work/home/.local/share/lumenfold/examples/scripts/lfo-wet-level.lua" ] || fail "no example scripts"
[ -f "$work/home/.local/share/lumenfold/skins/Compact/Contents/Resources/gui.lua" ] || fail "no skins"
grep -q "/.vst/Lumenfold.so" "$build/install_manifest.txt" || fail "the plug-in is not in the install manifest"
# The installed tools find the installed plug-in on their own.
HOME="$work/home" "$work/home/.local/bin/lumenfold-host" | grep -q "Lumenfold" || fail "installed host tool finds no plug-in"

# Each format's search variable: its first folder wins (LXVST_PATH before VST_PATH).
install_as "$work/home" "$work/home/.local" LXVST_PATH="$work/lxvst:$work/other" VST_PATH="$work/vst" \
  CLAP_PATH="$work/clap:$work/other" LV2_PATH="$work/lv2"
plugins_in "$work/lxvst" "$work/clap" "$work/lv2"
install_as "$work/home" "$work/home/.local" VST_PATH="$work/vst"
[ -f "$work/vst/Lumenfold.so" ] || fail "VST_PATH ignored"

# A prefix outside the home folder is a system install: lib/vst, lib/clap and lib/lv2
# under it, and nothing in the home folder (a sudo install must not fill root's).
mkdir -p "$work/other-home"
install_as "$work/other-home" "$work/usr"
plugins_in "$work/usr/lib/vst" "$work/usr/lib/clap" "$work/usr/lib/lv2"
[ -z "$(ls -A "$work/other-home")" ] || fail "a system install wrote into the home folder"
HOME="$work/other-home" "$work/usr/bin/lumenfold-host" | grep -q "Lumenfold" || fail "system-installed host tool finds no plug-in"
# A staged install for a package: everything under DESTDIR, once.
install_as "$work/other-home" /usr DESTDIR="$work/stage"
plugins_in "$work/stage/usr/lib/vst" "$work/stage/usr/lib/clap" "$work/stage/usr/lib/lv2"

# One uninstall removes what every install above put in place, bundle folder included,
# and keeps what is not ours.
echo "mine" > "$work/home/.lv2/own-file"
bash "$source_dir/scripts/uninstall.sh" "$build" >/dev/null
left="$(find "$work/home" "$work/usr" "$work/stage" "$work/lxvst" "$work/clap" "$work/lv2" "$work/vst" \
          -name '*umenfold*')"
[ -z "$left" ] || fail "left after uninstall: $left"
[ -f "$work/home/.lv2/own-file" ] || fail "uninstall removed a file it did not install"
[ ! -e "$kept" ] || fail "the list of installs is kept after a complete uninstall"
echo "install layout: ok"
