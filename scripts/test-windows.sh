#!/usr/bin/env bash
# The Windows stage: cross-builds both DLLs and talvexctl.exe, checks their
# export and import tables, and runs the 64-bit build under Wine against
# talvex-sim (built for this machine). The 32-bit build runs only under
# emulation, too slow for every change: scripts/prove-i686.sh, by hand.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

sim=$(scripts/build-host-sim.sh | tail -n1)
TALVEX_WINDOWS_CMAKE_ARGS="-DTALVEX_SIM=$sim" scripts/build-windows.sh x86_64 i686

ctest --test-dir build/win-i686 --output-on-failure
# The Wine tests share one prefix and one port: they run one at a time.
ctest --test-dir build/win-x86_64 --output-on-failure --timeout 120
echo "Windows stage: $(( $(date +%s) - start )) s"
