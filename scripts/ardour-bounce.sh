#!/usr/bin/env bash
# Bounces one region through Lumenfold twice in a headless Ardour 7 (Debian's ardour7-lua)
# and prints the largest sample difference between the two bounces, with bins 5..39 cut
# and with every bin at unity. Two renders of the same region must be identical.
#
# Usage: scripts/ardour-bounce.sh [--form lv2|vst|both] [--seconds N]
#                                 [--between idle|off|toggle] [--keep] [PLUGIN_DIR]
#   PLUGIN_DIR  a folder holding Lumenfold.lv2/ and/or Lumenfold.so (the VST); without
#               it the LV2 bundle is looked for on LV2_PATH.
#   --form      which binding Ardour loads (default lv2).
#   --between   what happens between the two bounces: idle (default): Ardour's engine
#               runs the plug-in on silence, as in a normal session; off: the track is
#               switched off, so only the bounces run the plug-in; toggle: before each
#               bounce the plug-in is switched off and on again (deactivated, activated).
#   --keep      keep the temporary folder (session, Ardour's log) and print its path.
# Installs the Debian package ardour when it is missing. Exit status 0 when the bounces ran.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
form=lv2
seconds=4
between=idle
keep=0
pluginDir=""

usage() { sed -n '6,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

while [ $# -gt 0 ]; do
  case "$1" in
    --form) form="${2:-}"; shift 2 ;;
    --seconds) seconds="${2:-}"; shift 2 ;;
    --between) between="${2:-}"; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) usage ;;
    -*) echo "Error: unknown option $1" >&2; usage ;;
    *) pluginDir="$1"; shift ;;
  esac
done
case "$form" in lv2|vst|both) ;; *) echo "Error: --form must be lv2, vst or both" >&2; exit 2 ;; esac
case "$between" in idle|off|toggle) ;; *) echo "Error: --between must be idle, off or toggle" >&2; exit 2 ;; esac
if [ -n "$pluginDir" ] && [ ! -d "$pluginDir" ]; then
  echo "Error: plug-in folder $pluginDir does not exist" >&2; exit 2
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ] || [ "$seconds" -gt 600 ]; then
  echo "Error: --seconds must be a whole number from 1 to 600" >&2; exit 2
fi

started=$(date +%s.%N)
elapsedSince() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

installArdour() {
  if dpkg-query -W -f='${Status}' ardour 2>/dev/null | grep -q 'install ok installed'; then return; fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends ardour >/dev/null
}
installArdour
echo "install step: $(elapsedSince "$started") s" >&2

luaTool="$(command -v ardour7-lua || true)"
if [ -z "$luaTool" ]; then echo "Error: the ardour package installed no ardour7-lua" >&2; exit 1; fi

work="$(mktemp -d /tmp/ardour-bounce.XXXXXX)"
if [ "$keep" -eq 1 ]; then
  echo "kept: $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi

# Ardour's configuration, plug-in cache and script folders live in the temporary folder,
# so that the user's own settings play no part and are not changed.
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_CONFIG_HOME/ardour7/scripts" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
cp "$here/tests/ardour/test-signal.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"

# The LV2 bundle gets a folder of its own: Ardour reads every entry of LV2_PATH as a bundle.
if [ -n "$pluginDir" ]; then
  pluginDir="$(cd "$pluginDir" && pwd)"
  if [ "$form" != vst ]; then
    if [ ! -f "$pluginDir/Lumenfold.lv2/manifest.ttl" ]; then
      echo "Error: $pluginDir holds no Lumenfold.lv2 bundle" >&2; exit 1
    fi
    mkdir -p "$work/lv2"
    ln -s "$pluginDir/Lumenfold.lv2" "$work/lv2/Lumenfold.lv2"
    export LV2_PATH="$work/lv2"
  fi
fi

# Ardour only reads its VST cache headless, so its scanner indexes the plug-in first. The
# VST gets a folder of its own: the LV2 bundle's library is no VST.
prepareVst() {
  local vst="${pluginDir:+$pluginDir/Lumenfold.so}"
  if [ -z "$vst" ] || [ ! -f "$vst" ]; then
    echo "Error: the VST form needs PLUGIN_DIR with Lumenfold.so" >&2; exit 1
  fi
  mkdir -p "$work/vst"
  ln -s "$vst" "$work/vst/Lumenfold.so"
  export LXVST_PATH="$work/vst"
  if ! LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst-scanner -f "$work/vst/Lumenfold.so" \
      >"$work/vst-scan.log" 2>&1; then
    echo "Error: Ardour's VST scanner refused Lumenfold.so:" >&2
    tail -n 20 "$work/vst-scan.log" >&2
    exit 1
  fi
}

# Our script's lines start with "@@ "; everything else Ardour says goes to its log. A run
# that hangs is ended: two minutes plus two seconds per second of signal, about ten times
# what one takes.
runForm() {
  local one="$1" log="$work/ardour-$1.log" status=0
  local runStarted
  runStarted=$(date +%s.%N)
  timeout $((120 + 2 * seconds)) "$luaTool" "$here/tests/ardour/double-bounce.lua" "$work/session-$one" "$one" "$seconds" "$between" \
    >"$log" 2>&1 </dev/null || status=$?
  sed -n 's/^@@ //p' "$log"
  if [ "$status" -ne 0 ] || ! grep -q '^@@ .* unity, between bounces .*: largest difference' "$log"; then
    echo "Error: the $one bounces did not finish (status $status); the end of Ardour's log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
  echo "$one bounces: $(elapsedSince "$runStarted") s" >&2
}

if [ "$form" = vst ] || [ "$form" = both ]; then prepareVst; fi
if [ "$form" = lv2 ] || [ "$form" = both ]; then runForm lv2; fi
if [ "$form" = vst ] || [ "$form" = both ]; then runForm vst; fi
echo "total: $(elapsedSince "$started") s" >&2
