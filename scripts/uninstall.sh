#!/usr/bin/env bash
# Removes everything that `cmake --install BUILD_DIR` put in place, over any number of
# installs and prefixes (the list installed_files.txt each install adds to). Folders are
# removed only when empty and only the product's own (the LV2 bundle, share/lumenfold,
# share/doc/lumenfold), so that no host keeps scanning an empty bundle.
#   uninstall.sh BUILD_DIR
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: uninstall.sh BUILD_DIR" >&2
  exit 2
fi
list="$1/installed_files.txt"
if [ ! -f "$list" ]; then
  echo "uninstall: nothing to remove: $list does not exist (no install from $1)" >&2
  exit 1
fi

# A folder of ours: the LV2 bundle, share/lumenfold, share/doc/lumenfold and what they hold.
ours() {
  local root
  for root in /Lumenfold.lv2 /share/lumenfold /share/doc/lumenfold; do
    [[ "$1" == *"$root" || "$1" == *"$root"/* ]] && return 0
  done
  return 1
}

remove_empty_folders_above() {
  local folder
  folder="$(dirname "$1")"
  while ours "$folder" && rmdir "$folder" 2>/dev/null; do
    folder="$(dirname "$folder")"
  done
}

kept=()
while IFS= read -r file; do
  [[ "$file" == /* ]] || continue
  if [ -e "$file" ] || [ -L "$file" ]; then
    if ! rm -f -- "$file"; then
      kept+=("$file")
      continue
    fi
  fi
  remove_empty_folders_above "$file"
done < "$list"

if [ ${#kept[@]} -gt 0 ]; then
  printf '%s\n' "${kept[@]}" > "$list"
  echo "uninstall: ${#kept[@]} files could not be removed (listed in $list; root's install needs sudo)" >&2
  exit 1
fi
rm -f -- "$list" "$1/install_manifest.txt"
echo "uninstall: removed everything installed from $1"
