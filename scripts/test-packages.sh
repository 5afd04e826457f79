#!/usr/bin/env bash
# Packages: makes the Debian packages from a finished build folder, checks
# them with lintian, installs them with apt-get, runs the installed programs,
# compiles against the installed library (pkg-config and CMake), runs the
# site service as its unit would against the simulator, and removes the
# packages again. Needs root (or sudo).
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
site=""       # the service's own folder: it runs as talvex, which cannot enter $work
running=()    # programs started in the background
cleanup() {
  for pid in "${running[@]}"; do $sudo kill "$pid" 2> /dev/null || true; done
  $sudo apt-get purge -y -qq talvex-site > /dev/null 2>&1 || true
  $sudo apt-get purge -y -qq "${packages[@]}" > /dev/null 2>&1 || true
  [ -z "$site" ] || $sudo rm -rf "$site"
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
[ ${#debs[@]} -eq 5 ] || { echo "expected 5 packages, got ${#debs[@]}"; exit 1; }
site_deb=$(ls "$build"/packages/talvex-site_*.deb)

step "lintian (errors fail; warnings listed)"
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.txt" || {
  echo "lintian reports errors"; exit 1; }

step "apt-get install"
others=()
for deb in "${debs[@]}"; do [ "$deb" = "$site_deb" ] || others+=("$deb"); done
$sudo apt-get install -y -qq "${others[@]}" > "$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

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

step "apt-get install talvex-site"
$sudo apt-get install -y -qq "$site_deb" > "$work/install-site.log" 2>&1 || { cat "$work/install-site.log"; exit 1; }

step "site files"
unit=/usr/lib/systemd/system/talvexd.service
for f in /usr/bin/talvexd "$unit" /usr/lib/sysusers.d/talvex.conf /etc/talvex/talvexd.toml \
  /usr/share/doc/talvex-site/examples/60-talvex.rules.example /usr/share/snmp/mibs/TALVEX-MIB.txt; do
  [ -f "$f" ] || { echo "missing $f"; exit 1; }
done
dpkg-query -W -f='${Conffiles}\n' talvex-site | grep -q '^ /etc/talvex/talvexd.toml '
getent passwd talvex | grep -q ':/var/lib/talvex:/usr/sbin/nologin$'
owner() { stat -c '%U:%G %a' "$1"; }
[ "$(owner /etc/talvex/users)" = "talvex:talvex 600" ] || { echo "/etc/talvex/users: $(owner /etc/talvex/users)"; exit 1; }
[ "$(owner /var/lib/talvex)" = "talvex:talvex 750" ] || { echo "/var/lib/talvex: $(owner /var/lib/talvex)"; exit 1; }
# Enabled for the next boot, not started.
[ -L /etc/systemd/system/multi-user.target.wants/talvexd.service ] || { echo "talvexd.service not enabled"; exit 1; }
warnings=$(MANWIDTH=80 man --warnings -l /usr/share/man/man8/talvexd.8.gz 2>&1 > "$work/talvexd.txt")
[ -z "$warnings" ] && grep -q "^NAME" "$work/talvexd.txt" || { echo "talvexd.8: $warnings"; exit 1; }
# verify only warns about a line it ignores: any output fails.
verified=$(systemd-analyze verify "$unit" 2>&1) && [ -z "$verified" ] || { echo "$unit: $verified"; exit 1; }

step "talvexd as its unit runs it"
# No systemd runs here, so the service starts as the unit would start it:
# as talvex with dialout, no new privileges and no capabilities. The
# simulator runs as talvex too, so its pseudo-terminal is the service's to
# open as a serial port is through dialout.
as_talvex=(setpriv --reuid=talvex --regid=talvex --groups=dialout --no-new-privs --bounding-set=-all --)
site=$(mktemp -d)
# With SNMP too, through an snmpd of its own on unprivileged ports.
snmp_port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
agentx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s|^#* *port *=.*|port = \"$site/ttyTX\"|" -e "s|^#\\[snmp\\]|[snmp]|" \
    -e "s|^#agentx = .*|agentx = \"tcp:127.0.0.1:$agentx_port\"|" /etc/talvex/talvexd.toml > "$site/talvexd.toml"
grep -qx "port = \"$site/ttyTX\"" "$site/talvexd.toml" || { echo "no port key in talvexd.toml"; exit 1; }
grep -qx "agentx = \"tcp:127.0.0.1:$agentx_port\"" "$site/talvexd.toml" || { echo "no [snmp] in talvexd.toml"; exit 1; }
printf 'agentaddress udp:127.0.0.1:%s\nmaster agentx\nagentXSocket tcp:127.0.0.1:%s\nrocommunity public 127.0.0.1\n' \
  "$snmp_port" "$agentx_port" > "$work/snmpd.conf"
SNMP_PERSISTENT_DIR="$work" /usr/sbin/snmpd -f -Lf "$work/snmpd.log" -C -c "$work/snmpd.conf" -m "" &
running+=("$!")
chmod 0755 "$site"
$sudo chown -R talvex:talvex "$site"
$sudo "${as_talvex[@]}" talvex-sim --link "$site/ttyTX" > /dev/null &
sim=$!
running+=("$sim")
for _ in $(seq 50); do [ -e "$site/ttyTX" ] && break; sleep 0.1; done
password=$(head -c 12 /dev/urandom | base64)
echo "$password" | $sudo talvexd --config "$site/talvexd.toml" user add ada --role viewer
# The service reads the accounts as talvex: a change made as root keeps that.
[ "$(owner /etc/talvex/users)" = "talvex:talvex 600" ] || { echo "/etc/talvex/users: $(owner /etc/talvex/users)"; exit 1; }
$sudo talvexd --config "$site/talvexd.toml" user list | grep -qx "ada viewer"
(umask 0077 && exec $sudo "${as_talvex[@]}" talvexd --config "$site/talvexd.toml") 2> "$work/talvexd.log" &
service=$!
running+=("$service")
for _ in $(seq 100); do
  curl -fsS -u "ada:$password" http://127.0.0.1:9714/api/v1/status > "$work/status.json" 2> /dev/null && break
  [ -d "/proc/$service" ] || break
  sleep 0.1
done
grep -q '"frequency_mhz"' "$work/status.json" || { echo "no status from talvexd:"; cat "$work/talvexd.log"; exit 1; }
# The web page and its chart library, as installed.
curl -fsS http://127.0.0.1:9714/ | grep -q '<title>Talvex transmitter</title>' || { echo "no web page"; exit 1; }
curl -fsS -o /dev/null http://127.0.0.1:9714/javascript/chart.js/chart.min.js || { echo "no chart library"; exit 1; }
# The frequency through snmpd, as talvexd's AgentX subagent serves it.
frequency=1.3.6.1.4.1.8072.9999.9999.7.1.3.0
for _ in $(seq 50); do
  snmpget -v2c -c public -On -m "" -t 0.3 -r 0 "127.0.0.1:$snmp_port" "$frequency" 2> /dev/null \
    | grep -q "^.$frequency = Gauge32: " && break
  sleep 0.2
done
snmpget -v2c -c public -On -m "" "127.0.0.1:$snmp_port" "$frequency" | grep -q 'Gauge32: 1000' \
  || { echo "no frequency over SNMP:"; cat "$work/talvexd.log"; exit 1; }
$sudo kill -TERM "$service"
wait "$service" || { echo "talvexd ended with $? on SIGTERM:"; cat "$work/talvexd.log"; exit 1; }
$sudo kill "$sim"
wait "$sim" || true

step "apt-get purge talvex-site"
$sudo apt-get purge -y -qq talvex-site > /dev/null
for gone in /usr/bin/talvexd /etc/talvex/users /var/lib/talvex /etc/talvex; do
  [ ! -e "$gone" ] || { echo "$gone left behind"; exit 1; }
done

step "apt-get purge"
$sudo apt-get purge -y -qq "${packages[@]}" > /dev/null
for gone in /usr/include/Talvex.h /usr/bin/talvexctl /usr/bin/TalvexPanel; do
  [ ! -e "$gone" ] || { echo "$gone left behind"; exit 1; }
done
echo "Packages: 5 built, installed, run, compiled against and removed in $((SECONDS - started)) s"
