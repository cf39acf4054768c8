#!/usr/bin/env bash
# cmake --install as a user runs it: without root, into a home folder of the test's own,
# with and without LXVST_PATH, and under a system-like prefix.
#   install-test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d /tmp/lumenfold-install-XXXXXX)"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
stripped() { ! readelf -S "$1" | grep -q -e '\.debug_info' -e '\.symtab'; }

# A user prefix: the plug-in goes to ~/.vst, stripped.
mkdir -p "$work/home"
env -u LXVST_PATH -u VST_PATH HOME="$work/home" cmake --install "$build" --prefix "$work/home/.local" >/dev/null
[ -f "$work/home/.vst/Lumenfold.so" ] || fail "no plug-in in ~/.vst"
stripped "$work/home/.vst/Lumenfold.so" || fail "the plug-in in ~/.vst is not stripped"
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

# LXVST_PATH's first folder wins, then VST_PATH's.
HOME="$work/home" LXVST_PATH="$work/lxvst:$work/other" VST_PATH="$work/vst" \
  cmake --install "$build" --prefix "$work/home/.local" >/dev/null
[ -f "$work/lxvst/Lumenfold.so" ] || fail "LXVST_PATH ignored"
env -u LXVST_PATH HOME="$work/home" VST_PATH="$work/vst" cmake --install "$build" --prefix "$work/home/.local" >/dev/null
[ -f "$work/vst/Lumenfold.so" ] || fail "VST_PATH ignored"

# A prefix outside the home folder is a system install: lib/lxvst under it.
env -u LXVST_PATH -u VST_PATH HOME="$work/home" cmake --install "$build" --prefix "$work/usr" >/dev/null
[ -f "$work/usr/lib/lxvst/Lumenfold.so" ] || fail "no plug-in in lib/lxvst under a system prefix"
echo "install layout: ok"
