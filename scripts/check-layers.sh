#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own, or when the
# editor toolkit reaches into the engine other than through PluginConnection. The folders
# are the layers, lowest first, as docs/architecture.md describes them; a file may include
# its own layer and the ones below.
#
#   scripts/check-layers.sh        checks the tree, prints one line per wrong include
set -euo pipefail
cd "$(dirname "$0")/.."

layers='
platform/ resources/
dsp/
engine/abi/
engine/model/
engine/net/
engine/scripting/
engine/osc/
engine/vst/
engine/instance/
editor/toolkit/
editor/product/
formats/
tools/
'

# The toolkit is a library for any plug-in: it uses the Lua and platform layers, but of
# the plug-in itself it sees only the parameter row (what PluginConnection hands out) and
# the editor interface of the VST base.
toolkit_must_not_include='
engine/model/
engine/vst/
engine/osc/
engine/instance/
'
toolkit_may_include='
engine/model/ParameterInfo.h
engine/vst/AEffEditor.h
'

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+/[^"]+"' \
  --include='*.h' --include='*.cpp' --include='*.c' \
  platform resources dsp engine editor formats tools |
awk -v layers="$layers" -v toolkitBarred="$toolkit_must_not_include" -v toolkitAllowed="$toolkit_may_include" '
  BEGIN {
    n = split(layers, rows, "\n")
    rankNumber = 0
    for (i = 1; i <= n; ++i) {
      count = split(rows[i], folders, " ")
      if (count == 0) continue
      for (j = 1; j <= count; ++j) { rank[folders[j]] = rankNumber }
      ++rankNumber
    }
    m = split(toolkitAllowed, allowed, "\n")
    for (i = 1; i <= m; ++i) { if (allowed[i] != "") { toolkitMay[allowed[i]] = 1 } }
    m = split(toolkitBarred, barred, "\n")
    for (i = 1; i <= m; ++i) { if (barred[i] != "") { toolkitMayNot[barred[i]] = 1 } }
    bad = 0
  }
  # The rank of the folder path lies in, or -1 outside the layers.
  function rankOf(path,    folder) {
    for (folder in rank) {
      if (index(path, folder) == 1) return rank[folder]
    }
    return -1
  }
  function toolkitMayInclude(path,    entry) {
    if (path in toolkitMay) return 1
    for (entry in toolkitMayNot) {
      if (index(path, entry) == 1) return 0
    }
    return 1
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
    } else if (index(file, "editor/toolkit/") == 1 && !toolkitMayInclude(included)) {
      printf "%s:%s: the toolkit reaches the engine only through PluginConnection, not %s\n", file, line, included
      bad = 1
    }
  }
  END { exit bad }
'
