#!/usr/bin/env bash
# Builds the Debian package and has Debian's checker look at it (an error or a warning fails,
# information tags are shown), then unpacks it into a temporary root and starts the unpacked
# program offscreen: it must come up and stay up until it is stopped.
set -euo pipefail
build=$1
# Everything this leaves goes in one temporary folder: the unpacked root, lintian's caches and
# the runtime folder Qt would otherwise make in /tmp.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
mkdir -m 700 "$scratch/tmp" "$scratch/runtime"
package=$(cd "$build" && cpack -G DEB | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
dpkg-deb --info "$package" | grep -E "Depends:.*libqt6widgets6" >/dev/null ||
    { echo "the package's dependencies were not computed" >&2; exit 1; }
if [[ $(dpkg-deb -f "$package" Description) == *";"* ]]; then
    echo "the package's description holds a ';', as a CMake list joined into one text does" >&2
    exit 1
fi
TMPDIR=$scratch/tmp lintian --display-info --fail-on error,warning "$package" ||
    { echo "lintian finds errors or warnings in $(basename "$package")" >&2; exit 1; }
dpkg-deb -x "$package" "$root"

status=0
HOME="$root" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen \
    timeout 3 "$root/usr/bin/nestegg" || status=$?
if ((status != 124)); then
    echo "the unpacked program ended by itself with status $status" >&2
    exit 1
fi
echo "$(basename "$package") unpacks and runs"
