#!/usr/bin/env bash
# Cross-builds Talvex.dll and talvexctl.exe for Windows with mingw-w64, into
# build/win-x86_64/bin and build/win-i686/bin (64-bit and 32-bit).
# Usage: scripts/build-windows.sh [x86_64|i686]...   (both when none given)
# Extra CMake options can come through TALVEX_WINDOWS_CMAKE_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86_64 i686)
mkdir -p build
for arch in "${arches[@]}"; do
  case $arch in
    x86_64|i686) ;;
    *) echo "build-windows.sh: no toolchain for $arch" >&2; exit 2 ;;
  esac
  dir=build/win-$arch
  # The presets win-x86_64 and win-i686 (CMakePresets.json).
  # shellcheck disable=SC2086
  cmake --preset "win-$arch" ${TALVEX_WINDOWS_CMAKE_ARGS:-} > "$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j"$(nproc)"
  echo "$arch: $dir/bin/Talvex.dll, $dir/bin/talvexctl.exe"
done
