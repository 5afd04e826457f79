#!/usr/bin/env bash
# Runs a Windows program under Wine against talvex-sim: the simulator's line
# becomes a COM port of a private Wine prefix, as a user would map it.
#
#   wine-run.sh prepare PREFIX
#       creates the prefix (once) and starts its wineserver, which stays
#       until "finish", so that each program starts quickly
#   wine-run.sh run PREFIX SIM COMn [SIM-OPTION...] -- PROGRAM [ARG...]
#       starts SIM with the options, maps COMn to its line, runs PROGRAM
#       and returns its exit status
#   wine-run.sh exec PREFIX PROGRAM [ARG...]
#       runs PROGRAM without a simulator
#   wine-run.sh finish PREFIX
#       stops the prefix's wineserver
set -euo pipefail

action=$1 prefix=$(realpath -m "$2")
shift 2
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: console programs need neither, and nothing is fetched.
export WINEDLLOVERRIDES="mscoree,mshtml="

case $action in
prepare)
  mkdir -p "$prefix"
  # The server keeps its output (a dump of its objects when it is stopped)
  # out of the tests' output.
  wineserver -p > "$prefix.server.log" 2>&1
  # Creates the prefix the first time, and starts Wine's own services,
  # which also stay until "finish" (they hold the output they start with).
  start=$(date +%s%N)
  first=
  [ -f "$prefix/system.reg" ] || first=-i
  wineboot $first > "$prefix.boot.log" 2>&1 || { cat "$prefix.boot.log"; exit 1; }
  echo "Wine prefix ${first:+created and }started in $(( ($(date +%s%N) - start) / 1000000 )) ms"
  exit 0
  ;;
finish)
  wineserver -k 2>/dev/null || true
  exit 0
  ;;
exec)
  exec wine "$@"
  ;;
run) ;;
*)
  echo "wine-run.sh: unknown action $action" >&2
  exit 2
  ;;
esac

sim=$1 com=${2,,}
shift 2
sim_args=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  sim_args+=("$1")
  shift
done
[ $# -gt 1 ] || { echo "wine-run.sh: no program after --" >&2; exit 2; }
shift

work=$(mktemp -d)
sim_pid=
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$prefix/dosdevices/$com"
  rm -rf "$work"
}
trap cleanup EXIT

# The port points at the simulator's link rather than at its pty, so that
# after a hang-up the same port name reaches the line that comes back.
"$sim" --link "$work/line" "${sim_args[@]}" > "$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -e "$work/line" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.out"; exit 1; }
  sleep 0.1
done
[ -e "$work/line" ] || { echo "wine-run.sh: the simulator did not start" >&2; exit 1; }
ln -sfn "$work/line" "$prefix/dosdevices/$com"

status=0
wine "$@" || status=$?
exit "$status"
