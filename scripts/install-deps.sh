#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# skipping the ones already present. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-serialport-dev libpugixml-dev
  fonts-liberation xvfb xauth imagemagick xdotool python3
  clang libclang-rt-14-dev clang-format-14
  locales
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 fonts-wine
  dpkg-dev lintian desktop-file-utils appstream file man-db
  ser2net prometheus libcpp-httplib-dev
  libtomlplusplus-dev nlohmann-json3-dev libsystemd-dev libssl-dev libcrypt-dev libsqlite3-dev wrk openssl
  curl systemd
  libcurl4-openssl-dev python3-aiosmtpd
  libjs-chart.js chromium chromium-driver python3-selenium
  libsnmp-dev snmpd snmp snmptrapd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
