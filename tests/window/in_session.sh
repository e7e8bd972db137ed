#!/usr/bin/env bash
# Runs a check in a desktop session of its own: a virtual X server, a private session bus (which
# starts the accessibility bus on demand), and home, runtime and temporary folders in one scratch
# folder, removed afterwards. Usage: in_session.sh CHECK ARGUMENTS...
set -euo pipefail
[[ -n ${1:-} ]] || { echo "usage: in_session.sh CHECK ARGUMENTS..." >&2; exit 2; }
for tool in Xvfb dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp_root=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$tmp_root/nestegg-session.XXXXXX")
xvfb=
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true
      [[ $scratch == "$tmp_root"/nestegg-session.?????? && -d $scratch ]] && rm -rf -- "$scratch"
     ' EXIT
trap 'exit 1' INT TERM
mkdir -m 700 "$scratch/home" "$scratch/runtime"
# -noreset: the buses connect before the program does, and a server that resets when its last
# client leaves would refuse the next one meanwhile.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 3>"$scratch/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $scratch/display ]] && break
    sleep 0.05
done
read -r display <"$scratch/display" || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
status=0
NESTEGG_SCRATCH=$scratch DISPLAY=:$display HOME=$scratch/home TMPDIR=$scratch \
    XDG_RUNTIME_DIR=$scratch/runtime GSETTINGS_BACKEND=memory timeout 100 \
    dbus-run-session -- bash "$@" || status=$?
exit "$status"
