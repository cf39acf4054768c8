#!/usr/bin/env bash
# Removes what install.sh put in place for the current user: the files and folders listed
# in ~/.local/share/lumenfold/installed-files.txt, and nothing else. A folder is removed
# only when install.sh made it and it is empty now, so files of your own stay where they are.
set -uo pipefail

fail() { echo "uninstall: $*" >&2; exit 1; }

[ -n "${HOME:-}" ] && [ "$HOME" != "/" ] && [ -d "$HOME" ] || fail "HOME ('${HOME:-}') is not a user's folder"
home="$(cd "$HOME" && pwd)"
list="$home/.local/share/lumenfold/installed-files.txt"
installed_copy="$home/.local/share/lumenfold/uninstall.sh"
[ -f "$list" ] || fail "nothing to remove: $list does not exist (Lumenfold is not installed from an archive)"

# Only entries inside the home folder, without a step up, are acted on: a damaged or
# edited list cannot reach anything else.
inside_home() {
  [[ "$1" == "$home"/* && "$1" != *"/../"* && "$1" != *"/.." ]]
}

files=()
folders=()
while IFS= read -r line; do
  path="${line:2}"
  if ! inside_home "$path"; then
    echo "uninstall: ignoring a line of the list: '$line'" >&2
    continue
  fi
  case "${line:0:2}" in
    "F ") files+=("$path") ;;
    "D ") folders=("$path" "${folders[@]}") ;;  # the last made is removed first
    *) echo "uninstall: ignoring a line of the list: '$line'" >&2 ;;
  esac
done < "$list"

# When a file cannot be removed the list and this script's installed copy are kept, so
# that a second run finishes the work.
kept=0
for file in "${files[@]}"; do
  [ "$file" = "$installed_copy" ] && continue
  if [ -L "$file" ] || [ -f "$file" ]; then
    rm -f -- "$file" || kept=$((kept + 1))
  fi
done
[ "$kept" -eq 0 ] || fail "$kept files could not be removed; run $installed_copy again once they can be"
rm -f -- "$list" "$installed_copy"
for folder in "${folders[@]}"; do
  [ -d "$folder" ] && ! [ -L "$folder" ] && rmdir -- "$folder" 2>/dev/null
done
echo "uninstall: Lumenfold removed from $home"
