#!/usr/bin/env bash
# Builds the release tree if needed and prints the performance table: every
# figure measured in one run beside its limit and goal. Takes about a minute
# and a half; run it while the machine is otherwise quiet (see `uptime`).
# Usage: scripts/perf.sh [--cpu-seconds N] [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

if [ ! -f build/release/build.ninja ]; then
  mkdir -p build
  cmake --preset release > build/release.configure.log 2>&1 || { cat build/release.configure.log; exit 1; }
fi
cmake --build build/release -j"$(nproc)" --target perf_table
echo "uptime before: $(uptime)" >&2
exec build/release/bench/perf_table "$@"
