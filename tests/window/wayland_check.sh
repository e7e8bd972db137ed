#!/usr/bin/env bash
# Starts the built program under a headless Wayland compositor with no X display to fall back
# on: it must come up on Qt's Wayland platform, stay up and print nothing.
# Usage: wayland_check.sh NESTEGG
set -euo pipefail
program=${1:?usage: wayland_check.sh NESTEGG}
command -v weston >/dev/null || { echo "SKIP: weston is not installed"; exit 77; }

scratch=$(mktemp -d)  # the compositor's and the program's runtime and home folders, the logs
compositor='' pid=''
cleanup() {
    kill ${pid:+"$pid"} ${compositor:+"$compositor"} 2>/dev/null || true
    wait
    rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -m 700 "$scratch/runtime" "$scratch/home"
export XDG_RUNTIME_DIR=$scratch/runtime WAYLAND_DISPLAY=nestegg
unset DISPLAY QT_QPA_PLATFORM
fail() {
    echo "FAIL: $*" >&2
    cat "$scratch/weston.log" >&2
    exit 1
}

weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
    >"$scratch/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 100); do
    [[ -S $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY ]] && break
    sleep 0.1
done
HOME=$scratch/home "$program" >"$scratch/program.log" 2>&1 &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$scratch/program.log")"
grep -q '/platforms/libqwayland' "/proc/$pid/maps" || fail "the program is not on Qt's Wayland platform"
[[ ! -s $scratch/program.log ]] || fail "the program printed: $(cat "$scratch/program.log")"
echo "PASS: the window runs on Wayland, silently"
