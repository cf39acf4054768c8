#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own, or when the
# toolkit reaches into the plug-in other than through PluginConnection. The layers,
# lowest first, as docs/architecture.md describes them; a file may include its own layer
# and the ones below. The most specific folder (or file) listed wins. The VST ABI header
# holds only the records and constants of the binary interface (MIDI events, the editor
# rectangle, key codes); the MIDI queue and the editor interface speak them, so it sits
# with the model at the bottom.
#
#   scripts/check-layers.sh        checks the tree, prints one line per wrong include
set -euo pipefail
cd "$(dirname "$0")/.."

layers='
0 platform/
0 resources/
1 plugin/core/
1 plugin/vst/Vst2Abi.h
2 dsp/
3 osc/net/
4 scripting/
5 osc/
6 plugin/vst/
7 gui/toolkit/
8 plugin/
9 gui/plugin/
10 plugin/clap/
10 plugin/lv2/
10 plugin/vst/PluginEntry.cpp
10 plugin/HostedInstance.cpp
11 tools/
'

# The toolkit is a library for any plug-in: of the plug-in's folders it sees only the
# parameter row (what PluginConnection hands out) and the editor interface of the binding.
toolkit_may_include='
plugin/core/ParameterInfo.h
plugin/vst/AEffEditor.h
plugin/vst/Vst2Abi.h
'

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+/[^"]+"' \
  --include='*.h' --include='*.cpp' --include='*.c' \
  platform resources plugin dsp scripting osc gui tools |
awk -v layers="$layers" -v toolkitAllowed="$toolkit_may_include" '
  BEGIN {
    n = split(layers, rows, "\n")
    for (i = 1; i <= n; ++i) {
      if (split(rows[i], f, " ") == 2) { rank[f[2]] = f[1] }
    }
    m = split(toolkitAllowed, allowed, "\n")
    for (i = 1; i <= m; ++i) { if (allowed[i] != "") { toolkitMay[allowed[i]] = 1 } }
    bad = 0
  }
  # The rank of the longest listed prefix of path, or -1 when none is listed.
  function rankOf(path,    best, bestLength, prefix) {
    best = -1; bestLength = 0
    for (prefix in rank) {
      if (index(path, prefix) == 1 && length(prefix) > bestLength) {
        best = rank[prefix]; bestLength = length(prefix)
      }
    }
    return best
  }
  {
    split($0, parts, ":")
    file = parts[1]; line = parts[2]
    included = $0
    sub(/^[^"]*"/, "", included); sub(/".*$/, "", included)
    from = rankOf(file); to = rankOf(included)
    if (from < 0 || to < 0) next
    if (to + 0 > from + 0) {
      printf "%s:%s: includes %s from a layer above its own\n", file, line, included
      bad = 1
    } else if (index(file, "gui/toolkit/") == 1 && index(included, "plugin/") == 1 && !(included in toolkitMay)) {
      printf "%s:%s: the toolkit reaches the plug-in only through PluginConnection, not %s\n", file, line, included
      bad = 1
    }
  }
  END { exit bad }
'
