#!/usr/bin/env bash
# Builds everything into build/ and runs every test: shellcheck over the shell scripts, the
# engine's, the file's and the window's tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the engine's fuzz targets for half a minute each, then every test of the normal build: window,
# install and package checks included. Every build takes compiler warnings as errors. Last the
# Windows stage: the program cross-built for Windows and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/packages.sh
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
ensure_locales "de_DE.UTF-8 UTF-8" "de_DE ISO-8859-1" "de_CH.UTF-8 UTF-8" "ar_EG.UTF-8 UTF-8" \
    "ja_JP.UTF-8 UTF-8" "fr_FR.UTF-8 UTF-8" "mr_IN UTF-8"

find .ci scripts packaging tests windows -type f \( -name '*.sh' -o -path .ci/run \) \
    -exec shellcheck -x {} +
echo "shellcheck finds nothing in the shell scripts"

jobs=$(nproc)
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
ctest --preset fuzz -j"$jobs"

cmake --preset default >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs"

# ---- Windows ----------------------------------------------------------------------------------
# The calculator cross-built for Windows and tested under Wine, with its installer and zip. The
# first run on a machine builds Qt for Windows once (about 50 minutes); later runs reuse it.
bash scripts/windows.sh
