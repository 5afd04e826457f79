#!/usr/bin/env bash
# Installs what is missing, builds, and starts the control panel against the
# simulated transmitter. The panel keeps its schedule (config.xml) in
# build/run/, which starts from the shipped config.xml.
# Usage: scripts/run-panel.sh [extra TalvexPanel options]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset release > /dev/null
cmake --build build/release -j"$(nproc)" --target TalvexPanel talvex-sim talvexctl

mkdir -p build/run
[ -f build/run/config.xml ] || cp panel/config.xml build/run/config.xml
cd build/run

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ../release/panel/TalvexPanel --simulate "$@"
fi
echo "No display found: running the panel on a virtual display (Xvfb). Stop it with Ctrl-C."
exec xvfb-run -a -s "-screen 0 1280x800x24" ../release/panel/TalvexPanel --simulate "$@"
