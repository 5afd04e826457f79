#!/usr/bin/env bash
# Provides Qt 6.4.2 (qtbase: Core, Gui, Widgets, Test; the windows and
# offscreen platform plugins) for 64-bit Windows, built with mingw-w64, which
# the Windows panel is cross-built against. Debian has no Qt for mingw.
#
# It lands in $TALVEX_QT_MINGW_DIR, by default
# ${XDG_CACHE_HOME:-~/.cache}/talvex/qt-6.4.2-mingw64, and the script prints
# that folder on its last line. In order:
#   1. a Qt already there is used as it is;
#   2. otherwise the prebuilt archive is unpacked, when there is one:
#      $TALVEX_QT_MINGW_ARCHIVE, or ../shared/qt-mingw/qt-6.4.2-mingw64.tar.gz
#      beside the project; its SHA-256 sum (the .sha256 file beside it) must
#      match;
#   3. otherwise qtbase is built from Debian's own source package qt6-base
#      (about a minute to configure and 25-30 minutes to build on 2 cores),
#      with Debian's qt6-base-dev-tools as the host Qt. A machine with no
#      deb-src entry gets one for bookworm main (scripts/ensure-deb-src.sh).
#      Needs root or sudo for apt.
# Usage: scripts/build-qt-mingw.sh [--from-source]
set -euo pipefail
cd "$(dirname "$0")/.."
project=$PWD

qt_version=6.4.2
triplet=x86_64-w64-mingw32
dest=${TALVEX_QT_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/talvex/qt-$qt_version-mingw64}
archive=${TALVEX_QT_MINGW_ARCHIVE:-$project/../shared/qt-mingw/qt-$qt_version-mingw64.tar.gz}
from_source=0
[ "${1:-}" = "--from-source" ] && from_source=1

log() { echo "build-qt-mingw.sh: $*" >&2; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ -f "$dest/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ $from_source -eq 0 ]; then
  echo "$dest"
  exit 0
fi

if [ $from_source -eq 0 ] && [ -f "$archive" ]; then
  log "unpacking $(basename "$archive")"
  if [ -f "$archive.sha256" ]; then
    want=$(cut -d' ' -f1 "$archive.sha256")
    have=$(sha256sum "$archive" | cut -d' ' -f1)
    [ "$want" = "$have" ] || { log "SHA-256 of $archive does not match $archive.sha256"; exit 1; }
  fi
  parent=$(dirname "$dest")
  mkdir -p "$parent"
  unpack=$(mktemp -d "$parent/.unpack.XXXXXX")
  trap 'rm -rf "$unpack"' EXIT
  tar -xzf "$archive" -C "$unpack"
  rm -rf "$dest"
  mv "$unpack/qt-$qt_version-mingw64" "$dest"
  echo "$dest"
  exit 0
fi

# --- From Debian's sources -------------------------------------------------
start=$(date +%s)
need=(dpkg-dev cmake ninja-build perl python3 qt6-base-dev qt6-base-dev-tools
      g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
export DEBIAN_FRONTEND=noninteractive
scripts/ensure-deb-src.sh
[ ${#missing[@]} -eq 0 ] || $sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] || $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
case $host_version in
  $qt_version+*) ;;
  *) log "the host Qt (qt6-base-dev-tools $host_version) is not $qt_version"; exit 1 ;;
esac

work=${TALVEX_QT_MINGW_WORK:-$(dirname "$dest")/qt-$qt_version-mingw64-build}
rm -rf "$work"
mkdir -p "$work"
cd "$work"
log "fetching Debian's qt6-base source (Debian's patches applied)"
apt-get source -qq "qt6-base=$host_version" > source.log 2>&1 || { cat source.log; exit 1; }
src=$(find . -maxdepth 1 -type d -name "qt6-base-$qt_version*" | head -n1)
[ -n "$src" ] || { log "no qt6-base-$qt_version source folder after apt-get source"; exit 1; }

# Qt's own build gets a plain toolchain file: the posix-thread compilers,
# nothing linked statically (the DLLs share one C++ runtime with the program).
cat > mingw64.cmake <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX $triplet)
set(CMAKE_C_COMPILER   \${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER \${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  \${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/\${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# What was left out, and why:
# - direct2d1_1: plain -no-feature-direct2d breaks the link, because the
#   DirectWrite font code depends on it;
# - tabletevent: Debian's source has no wintab headers.
mkdir -p build
cd build
log "configuring"
"../$src/configure" -prefix "$dest" -release -shared -xplatform win32-g++ -qt-host-path /usr \
  -nomake examples -nomake tests -no-opengl -no-dbus -no-feature-sql -no-feature-network \
  -no-feature-xml -no-feature-printsupport -no-feature-concurrent -no-feature-vulkan \
  -no-feature-direct2d1_1 -no-feature-tabletevent -no-feature-androiddeployqt -no-icu -no-zstd \
  -no-pkg-config -no-openssl -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -qt-freetype -qt-harfbuzz \
  -qt-doubleconversion \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > ../configure.log 2>&1 \
  || { tail -n 60 ../configure.log; exit 1; }
configured=$(date +%s)
log "configured in $((configured - start)) s; building"
cmake --build . -j"$(nproc)" > ../build.log 2>&1 || { tail -n 60 ../build.log; exit 1; }
rm -rf "$dest"
cmake --install . > ../install.log 2>&1 || { tail -n 60 ../install.log; exit 1; }
cp "$work/mingw64.cmake" "$dest/mingw64.cmake"
find "$dest" -name '*.dll' -exec "$triplet-strip" --strip-unneeded {} +
cd /
rm -rf "$work"
log "built in $(($(date +%s) - start)) s"
echo "$dest"
