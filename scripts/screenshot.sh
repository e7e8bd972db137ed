#!/usr/bin/env bash
# Takes docs/window.png, the picture in the README: the built program in a virtual X screen at
# 96 dpi, after a press of Calculate on the figures the window starts with.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/packages.sh
source scripts/packages.sh

if [[ -z ${NESTEGG_IN_XVFB:-} ]]; then
    ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth xdotool imagemagick
    cmake --preset run >/dev/null
    cmake --build --preset run -j"$(nproc)"
    NESTEGG_IN_XVFB=1 exec timeout 60 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -noreset" \
        bash scripts/screenshot.sh
fi

scratch=$(mktemp -d)
mkdir -m 700 "$scratch/runtime"
pid=
trap '[[ -z $pid ]] || kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
unset QT_QPA_PLATFORM
HOME=$scratch XDG_RUNTIME_DIR=$scratch/runtime build/app/nestegg &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Dar Uridizo Dodode Vozo Rov  \(v1\.0\)$')
sleep 0.5
# Calculate sits at 4080,3600 twips, 1695x495: its middle is 328,256 in pixels. The pointer then
# leaves the window, so that the button is not drawn hovered.
xdotool mousemove --window "$window" 328 256 click 1 mousemove 0 0
sleep 1
mkdir -p docs
import -window "$window" -define png:exclude-chunks=date,time docs/window.png
echo "saved docs/window.png ($(identify -format '%wx%h' docs/window.png))"
