#!/usr/bin/env bash
# Two bounces of one region in one headless Ardour process must be identical: through the
# VST, whose bounces Ardour starts with a suspend and resume, and through the LV2 when the
# plug-in is deactivated and activated before each bounce (Ardour does not do that for an
# LV2 on its own, so there the bounce keeps whatever the plug-in played before).
# Usage: double-bounce-test.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$1"
vst="$("$here/scripts/ardour-bounce.sh" --form vst "$build")"
lv2="$("$here/scripts/ardour-bounce.sh" --form lv2 --between toggle "$build")"
printf '%s\n%s\n' "$vst" "$lv2"
status=0
for line in "vst cut bins 5-39" "vst unity" "lv2 cut bins 5-39" "lv2 unity"; do
  if ! printf '%s\n%s\n' "$vst" "$lv2" | grep -q "^$line, between bounces [a-z]*: largest difference 0 "; then
    echo "FAIL: the two bounces differ ($line)" >&2
    status=1
  fi
done
exit "$status"
