#!/usr/bin/env bash
# Builds the panel if needed, runs it against the simulated transmitter on a
# virtual display (Xvfb), waits until the live readings move, and saves a
# picture of the main window.
# Usage: scripts/screenshot.sh [output.png]   (default docs/screenshot.png)
# BUILD_DIR selects the build directory (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build/release}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${1:-docs/screenshot.png}
case $out in /*) ;; *) out=$root/$out ;; esac
mkdir -p "$(dirname "$out")"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset release -B "$build" > /dev/null
fi
cmake --build "$build" --target TalvexPanel > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -f panel/config.xml ]; then
  cp panel/config.xml "$work/config.xml"
else
  {
    echo '<?xml version="1.0"?>'
    echo '<root>'
    for _ in 1 2 3 4 5; do
      printf '\t<Task Year="2024" Month="1" Day="1" Hour="0" Min="0" Sec="0" Opt="0" />\n'
    done
    echo '</root>'
  } > "$work/config.xml"
fi

export PANEL=$build/panel/TalvexPanel WORK=$work OUT=$out
# The settings store (the panel password) stays inside the temporary directory.
export XDG_CONFIG_HOME=$work/config
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  cd "$WORK"
  "$PANEL" --simulate > "$WORK/panel.log" 2>&1 &
  pid=$!
  trap "kill $pid 2> /dev/null || true" EXIT

  window=
  for _ in $(seq 150); do
    window=$(xwininfo -root -tree 2> /dev/null | awk "/\"Vemra_K2 PC control/ { print \$1; exit }")
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    echo "screenshot: the panel window did not appear" >&2
    cat "$WORK/panel.log" >&2
    exit 1
  fi

  # Live readings move: wait until two pictures of the window differ.
  sleep 1
  import -window "$window" "$WORK/before.png"
  moved=
  for _ in $(seq 40); do
    sleep 0.25
    import -window "$window" "$WORK/after.png"
    diff=$(compare -metric AE "$WORK/before.png" "$WORK/after.png" null: 2>&1 || true)
    if [ "${diff%% *}" != "0" ]; then moved=1; break; fi
  done
  if [ -z "$moved" ]; then
    echo "screenshot: the readings did not move" >&2
    exit 1
  fi
  sleep 1.5
  import -window "$window" "$OUT"
'
echo "wrote $out"
