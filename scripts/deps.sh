#!/usr/bin/env bash
# The scanner's third-party libraries for the MinGW targets, built from Debian's source packages
# into a per-machine cache outside the clone (natively the Debian -dev packages are used instead),
# and pugixml's source, which every target compiles itself. Called by scripts/setup.sh.
#
#   ${PELMORA_DEPS_CACHE:-/var/cache/pelmora/deps}/
#     <source>-<debian version>/src                unpacked source package
#     <source>-<debian version>/<triplet>/{include,lib,share/licenses}, .stamp last
#     index-<triplet>.cmake, index-pugixml.cmake   what cmake/deps.cmake reads
#
# A build that was interrupted has no stamp and is redone; with everything stamped a run only
# reads apt's local index. Environment: PELMORA_DEPS_CACHE, PELMORA_DEPS_TRIPLETS (default both
# MinGW targets), PELMORA_JOBS (default nproc).
set -euo pipefail
shopt -s inherit_errexit

repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${PELMORA_DEPS_CACHE:-/var/cache/pelmora/deps}
read -r -a triplets <<<"${PELMORA_DEPS_TRIPLETS:-x86_64-w64-mingw32 i686-w64-mingw32}"
jobs=${PELMORA_JOBS:-$(nproc)}
# Raised whenever a package's build options below change, so that cached builds made with the
# old ones are redone.
recipe=1

# The cache is the machine's, not the clone's: the first run may need root to create it.
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  sudo install -d -o "$(id -u)" -g "$(id -g)" "$cache"
fi
# One run at a time per machine: clones share the cache.
exec 9>"$cache/.lock"
flock 9

# The builds are once per machine and measured as such: no compiler launcher from the caller's
# environment (CMake would take it up for the packages' own projects).
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
# Nothing of the build machine's own libraries may leak into a cross build through pkg-config.
export PKG_CONFIG_LIBDIR=/nonexistent PKG_CONFIG_PATH=

log() { echo "deps: $*" >&2; }

# A build step's output goes to the build folder's log, shown only when the step fails.
quiet() {  # build folder, command...
  local build=$1; shift
  mkdir -p "$build"
  if ! "$@" >>"$build/build.log" 2>&1; then
    tail -n 40 "$build/build.log" >&2
    log "failed: $* (whole log: $build/build.log)"
    return 1
  fi
}

# The newest version of a source package that can be had: one already unpacked in the cache, else
# fetched now. A mirror that lacks the newest (seen: the security archive answering 404) makes
# the next older one serve, with a warning; the newer one is tried again a day later, so that a
# warm run needs no network. Prints the folder that holds the unpacked source.
unpacked() {
  local source=$1 version dir
  local versions
  versions=$(apt-cache showsrc --only-source "$source" 2>/dev/null | sed -n 's/^Version: //p' | sort -u -V -r)
  if [ -z "$versions" ]; then
    log "apt knows no source package $source: is the deb-src entry of scripts/setup.sh there?"
    return 1
  fi
  local first=1
  for version in $versions; do
    dir="$cache/$source-${version#*:}"
    if [ -f "$dir/src/.unpacked" ]; then
      echo "$dir"; return 0
    fi
    local failed="$cache/.unavailable/$source-${version#*:}"
    if [ -n "$(find "$failed" -mmin -1440 2>/dev/null)" ]; then
      first=0; continue
    fi
    local download="$dir/download"
    rm -rf "$download" "$dir/src"
    mkdir -p "$download"
    if (cd "$download" && apt-get source --download-only "$source=$version" >/dev/null 2>"$download/apt.log"); then
      dpkg-source --no-copy -x "$download"/*.dsc "$dir/src" >/dev/null 2>"$download/dpkg-source.log"
      touch "$dir/src/.unpacked"
      rm -rf "$download"
      ((first)) || log "warning: $source: the newest source version could not be fetched; using $version"
      echo "$dir"; return 0
    fi
    log "$source $version: $(grep -m1 '^E:' "$download/apt.log" || echo 'download failed')"
    rm -rf "$dir"
    mkdir -p "$cache/.unavailable" && touch "$failed"
    first=0
  done
  log "no version of the source package $source could be fetched"
  return 1
}

# CMake arguments of a cross build for one triplet; the libraries one package needs from another
# are passed to it by path.
cross_args() {
  local triplet=$1 processor=${1%%-*}
  echo -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$processor" \
    -DCMAKE_C_COMPILER="$triplet-gcc-posix" -DCMAKE_CXX_COMPILER="$triplet-g++-posix" \
    -DCMAKE_RC_COMPILER="$triplet-windres" -DCMAKE_FIND_ROOT_PATH="/usr/$triplet" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF -Wno-dev
}

# Copies what a library's users need: headers (paths relative to the source or build folder) and
# the static library under a fixed name.
put_headers() {  # dest, base folder, files...
  local dest=$1 base=$2; shift 2
  mkdir -p "$dest"
  local f; for f in "$@"; do cp "$base/$f" "$dest/"; done
}
put_library() {  # build folder, name pattern, dest file
  local found; found=$(find "$1" -name "$2" -type f | head -n1)
  [ -n "$found" ] || { log "no $2 was built in $1"; return 1; }
  mkdir -p "$(dirname "$3")"
  cp "$found" "$3"
}

zlib_include() { echo "/usr/$1/include"; }
zlib_library() { echo "/usr/$1/lib/libz.a"; }

build_libzstd() {  # src, build, prefix, triplet
  local src=$1 build=$2 prefix=$3 t=$4
  # The readers decompress in the calling thread: no worker threads, no legacy formats.
  quiet "$build" cmake -S "$src/build/cmake" -B "$build" $(cross_args "$t") -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_STATIC=ON \
    -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_BUILD_CONTRIB=OFF \
    -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=OFF
  quiet "$build" cmake --build "$build" -j "$jobs" --target libzstd_static
  put_headers "$prefix/include" "$src/lib" zstd.h zstd_errors.h zdict.h
  put_library "$build" 'libzstd*.a' "$prefix/lib/libzstd.a"
}

build_libjpeg_turbo() {
  local src=$1 build=$2 prefix=$3 t=$4
  # No SIMD (it would need nasm): the scanner reads headers, and qpdf decodes images only on request.
  quiet "$build" cmake -S "$src" -B "$build" $(cross_args "$t") -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_JAVA=OFF -DWITH_FUZZ=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
  quiet "$build" cmake --build "$build" -j "$jobs" --target jpeg-static
  put_headers "$prefix/include" "$src" jpeglib.h jerror.h jmorecfg.h
  put_headers "$prefix/include" "$build" jconfig.h
  put_library "$build" 'libjpeg.a' "$prefix/lib/libjpeg.a"
}

build_libpng1_6() {
  local src=$1 build=$2 prefix=$3 t=$4
  quiet "$build" cmake -S "$src" -B "$build" $(cross_args "$t") -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR="$(zlib_include "$t")" -DZLIB_LIBRARY="$(zlib_library "$t")"
  quiet "$build" cmake --build "$build" -j "$jobs" --target png_static
  put_headers "$prefix/include" "$src" png.h pngconf.h
  put_headers "$prefix/include" "$build" pnglibconf.h
  put_library "$build" 'libpng*.a' "$prefix/lib/libpng16.a"
}

build_tiff() {
  local src=$1 build=$2 prefix=$3 t=$4
  local jpeg=$5 zstd=$6
  # Codecs from the libraries built here anyway (Deflate, JPEG, ZSTD) and libtiff's internal ones;
  # none that would need another library.
  quiet "$build" cmake -S "$src" -B "$build" $(cross_args "$t") -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
    -Dtiff-docs=OFF -Dcxx=OFF -Dlzma=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF -Djpeg12=OFF \
    -Dtiff-opengl=OFF -Dsphinx=OFF -Dzlib=ON -Djpeg=ON -Dzstd=ON \
    -DZLIB_INCLUDE_DIR="$(zlib_include "$t")" -DZLIB_LIBRARY="$(zlib_library "$t")" \
    -DJPEG_INCLUDE_DIR="$jpeg/include" -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" \
    -DZSTD_INCLUDE_DIR="$zstd/include" -DZSTD_LIBRARY="$zstd/lib/libzstd.a"
  quiet "$build" cmake --build "$build" -j "$jobs" --target tiff
  put_headers "$prefix/include" "$src/libtiff" tiff.h tiffio.h tiffvers.h
  put_headers "$prefix/include" "$build/libtiff" tiffconf.h
  put_library "$build" 'libtiff.a' "$prefix/lib/libtiff.a"
}

build_qpdf() {
  local src=$1 build=$2 prefix=$3 t=$4
  local jpeg=$5
  # qpdf's configure checks link "Advapi32", which only a case-blind file system finds; without
  # it they all fail and qpdf would think it has no 64-bit file offsets.
  mkdir -p "$build/case"
  ln -sf "/usr/$t/lib/libadvapi32.a" "$build/case/libAdvapi32.a"
  # qpdf's own crypto (no OpenSSL or GnuTLS for Windows), the library only.
  quiet "$build" cmake -S "$src" -B "$build" $(cross_args "$t") -DCMAKE_EXE_LINKER_FLAGS="-L$build/case" \
    -DBUILD_STATIC_LIBS=ON -DUSE_IMPLICIT_CRYPTO=OFF \
    -DREQUIRE_CRYPTO_NATIVE=ON -DBUILD_DOC=OFF -DINSTALL_EXAMPLES=OFF -DINSTALL_PKGCONFIG=OFF \
    -DINSTALL_CMAKE_PACKAGE=OFF -DINSTALL_MANUAL=OFF \
    -DZLIB_H_PATH="$(zlib_include "$t")" -DZLIB_LIB_PATH="$(zlib_library "$t")" \
    -DLIBJPEG_H_PATH="$jpeg/include" -DLIBJPEG_LIB_PATH="$jpeg/lib/libjpeg.a"
  quiet "$build" cmake --build "$build" -j "$jobs" --target libqpdf
  mkdir -p "$prefix/include/qpdf"
  cp "$src"/include/qpdf/*.h "$src"/include/qpdf/*.hh "$prefix/include/qpdf/"
  put_library "$build" 'libqpdf*.a' "$prefix/lib/libqpdf.a"
}

# Builds one source package for one triplet unless its stamp says it is there; prints its prefix.
build() {  # source, triplet, extra arguments for the builder
  local source=$1 triplet=$2; shift 2
  local dir; dir=$(unpacked "$source")
  local prefix="$dir/$triplet"
  # The libraries it is built with are part of what it is: a new libjpeg or zstd rebuilds tiff.
  local stamp="recipe $recipe${*:+ with $*}"
  if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    echo "$prefix"; return 0
  fi
  log "building $(basename "$dir") for $triplet"
  local start=$SECONDS
  rm -rf "$prefix" "$prefix.build"
  "build_${source//[-.]/_}" "$dir/src" "$prefix.build" "$prefix" "$triplet" "$@" >&2
  mkdir -p "$prefix/share/licenses/$source"
  cp "$dir/src/debian/copyright" "$prefix/share/licenses/$source/copyright"
  rm -rf "$prefix.build"
  echo "$stamp" >"$prefix/.stamp"
  log "$(basename "$dir") for $triplet: $((SECONDS - start)) s"
  echo "$prefix"
}

# Written only when it would change, so that CMake does not reconfigure for nothing.
write_if_changed() {  # file, content
  if [ ! -f "$1" ] || [ "$(cat "$1")" != "$2" ]; then
    printf '%s\n' "$2" >"$1.tmp" && mv "$1.tmp" "$1"
  fi
}

pugixml=$(unpacked pugixml)
write_if_changed "$cache/index-pugixml.cmake" "set(PELMORA_DEPS_PUGIXML_SOURCE \"$pugixml/src\")"

for triplet in "${triplets[@]}"; do
  zstd=$(build libzstd "$triplet")
  jpeg=$(build libjpeg-turbo "$triplet")
  png=$(build libpng1.6 "$triplet")
  tiff=$(build tiff "$triplet" "$jpeg" "$zstd")
  qpdf=$(build qpdf "$triplet" "$jpeg")
  write_if_changed "$cache/index-$triplet.cmake" "$(cat <<EOF
# Written by scripts/deps.sh: the cached builds for $triplet.
set(PELMORA_DEPS_ZSTD "$zstd")
set(PELMORA_DEPS_JPEG "$jpeg")
set(PELMORA_DEPS_PNG "$png")
set(PELMORA_DEPS_TIFF "$tiff")
set(PELMORA_DEPS_QPDF "$qpdf")
EOF
)"
done
