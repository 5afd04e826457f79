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

sim=$(scripts/build-host-sim.sh | tail -n1)
TALVEX_WINDOWS_CMAKE_ARGS="-DTALVEX_SIM=$sim" scripts/build-windows-panel.sh
# The panel's tests (label "panel"; the DLL's own ran in the Windows stage).
# They share a Wine prefix and a port: they run one at a time.
ctest --test-dir build/win-panel --output-on-failure --timeout 180 -L panel
echo "Windows panel stage: $(( $(date +%s) - start )) s"
