#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and starts the unpacked program
# offscreen: it must come up and stay up until it is stopped.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls -t "$build"/package/nestegg_*.deb | head -n 1)
dpkg-deb --info "$package" | grep -E "Depends:.*libqt6widgets6" >/dev/null ||
    { echo "the package's dependencies were not computed" >&2; exit 1; }
dpkg-deb -x "$package" "$root"

status=0
HOME="$root" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/nestegg" || status=$?
if ((status != 124)); then
    echo "the unpacked program ended by itself with status $status" >&2
    exit 1
fi
echo "$(basename "$package") unpacks and runs"
