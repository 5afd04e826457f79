#!/usr/bin/env bash
# Cross-builds the Windows panel (TalvexPanel.exe with Talvex.dll and
# talvexctl.exe) for 64-bit Windows against Qt for mingw, and zips it as an
# operator unpacks it: build/win-panel/packages/TalvexPanel-win64.zip.
# Qt comes from scripts/build-qt-mingw.sh (prebuilt archive, cache, or a
# build from Debian's sources), pugixml from Debian's source package.
# Usage: scripts/build-windows-panel.sh
# Extra CMake options can come through TALVEX_WINDOWS_CMAKE_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=$(scripts/build-qt-mingw.sh | tail -n1)
pugixml=$(scripts/fetch-pugixml-source.sh | tail -n1)
dir=build/win-panel
mkdir -p build
# The preset win-panel: Qt's own toolchain file, in the Qt named by
# TALVEX_QT_MINGW_DIR, points CMake at that Qt and hands the compilers over
# to the project's mingw-w64 toolchain.
# shellcheck disable=SC2086
TALVEX_QT_MINGW_DIR=$qt cmake --preset win-panel -DTALVEX_PUGIXML_SOURCE="$pugixml" ${TALVEX_WINDOWS_CMAKE_ARGS:-} \
  > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && cpack -C RelWithDebInfo --config CPackConfig.cmake > cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
zip=$dir/packages/TalvexPanel-win64.zip
echo "Windows panel: $zip ($(du -h "$zip" | cut -f1))"
