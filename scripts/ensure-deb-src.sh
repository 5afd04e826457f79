#!/usr/bin/env bash
# Makes `apt-get source` work: adds a deb-src entry for Debian 12 (bookworm)
# main when the machine lists none, and refreshes the package lists then.
# Needs root or sudo for that. Usage: scripts/ensure-deb-src.sh
set -euo pipefail
if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "ensure-deb-src.sh: adding a deb-src entry for bookworm main" >&2
printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
  | $sudo tee /etc/apt/sources.list.d/talvex-deb-src.sources > /dev/null
$sudo apt-get update -qq
