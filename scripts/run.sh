#!/usr/bin/env bash
# Builds the calculator into build/ and opens its window (without a display it says so).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target nestegg
exec build/app/nestegg
