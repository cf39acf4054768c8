#!/usr/bin/env bash
# The release files made from a built folder, installed and removed as users do:
#   - the Debian package with dpkg: hosts' scanners find all three formats where they look,
#     the installed renderer works, and removal leaves nothing behind;
#   - the archive's install.sh and uninstall.sh in a home folder of the test's own;
#   - lintian finds no error in the package.
# The package is installed system-wide, so this needs root; it exits 77 (skipped) without
# root, or when Lumenfold is already in /usr, which it would replace.
#   package-test.sh BUILD_DIR
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
qtractor_scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "installing the package needs root"
if dpkg-query -W -f='${Status}' lumenfold 2>/dev/null | grep -q 'ok installed'; then
  skip "the lumenfold package is installed on this machine"
fi
for path in /usr/lib/lxvst/Lumenfold.so /usr/lib/clap/Lumenfold.clap /usr/lib/lv2/Lumenfold.lv2 /usr/bin/lumenfold-render; do
  [ -e "$path" ] && skip "$path exists: a build is installed in /usr"
done

work="$(mktemp -d /tmp/lumenfold-package-test-XXXXXX)"
installed=0
cleanup() {
  [ "$installed" -eq 1 ] && dpkg --purge lumenfold >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

LUMENFOLD_DIST_DIR="$work/dist" bash "$source_dir/scripts/package.sh" "$build" >"$work/package.log" 2>&1 \
  || { cat "$work/package.log" >&2; fail "scripts/package.sh failed"; }
deb="$(echo "$work"/dist/lumenfold_*.deb)"
archive="$(echo "$work"/dist/lumenfold-*-linux-*.tar.gz)"
[ -f "$deb" ] && [ -f "$archive" ] || fail "dist/ does not hold one .deb and one .tar.gz: $(ls "$work/dist")"

# A user's session: none of the formats' search variables, and the tools' own settings,
# caches and data kept out of the home folder under test.
as_user() { # HOME COMMAND...
  local home="$1"
  shift
  env -u LXVST_PATH -u VST_PATH -u CLAP_PATH -u LV2_PATH HOME="$home" XDG_CONFIG_HOME="$work/config" \
    XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" "$@"
}

# Hosts find each format where they look: Qtractor's scanner the CLAP and VST files, lilv
# (its default path: ~/.lv2, then the system's) the LV2 bundle, Ardour's scanner the VST.
# Then the installed renderer, which finds the plug-in by itself, renders the demo.
hosts_find() { # HOME VST_FILE CLAP_FILE LV2_BUNDLE RENDER_TOOL
  local home="$1" scan
  scan="$(printf 'CLAP:%s\nVST:%s\n' "$3" "$2" | as_user "$home" QT_QPA_PLATFORM=offscreen timeout 60 "$qtractor_scanner" 2>&1)" || true
  grep -qF "CLAP|Lumenfold|2:2|1:0|2081:0|" <<<"$scan" || fail "Qtractor finds no CLAP plug-in in $3: $scan"
  grep -qF "VST|Lumenfold|2:2|1:0|2081:0|" <<<"$scan" || fail "Qtractor finds no VST plug-in in $2: $scan"
  grep -qx 'urn:corvanne:lumenfold' <<<"$(as_user "$home" lv2ls)" || fail "lv2ls does not list the plug-in"
  grep -q "Binary: *file://$4/Lumenfold.so" <<<"$(as_user "$home" lv2info urn:corvanne:lumenfold)" \
    || fail "lilv does not find the bundle in $4"
  as_user "$home" LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst-scanner -f "$2" \
    >"$work/ardour-scan.log" 2>&1 || { cat "$work/ardour-scan.log" >&2; fail "Ardour's scanner refuses $2"; }
  rm -f "$work/demo.wav"
  as_user "$home" timeout 120 "$5" --demo "$work/demo.wav" >/dev/null || fail "$5 --demo failed"
  [ -s "$work/demo.wav" ] || fail "$5 wrote no demo file"
}

# Which of the package's paths exist (a folder of its own that something else filled
# would stay after removal, and show here).
system_files() {
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\.||' -e 's|/$||' | while IFS= read -r path; do
    if [ -n "$path" ] && [ -e "$path" ]; then echo "$path"; fi
  done
}

# The Debian package.
system_files | sort >"$work/system-before"
installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i refused the package"; }
mkdir -p "$work/user"
hosts_find "$work/user" /usr/lib/lxvst/Lumenfold.so /usr/lib/clap/Lumenfold.clap /usr/lib/lv2/Lumenfold.lv2 \
  /usr/bin/lumenfold-render
dpkg -r lumenfold >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r failed"; }
installed=0
system_files | sort | diff "$work/system-before" - >&2 || fail "dpkg -r left the files above changed"

# The archive, in a home folder with a folder of its own that must stay.
home="$work/home"
mkdir -p "$home/.local/bin" "$work/unpacked"
echo "mine" >"$home/.local/bin/own-tool"
(cd "$home" && find . | sort) >"$work/home-before"
tar -C "$work/unpacked" -xzf "$archive"
as_user "$home" bash "$work"/unpacked/lumenfold-*/install.sh >/dev/null || fail "install.sh failed"
hosts_find "$home" "$home/.vst/Lumenfold.so" "$home/.clap/Lumenfold.clap" "$home/.lv2/Lumenfold.lv2" \
  "$home/.local/bin/lumenfold-render"
[ -f "$home/.local/share/lumenfold/examples/scripts/lfo-wet-level.lua" ] || fail "no examples in ~/.local/share/lumenfold"
# A list edited to name a file outside the home folder does not reach it.
echo "keep" >"$work/outside"
echo "F $work/outside" >>"$home/.local/share/lumenfold/installed-files.txt"
as_user "$home" bash "$home/.local/share/lumenfold/uninstall.sh" >/dev/null 2>&1 || fail "uninstall.sh failed"
[ -f "$work/outside" ] || fail "uninstall.sh removed a file outside the home folder"
(cd "$home" && find . | sort) | diff "$work/home-before" - >&2 || fail "uninstall.sh left the files above changed"

status=0
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || status=$?
if grep '^E:' "$work/lintian.log" >&2; then fail "lintian finds errors in the package"; fi
[ "$status" -eq 0 ] || { cat "$work/lintian.log" >&2; fail "lintian could not check the package"; }
echo "package: ok"
