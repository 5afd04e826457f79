#!/usr/bin/env bash
# The Windows panel stage: unpacks the prebuilt Qt for mingw (or builds it,
# scripts/build-qt-mingw.sh), cross-builds TalvexPanel.exe and its zip, and
# proves it under Wine against talvex-sim (built for this machine): the
# panel's Qt tests on the offscreen platform, then the panel itself on an X
# display as an operator uses it (tests/windows/panel).
# Usage: scripts/test-windows-panel.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

mkdir -p build
cmake -S . -B build/win-sim -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEX_WERROR=ON \
      -DTALVEX_PANEL=OFF -DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF > build/win-sim.configure.log 2>&1 \
  || { cat build/win-sim.configure.log; exit 1; }
cmake --build build/win-sim -j"$(nproc)" --target talvex-sim

TALVEX_WINDOWS_CMAKE_ARGS="-DTALVEX_SIM=$PWD/build/win-sim/sim/talvex-sim" scripts/build-windows-panel.sh
# The panel's tests (label "panel"; the DLL's own ran in the Windows stage).
# They share a Wine prefix and a port: they run one at a time.
ctest --test-dir build/win-panel --output-on-failure --timeout 180 -L panel
echo "Windows panel stage: $(( $(date +%s) - start )) s"
