#!/usr/bin/env bash
# Installs into a temporary prefix and validates the desktop entry, the manual page, the icons
# and the metadata.
set -euo pipefail
build=$1
id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component nestegg >/dev/null

test -x "$prefix/bin/nestegg"
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
gzip -t "$prefix/share/man/man1/nestegg.1.gz"
grep -q "<svg" "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/32x32/apps/$id.png")
if [[ $size != 32x32 ]]; then
    echo "the 32x32 icon is $size" >&2
    exit 1
fi
echo "installed and valid: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
