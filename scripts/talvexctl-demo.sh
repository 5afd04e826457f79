#!/usr/bin/env bash
# A short scripted session with talvexctl against the simulated transmitter:
# switch on, tune, set the power, read everything back, switch off.
# Usage: scripts/talvexctl-demo.sh [BUILD_DIR]   (default: build; a tree
# configured by scripts/test.sh in build/release is found as well)
# Needs the talvex-sim and talvexctl targets built in BUILD_DIR.
set -euo pipefail

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || build="$root/build"
if [ ! -x "$build/sim/talvex-sim" ] && [ -x "$build/release/sim/talvex-sim" ]; then
  build="$build/release"
fi
sim="$build/sim/talvex-sim"
ctl="$build/tools/talvexctl"
for program in "$sim" "$ctl"; do
  if [ ! -x "$program" ]; then
    echo "missing $program: build the talvex-sim and talvexctl targets first" >&2
    exit 1
  fi
done

work=$(mktemp -d)
link="$work/ttyTX"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --link "$link" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do
  [ -L "$link" ] && break
  sleep 0.1
done
if [ ! -L "$link" ]; then
  echo "talvex-sim did not start" >&2
  exit 1
fi
echo "simulated transmitter: $(cat "$work/sim.out" | tr '\n' ' ')"

run() {
  echo "\$ talvexctl --port $link $*"
  "$ctl" --port "$link" "$@"
}

run on
run freq 98.7
run power 5.0
run line-vol 9
run mic on
run stereo on
run status
run info

echo "\$ talvexctl --port $link freq 120.0    # out of range: refused before anything is sent"
if "$ctl" --port "$link" freq 120.0 2>&1; then
  echo "an out-of-range frequency was accepted" >&2
  exit 1
fi
run off
echo "done"
