#!/usr/bin/env bash
# Builds talvex-sim alone for this machine, the peer of the Windows programs
# under Wine, into build/win-sim, and prints its path on its last line.
# Usage: scripts/build-host-sim.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake --preset win-sim > build/win-sim.configure.log 2>&1 || { cat build/win-sim.configure.log; exit 1; }
cmake --build build/win-sim -j"$(nproc)" --target talvex-sim >&2
echo "$PWD/build/win-sim/sim/talvex-sim"
