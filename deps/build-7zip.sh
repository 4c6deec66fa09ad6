#!/bin/sh
# Builds 7-Zip's 7z.dll (x86_64 and i686) and the x86_64 console 7z.exe from Debian's 7zip source
# package with the mingw-w64 "-posix" toolchains, into a cache folder keyed by the package version.
# A second run with the same version does nothing but print where the results are.
#
# Usage: deps/build-7zip.sh [--print-dir]
#   VELTRIX_DEPS_CACHE  cache root (default /var/cache/veltrix-deps)
#   VELTRIX_JOBS        parallel make jobs (default 2)
# Results: $root/7zip-<version>/{x86_64,i686}/7z.dll, x86_64/7z.exe, src/ (the unpacked source, whose
# CPP/ headers the archive library compiles against), and a "done" marker holding the version.
set -eu

root=${VELTRIX_DEPS_CACHE:-/var/cache/veltrix-deps}
jobs=${VELTRIX_JOBS:-2}
export DEBIAN_FRONTEND=noninteractive

say() { [ "${1-}" = "" ] || echo "build-7zip: $*" >&2; }

# The version the archive tools on this machine would install; apt knows it without a deb-src entry.
version=$(apt-cache policy 7zip | sed -n 's/^ *Candidate: *//p')
case "$version" in
  ''|'(none)') say "apt knows no 7zip package; run apt-get update"; exit 1 ;;
esac
dir="$root/7zip-$version"

if [ -f "$dir/done" ] && [ "$(cat "$dir/done")" = "$version" ]; then
  [ "${1-}" = "--print-dir" ] && echo "$dir" || say "up to date: $dir"
  exit 0
fi

need() { command -v "$1" >/dev/null 2>&1; }
missing=""
for tool in dpkg-source make x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix x86_64-w64-mingw32-windres; do
  need "$tool" || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  say "installing build tools (missing:$missing)"
  apt-get update -qq
  apt-get install -y -qq dpkg-dev make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 >/dev/null
fi

# apt-get source needs a deb-src entry; add one mirroring the deb entries in use (deb822 or one-line form).
has_deb_src() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}
if ! has_deb_src; then
  src=/etc/apt/sources.list.d/veltrix-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    say "adding deb-src entries in $src"
    sed 's/^Types: *deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src"
  else
    src=/etc/apt/sources.list.d/veltrix-deb-src.list
    say "adding deb-src entries in $src"
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$src"
  fi
  apt-get update -qq
elif ! apt-cache showsrc 7zip >/dev/null 2>&1 || [ -z "$(apt-cache showsrc 7zip 2>/dev/null)" ]; then
  apt-get update -qq
fi

rm -rf "$dir"
mkdir -p "$dir/work"
# apt fetches as its own user where it can; let it write the download folder.
if id _apt >/dev/null 2>&1; then chown _apt "$dir/work"; fi
say "fetching the 7zip $version source package into $dir"
(cd "$dir/work" && apt-get source -qq "7zip=$version" >/dev/null)
unpacked=$(find "$dir/work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
[ -n "$unpacked" ] || { say "apt-get source left no unpacked tree"; exit 1; }
mv "$unpacked" "$dir/src"

# The makefiles build in place (object folder beside the makefile), so each target gets its own copy
# of the CPP and C trees to keep the two bitnesses apart.
build() { # arch bundle-dir output
  arch=$1; sub=$2; out=$3
  tree="$dir/build-$arch"
  if [ ! -d "$tree" ]; then
    mkdir -p "$tree"
    cp -a "$dir/src/C" "$dir/src/CPP" "$tree/"
  fi
  say "building $out for $arch (in $sub)"
  (cd "$tree/$sub" && make -s -j"$jobs" -f makefile.gcc IS_MINGW=1 MSYSTEM=1 \
      CROSS_COMPILE="$arch-w64-mingw32-" CC="$arch-w64-mingw32-gcc-posix" CXX="$arch-w64-mingw32-g++-posix" \
      RC="$arch-w64-mingw32-windres" DISABLE_RAR=1 O=_o >"$dir/build-$arch-$out.log" 2>&1) || {
    say "build failed; see $dir/build-$arch-$out.log"; tail -n 30 "$dir/build-$arch-$out.log" >&2; exit 1; }
  mkdir -p "$dir/$arch"
  cp "$tree/$sub/_o/$out" "$dir/$arch/$out"
  # oxa.lib carries 7z.dll inside itself: no symbol tables.
  "$arch-w64-mingw32-strip" "$dir/$arch/$out"
}

build x86_64 CPP/7zip/Bundles/Format7zF 7z.dll
build i686 CPP/7zip/Bundles/Format7zF 7z.dll
build x86_64 CPP/7zip/UI/Console 7z.exe

rm -rf "$dir/work" "$dir/build-x86_64" "$dir/build-i686"
echo "$version" >"$dir/done"
say "done: $dir/{x86_64,i686}/7z.dll, $dir/x86_64/7z.exe, headers in $dir/src/CPP"
[ "${1-}" = "--print-dir" ] && echo "$dir"
exit 0
