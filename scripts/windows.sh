#!/usr/bin/env bash
# The Windows stage: cross-builds the calculator for 64-bit Windows into build/windows/, with the
# installer and the portable zip in build/windows/package/, and runs its tests under Wine: the
# engine's, the file's and the window's (on Qt's windows platform, in a virtual X server), and
# the installer's round trip. The first run on a machine also builds Qt for Windows (about 50
# minutes on two busy cores; see windows-libraries.sh); later runs take about two minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/packages.sh
source scripts/packages.sh

# The cross compiler, Wine, the installer maker, the tools that fetch and build Qt's source, the
# virtual screen with the tools that drive, photograph and read it, the reader of the program's
# manifest and the zip maker.
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 nsis dpkg-dev patch
    xz-utils qt6-base-dev googletest fonts-liberation xvfb xdotool imagemagick tesseract-ocr
    tesseract-ocr-eng python3-pefile zip)
ensure_packages "${WINDOWS_PACKAGES[@]}"

mapfile -t libraries < <(bash scripts/windows-libraries.sh)
((${#libraries[@]} == 2)) || { echo "The libraries for Windows were not built" >&2; exit 1; }
found_in="${libraries[0]};${libraries[1]}"

# The window tests and the installer check need an X display: a virtual one of their own. And
# one Wine server for the whole stage: tests starting while an idle one shuts down cannot
# connect to it.
scratch=$(mktemp -d)
xvfb=
export WINEPREFIX=$PWD/build/windows/wine
export TMPDIR=$scratch  # Wine keeps its server's socket there, and would leave it in /tmp
cleanup() {
    wineserver --kill 2>/dev/null || true
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -r "$scratch"
}
trap cleanup EXIT
# -noreset: between two tests no program is connected, and a server that resets then refuses
# the next one meanwhile.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$scratch/display" \
    2>"$scratch/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $scratch/display ]] && break
    sleep 0.1
done
[[ -s $scratch/display ]] || { cat "$scratch/xvfb.log" >&2; exit 1; }
DISPLAY=:$(head -n1 "$scratch/display")
export DISPLAY
mkdir -p "$WINEPREFIX"
wineserver --kill 2>/dev/null || true  # one left by an interrupted run
wineserver --persistent

cmake --preset windows -DCMAKE_PREFIX_PATH="$found_in" -DCMAKE_FIND_ROOT_PATH="$found_in" \
    >/dev/null
cmake --build --preset windows -j"$(nproc)"
# One test at a time: Wine keeps the user's locale in the prefix's registry, and each program
# rewrites it for its own as it starts, so a test beside another would read its separators.
ctest --preset windows
