#!/usr/bin/env bash
# Builds the calculator into build/ and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target nestegg
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display to open the window on; run it on a virtual one: xvfb-run -a build/app/nestegg" >&2
    exit 1
fi
exec build/app/nestegg
