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
# client leaves would refuse the next one meanwhile. The screen is large enough for the window at
# 200%.
Xvfb -displayfd 3 -noreset -screen 0 1920x1200x24 3>"$scratch/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $scratch/display ]] && break
    sleep 0.05
done
read -r display <"$scratch/display" || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
# The check sees only its own processes: Orca will not start beside any other process of the
# user named orca (it asks pgrep), be it the user's own screen reader or another check's. Where
# the machine gives no process namespace, the check shares the machine's. The session bus stays
# outside, so that it ends as it should and removes its socket.
isolated=(unshare --pid --kill-child --mount-proc)
((EUID == 0)) || isolated+=(--user --map-current-user)
"${isolated[@]}" true 2>/dev/null || isolated=()
# Nothing of the user's own desktop reaches in: their accessibility bus, settings, caches and
# session manager stay theirs.
status=0
env -u AT_SPI_BUS_ADDRESS -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u SESSION_MANAGER \
    -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME \
    NESTEGG_SCRATCH="$scratch" DISPLAY=":$display" HOME="$scratch/home" TMPDIR="$scratch" \
    XDG_RUNTIME_DIR="$scratch/runtime" GSETTINGS_BACKEND=memory timeout 100 \
    dbus-run-session -- "${isolated[@]}" bash "$@" || status=$?
exit "$status"
