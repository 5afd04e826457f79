#!/usr/bin/env bash
# The long form of the soak: builds talvex-soak in the sanitizer build
# (ASan + UBSan, warnings as errors) and runs the panel against the
# misbehaving simulated transmitter for MINUTES (30 when not given).
#
#   scripts/soak.sh [MINUTES] [SEED]
#
# Without SEED the program draws one and prints it; give the printed seed to
# repeat a run's choices. The exit status is the program's: 0 when every check
# held, 1 when one failed, 2 when the run could not start, 3 on a deadlock;
# a sanitizer report aborts the run. SOAK_BUILD_DIR overrides the build
# directory (build/asan, shared with scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-30}
seed=${2:-}
build=${SOAK_BUILD_DIR:-build/asan}

if ! [[ $minutes =~ ^[1-9][0-9]*$ ]]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi

mkdir -p "$build"
log="$build/soak-configure.log"
cmake --preset asan -B "$build" > "$log" 2>&1 || { cat "$log"; exit 1; }
cmake --build "$build" --target talvex-soak

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
args=(--minutes "$minutes")
if [[ -n $seed ]]; then
  args+=(--seed "$seed")
fi
echo "== talvex-soak ${args[*]} ($build)"
exec "$build/tests/soak/talvex-soak" "${args[@]}"
