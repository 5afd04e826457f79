#!/usr/bin/env bash
# Provides pugixml's source for the Windows builds, which have no pugixml
# package: Debian's source package of the same version as the machine's
# libpugixml-dev, unpacked into $TALVEX_PUGIXML_DIR, by default
# ${XDG_CACHE_HOME:-~/.cache}/talvex/pugixml-<version>. Prints that folder
# on its last line. Usage: scripts/fetch-pugixml-source.sh
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(dpkg-query -W -f='${Version}' libpugixml-dev)
upstream=${version%-*}
dest=${TALVEX_PUGIXML_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/talvex/pugixml-$upstream}
if [ -f "$dest/src/pugixml.cpp" ]; then
  echo "$dest"
  exit 0
fi
scripts/ensure-deb-src.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq "pugixml=$version" > source.log 2>&1) || { cat "$work/source.log"; exit 1; }
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$work/pugixml-$upstream" "$dest"
echo "$dest"
