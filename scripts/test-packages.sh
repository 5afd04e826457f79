#!/usr/bin/env bash
# Packages: makes the Debian packages from a finished build folder, checks
# them with lintian, installs them with apt-get, runs the installed programs,
# compiles against the installed library (pkg-config and CMake), and removes
# the packages again. Needs root (or sudo).
# Usage: scripts/test-packages.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/${1:-build/release}
started=$SECONDS
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
packages=(talvex-panel talvex-tools libtalvex-dev libtalvex1)
work=$(mktemp -d)
cleanup() {
  $sudo apt-get purge -y -qq "${packages[@]}" > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $*"; }

# The packages install under /usr; the build itself does not change.
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr > "$work/configure.log" 2>&1 \
  || { cat "$work/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" > "$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
rm -rf "$build/packages"
step "cpack"
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
debs=("$build"/packages/*.deb)
for deb in "${debs[@]}"; do
  echo "   $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done
[ ${#debs[@]} -eq 4 ] || { echo "expected 4 packages, got ${#debs[@]}"; exit 1; }

step "lintian (errors fail; warnings listed)"
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.txt" || {
  echo "lintian reports errors"; exit 1; }

step "apt-get install"
$sudo apt-get install -y -qq "${debs[@]}" > "$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

step "installed files"
soname=$(objdump -p /usr/lib/*/libTalvex.so.1 | awk '/SONAME/ {print $2}')
[ "$soname" = "libTalvex.so.1" ] || { echo "SONAME is '$soname'"; exit 1; }
desktop-file-validate /usr/share/applications/net.talvex.TalvexPanel.desktop
appstreamcli validate --no-net --explain /usr/share/metainfo/net.talvex.TalvexPanel.metainfo.xml > "$work/appstream.log" \
  || { cat "$work/appstream.log"; exit 1; }
for size in 16 22 24 32 48 64; do
  file "/usr/share/icons/hicolor/${size}x${size}/apps/net.talvex.TalvexPanel.png" | grep -q "${size} x ${size}"
done
for page in TalvexPanel talvexctl talvex-sim; do
  # man -l renders the installed page; any roff warning fails.
  warnings=$(MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 > "$work/$page.txt")
  [ -z "$warnings" ] && grep -q "^NAME" "$work/$page.txt" || { echo "$page.1: $warnings"; exit 1; }
done
grep -q "config.xml" "$work/TalvexPanel.txt"
bash -n /usr/share/bash-completion/completions/talvexctl

step "installed programs"
talvexctl --version
QT_QPA_PLATFORM=offscreen TalvexPanel --help | head -1
talvex-sim --link "$work/ttyTX" > /dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$work/ttyTX" ] && break; sleep 0.1; done
talvexctl --port "$work/ttyTX" on > /dev/null
talvexctl --port "$work/ttyTX" --json status | grep -q '"transmitter": "on"'
kill "$sim"; wait "$sim" || true
# The menu entry's start: a fresh home gets its data folder and schedule.
status=0
HOME="$work/home" XDG_DATA_HOME="" QT_QPA_PLATFORM=offscreen timeout 5 TalvexPanel --user-data --simulate \
  > /dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || { echo "TalvexPanel --user-data ended early ($status)"; exit 1; }
cmp "$work/home/.local/share/Talvex/config.xml" /usr/share/talvex/config.xml

step "compile against the installed library"
cat > "$work/open.c" <<'C'
#include <Talvex.h>
#include <stdio.h>

int main(void)
{
    if (OpenCommPath("/dev/talvex-no-such-port", 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, NULL))
        return 1;
    printf("open: %s\n", GetOpenErrorText(GetLastOpenError()));
    return GetLastOpenError() == TALVEX_OPEN_NO_DEVICE ? 0 : 1;
}
C
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/open-pc" "$work/open.c" $(pkg-config --cflags --libs talvex)
"$work/open-pc"
mkdir -p "$work/consumer"
cp "$work/open.c" "$work/consumer/open.c"
cat > "$work/consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package(Talvex 1.0 REQUIRED)
add_executable(open open.c)
target_link_libraries(open PRIVATE Talvex::Talvex)
CMAKE
cmake -S "$work/consumer" -B "$work/consumer/build" > "$work/consumer.log" 2>&1 \
  && cmake --build "$work/consumer/build" >> "$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; exit 1; }
"$work/consumer/build/open"

step "apt-get purge"
$sudo apt-get purge -y -qq "${packages[@]}" > /dev/null
for gone in /usr/include/Talvex.h /usr/bin/talvexctl /usr/bin/TalvexPanel; do
  [ ! -e "$gone" ] || { echo "$gone left behind"; exit 1; }
done
echo "Packages: 4 built, installed, run, compiled against and removed in $((SECONDS - started)) s"
