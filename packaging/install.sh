#!/usr/bin/env bash
# Installs Lumenfold for the current user, without root, from the folder this script is in:
#   the plug-ins in ~/.vst, ~/.clap and ~/.lv2 (where hosts look), the tools in
#   ~/.local/bin (their manual pages in ~/.local/share/man), the docs and examples in
#   ~/.local/share/lumenfold.
# Every file written and every folder made is listed in
# ~/.local/share/lumenfold/installed-files.txt; uninstall.sh (also copied there) removes
# exactly those. An earlier install from an archive is removed first; an install that
# fails half-way is removed again.
set -euo pipefail
umask 022
here="$(cd "$(dirname "$0")" && pwd)"

fail() { echo "install: $*" >&2; exit 1; }

[ -n "${HOME:-}" ] && [ "$HOME" != "/" ] && [ -d "$HOME" ] || fail "HOME ('${HOME:-}') is not a user's folder"
[[ "$HOME" != *$'\n'* ]] || fail "HOME holds a line break"
home="$(cd "$HOME" && pwd)"
share="$home/.local/share/lumenfold"
list="$share/installed-files.txt"

# Folders are made one level at a time, so that each one this install made is listed
# (parents first) and uninstall.sh can remove it again when it is empty.
make_folder() {
  [ -d "$1" ] && return 0
  [ -e "$1" ] && fail "$1 is in the way: it is not a folder"
  make_folder "$(dirname "$1")"
  mkdir "$1"
  echo "D $1" >> "$list"
}

copy_file() { # SOURCE DESTINATION_FOLDER [NAME]
  local target="$2/${3:-$(basename "$1")}"
  make_folder "$2"
  [ -d "$target" ] && fail "$target is in the way: it is a folder"
  cp --remove-destination -- "$1" "$target"
  echo "F $target" >> "$list"
}

copy_tree() { # SOURCE_FOLDER DESTINATION_FOLDER
  local file folder
  while IFS= read -r -d '' file; do
    folder="$(dirname "${file#"$1"/}")"
    if [ "$folder" = . ]; then folder="$2"; else folder="$2/$folder"; fi
    copy_file "$file" "$folder"
  done < <(find "$1" -type f -print0 | sort -z)
}

for part in lib/vst/Lumenfold.so lib/clap/Lumenfold.clap lib/lv2/Lumenfold.lv2/manifest.ttl bin/lumenfold-render; do
  [ -f "$here/$part" ] || fail "$here/$part is missing: run install.sh from the unpacked archive"
done
if [ -f "$list" ]; then
  echo "install: removing the earlier install first"
  bash "$here/uninstall.sh" >/dev/null || fail "the earlier install could not be removed"
fi

# The list's own folder comes first: it is made before the list exists, so it is
# listed once the list is there.
made=()
folder="$share"
while [ ! -d "$folder" ]; do
  made=("$folder" "${made[@]}")
  folder="$(dirname "$folder")"
done
mkdir -p "$share"
: > "$list"
for folder in "${made[@]}"; do echo "D $folder" >> "$list"; done
# An install that stops half-way takes back what it did.
finished=0
undo_unless_finished() {
  [ "$finished" -eq 1 ] && return
  bash "$here/uninstall.sh" >/dev/null 2>&1 && echo "install: stopped; nothing is left installed" >&2
}
trap undo_unless_finished EXIT

copy_file "$here/lib/vst/Lumenfold.so" "$home/.vst"
copy_file "$here/lib/clap/Lumenfold.clap" "$home/.clap"
copy_tree "$here/lib/lv2/Lumenfold.lv2" "$home/.lv2/Lumenfold.lv2"
for tool in "$here"/bin/*; do copy_file "$tool" "$home/.local/bin"; done
copy_tree "$here/share/doc/lumenfold" "$share/doc"
copy_tree "$here/share/lumenfold" "$share"
copy_tree "$here/share/man" "$home/.local/share/man"
copy_file "$here/uninstall.sh" "$share"
finished=1

echo "install: Lumenfold is in $home/.vst, $home/.clap and $home/.lv2; tools in $home/.local/bin"
echo "install: to remove it: $share/uninstall.sh"
