#!/usr/bin/env bash
# The Windows stage: cross-builds both DLLs and talvexctl.exe, checks their
# export and import tables, and runs the 64-bit build under Wine against
# talvex-sim (built for this machine). The 32-bit build cannot run here: the
# kernel runs no 32-bit programs. Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

# The simulator, alone, for this machine.
mkdir -p build
cmake -S . -B build/win-sim -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEX_WERROR=ON \
      -DTALVEX_PANEL=OFF -DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF > build/win-sim.configure.log 2>&1 \
  || { cat build/win-sim.configure.log; exit 1; }
cmake --build build/win-sim -j"$(nproc)" --target talvex-sim

TALVEX_WINDOWS_CMAKE_ARGS="-DTALVEX_SIM=$PWD/build/win-sim/sim/talvex-sim" scripts/build-windows.sh x86_64 i686

ctest --test-dir build/win-i686 --output-on-failure
# The Wine tests share one prefix and one port: they run one at a time.
ctest --test-dir build/win-x86_64 --output-on-failure --timeout 120
echo "Windows stage: $(( $(date +%s) - start )) s"
