#!/usr/bin/env bash
# Builds the calculator into build/ and opens its window (without a display it says so). The
# build leaves out the tests and benchmarks, and takes compiler warnings as warnings: a newer
# compiler's new warning must not stop it.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/packages.sh
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake --preset run >/dev/null
cmake --build --preset run -j"$(nproc)"
exec build/app/nestegg
