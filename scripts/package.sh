#!/usr/bin/env bash
# Makes the two release files in dist/ ($LUMENFOLD_DIST_DIR if set):
#   lumenfold_VERSION_ARCH.deb               the Debian package (plug-ins where hosts look,
#                                            tools in /usr/bin, docs, examples)
#   lumenfold-VERSION-linux-MACHINE.tar.gz   the same files with install.sh/uninstall.sh
#                                            for a user install without root
#
#   scripts/package.sh [BUILD_DIR]
# BUILD_DIR is a folder already built (CI passes the one scripts/test.sh built); without
# it the portable Release folder build-portable/ is configured and built first.
# The version is the one CMakeLists.txt gives project(); docs/packaging.md tells more.
set -euo pipefail
shopt -s inherit_errexit
umask 022
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
dist="${LUMENFOLD_DIST_DIR:-$source_dir/dist}"

fail() { echo "package: $*" >&2; exit 1; }

usage_if_wrong() {
  if [ $# -gt 1 ] || [[ "${1:-}" == -* ]]; then
    echo "usage: scripts/package.sh [BUILD_DIR]" >&2
    exit 2
  fi
}

build_portable() {
  local build="$source_dir/build-portable"
  cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMENFOLD_PORTABLE=ON \
    -DLUMENFOLD_BUILD_TESTS=OFF -DLUMENFOLD_BUILD_BENCH=OFF >&2
  cmake --build "$build" -j"$(nproc)" >&2
  echo "$build"
}

# Everything the packages hold must have been built: a missing file is named, not packaged
# as a hole.
check_built() {
  local file
  for file in Lumenfold.so Lumenfold.clap Lumenfold.lv2/Lumenfold.so Lumenfold.lv2/manifest.ttl \
              lumenfold-live lumenfold-render lumenfold-host; do
    [ -f "$1/$file" ] || fail "$1 is not built: $file is missing"
  done
}

project_version() {
  local version
  version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")"
  [[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "no project version in $1/CMakeCache.txt"
  echo "$version"
}

# `cmake --install` into stage/usr, plug-ins and tools stripped. The install rules add
# to the build folder's list of installs (scripts/uninstall.sh reads it) and rewrite its
# manifest: both are put back as they were, so packaging leaves the build folder unchanged.
stage_install() {
  local build="$1" stage="$2" kept="$work/kept" file
  mkdir -p "$kept" "$work/home"
  for file in installed_files.txt install_manifest.txt; do
    [ -f "$build/$file" ] && cp -p "$build/$file" "$kept/$file"
  done
  # A prefix outside HOME and no search variables: every format goes under /usr/lib.
  local status=0
  env -u LXVST_PATH -u VST_PATH -u CLAP_PATH -u LV2_PATH HOME="$work/home" DESTDIR="$stage" \
    cmake --install "$build" --prefix /usr --strip >"$work/install.log" 2>&1 || status=$?
  for file in installed_files.txt install_manifest.txt; do
    rm -f "$build/$file"
    [ -f "$kept/$file" ] && mv "$kept/$file" "$build/$file"
  done
  [ "$status" -eq 0 ] || { cat "$work/install.log" >&2; fail "cmake --install $build failed"; }
  # The compiler's version notes are of no use in a release.
  find "$stage" -type f \( -name '*.so' -o -name '*.clap' -o -path '*/bin/*' \) \
    -exec strip --remove-section=.comment {} +
}

# A manual page for each tool, made from its --help text, so that `man lumenfold-render`
# gives the same words as the tool.
write_manual_pages() { # STAGE VERSION
  local folder="$1/usr/share/man/man1" tool summary
  mkdir -p "$folder"
  for tool in lumenfold-live lumenfold-render lumenfold-host; do
    case "$tool" in
      lumenfold-live) summary="run one Lumenfold instance on JACK" ;;
      lumenfold-render) summary="render audio files through Lumenfold" ;;
      lumenfold-host) summary="show what a host sees of the Lumenfold plug-in" ;;
    esac
    {
      printf '.TH %s 1 "" "Lumenfold %s" "User Commands"\n' "${tool^^}" "$2"
      printf '.SH NAME\n%s \\- %s\n.SH DESCRIPTION\n.nf\n' "$tool" "$summary"
      # roff: a backslash is written \e; a line may not start with a control character.
      "$1/usr/bin/$tool" --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\&&/"
      printf '.fi\n.SH SEE ALSO\n/usr/share/doc/lumenfold/tools.md\n'
    } | gzip -9n > "$folder/$tool.1.gz"
  done
}

fill_template() { # TEMPLATE NAME=VALUE...
  local text name
  text="$(cat "$1")"
  shift
  for pair in "$@"; do
    name="${pair%%=*}"
    text="${text//@$name@/${pair#*=}}"
  done
  printf '%s\n' "$text"
}

# The release's date: the last commit's when there is one, so that two runs on one
# checkout make the same files. DATE_FORMAT is date(1)'s.
release_date() { # DATE_FORMAT
  local seconds
  seconds="$(git -C "$source_dir" log -1 --format=%at 2>/dev/null || date +%s)"
  LC_ALL=C date -u -d "@$seconds" "$1"
}

# The Debian changelog of this native package: one entry for the version.
write_changelog() { # FILE VERSION
  local date
  date="$(release_date -R)"
  printf 'lumenfold (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$2" "$2" "Corvanne <lumenfold@corvanne.example>" "$date" | gzip -9n > "$1"
}

# Depends from the libraries the binaries link (dpkg-shlibdeps wants debian/control in the
# folder it runs in, so it gets a small one of its own).
shared_library_depends() { # ROOT
  local scratch="$work/shlibs" binaries=() depends
  mkdir -p "$scratch/debian"
  printf 'Source: lumenfold\n\nPackage: lumenfold\nArchitecture: any\n' > "$scratch/debian/control"
  mapfile -t binaries < <(find "$1/usr/bin" "$1/usr/lib" -type f \( -name '*.so' -o -name '*.clap' -o -perm -u+x \) \
                           -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
  depends="$(cd "$scratch" && dpkg-shlibdeps -O "${binaries[@]}" 2>"$work/shlibdeps.log" \
             | sed -n 's/^shlibs:Depends=//p')" || { cat "$work/shlibdeps.log" >&2; fail "dpkg-shlibdeps failed"; }
  [ -n "$depends" ] || fail "dpkg-shlibdeps found no libraries"
  echo "$depends"
}

is_portable() { # BUILD_DIR
  grep -q '^LUMENFOLD_PORTABLE:BOOL=ON$' "$1/CMakeCache.txt"
}

# The libraries opened at run time rather than linked: Lua, unless the portable build
# linked it in. (The font library is optional: without it the editor uses its own font.)
opened_library_depends() { # BUILD_DIR
  is_portable "$1" || echo ", liblua5.1-0"
}

# The Debian package that holds FILE; for a static library built from a Debian source
# package (not installed as a file), the package of the same library's shared form.
package_of() { # FILE
  local found
  found="$(dpkg -S "$1" 2>/dev/null)" || found="$(dpkg -S "*/$(basename "$1" .a).so.*" 2>/dev/null)" \
    || fail "cannot tell which Debian package $1 comes from (its licence must go into the docs)"
  head -n 1 <<<"$found" | cut -d: -f1 | tr ',' '\n' | tr -d ' '
}

# The Debian packages whose code or data the release files carry inside them: the editor's
# built-in font and the static libraries the plug-ins and tools link (the portable build's,
# the C++ runtime).
embedded_packages() { # BUILD_DIR
  local links files=() font file
  font="$(sed -n 's/^LUMENFOLD_BUILT_IN_FONT:FILEPATH=//p' "$1/CMakeCache.txt")"
  [ -n "$font" ] && files+=("$font")
  mapfile -t links < <(find "$1" -path '*/CMakeFiles/*.dir/link.txt' \
                         \( -path '*/Lumenfold*.dir/*' -o -path '*/lumenfold-*.dir/*' \))
  if [ ${#links[@]} -gt 0 ]; then
    mapfile -t -O ${#files[@]} files < <(cat "${links[@]}" | tr ' ' '\n' | grep '\.a$' | grep -v 'liblumenfold_' | sort -u)
    if grep -q -e '-static-libstdc++' "${links[@]}"; then files+=("$(g++ -print-file-name=libstdc++.a)"); fi
  fi
  for file in "${files[@]}"; do package_of "$file"; done
}

# Their copyright files, beside ours, so that a user of the archive has them too.
copy_embedded_copyrights() { # BUILD_DIR DOC_DIR
  local packages package
  packages="$(embedded_packages "$1" | sort -u)"
  for package in $packages; do
    [ -f "/usr/share/doc/$package/copyright" ] || fail "no copyright file for $package"
    mkdir -p "$2/third-party"
    cp -L "/usr/share/doc/$package/copyright" "$2/third-party/$package.copyright"
  done
}

make_deb() { # STAGE VERSION BUILD_DIR
  local root="$work/deb" arch depends size
  arch="$(dpkg --print-architecture)"
  cp -a "$1" "$root"
  # Hosts (and our tools, from /usr/bin) look for Linux VST plug-ins in /usr/lib/lxvst.
  mkdir -p "$root/usr/lib/lxvst"
  mv "$root/usr/lib/vst/Lumenfold.so" "$root/usr/lib/lxvst/"
  rmdir "$root/usr/lib/vst"
  fill_template "$source_dir/packaging/copyright" "YEAR=$(release_date +%Y)" > "$root/usr/share/doc/lumenfold/copyright"
  write_changelog "$root/usr/share/doc/lumenfold/changelog.gz" "$2"
  if is_portable "$3"; then
    install -D -m 644 "$source_dir/packaging/lintian-overrides" "$root/usr/share/lintian/overrides/lumenfold"
  fi
  depends="$(shared_library_depends "$root")$(opened_library_depends "$3")"
  mkdir -p "$root/DEBIAN"
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
  size="$(du -sk --exclude=DEBIAN "$root" | cut -f1)"
  fill_template "$source_dir/packaging/control" "VERSION=$2" "ARCHITECTURE=$arch" \
    "INSTALLED_SIZE=$size" "DEPENDS=$depends" > "$root/DEBIAN/control"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$dist/lumenfold_$2_$arch.deb" >/dev/null
  echo "$dist/lumenfold_$2_$arch.deb"
}

# The archive keeps the install's layout (bin/, lib/vst|clap|lv2/, share/), so its tools
# also run in place: they look for the plug-in in ../lib/vst.
make_archive() { # STAGE VERSION
  local name top
  name="lumenfold-$2-linux-$(uname -m)"
  top="$work/archive/$name"
  mkdir -p "$top"
  cp -a "$1/usr/." "$top/"
  fill_template "$source_dir/packaging/copyright" "YEAR=$(release_date +%Y)" > "$top/share/doc/lumenfold/copyright"
  install -m 755 "$source_dir/packaging/install.sh" "$source_dir/packaging/uninstall.sh" "$top/"
  tar -C "$work/archive" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$name" \
    | gzip -9n > "$dist/$name.tar.gz"
  echo "$dist/$name.tar.gz"
}

usage_if_wrong "$@"
"$source_dir/scripts/install-deps.sh"
if [ $# -eq 1 ]; then
  [ -d "$1" ] || fail "$1 is not a folder"
  build="$(cd "$1" && pwd)"
else
  build="$(build_portable)"
fi
check_built "$build"
version="$(project_version "$build")"
work="$(mktemp -d /tmp/lumenfold-package-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$dist"
stage_install "$build" "$work/stage"
copy_embedded_copyrights "$build" "$work/stage/usr/share/doc/lumenfold"
write_manual_pages "$work/stage" "$version"
deb="$(make_deb "$work/stage" "$version" "$build")"
archive="$(make_archive "$work/stage" "$version")"
echo "package: $deb"
echo "package: $archive"
