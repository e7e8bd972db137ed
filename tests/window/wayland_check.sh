#!/usr/bin/env bash
# Starts the built program under a headless Wayland compositor with no X display to fall back
# on: it must stay up, on Qt's Wayland platform, print nothing, and name itself as the desktop
# entry is named, for docks to find the launcher. Usage: wayland_check.sh NESTEGG DESKTOP_ENTRY
set -euo pipefail
program=${1:?usage: wayland_check.sh NESTEGG DESKTOP_ENTRY}
entry=${2:?usage: wayland_check.sh NESTEGG DESKTOP_ENTRY}
command -v weston >/dev/null || { echo "SKIP: weston is not installed"; exit 77; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/nestegg-wayland.XXXXXX")  # runtime folder, home and logs
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait
      [[ $scratch == */nestegg-wayland.?????? ]] && rm -rf -- "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime" "$scratch/home"
export XDG_RUNTIME_DIR=$scratch/runtime WAYLAND_DISPLAY=nestegg HOME=$scratch/home
unset DISPLAY QT_QPA_PLATFORM

weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
    --logger-scopes=log,proto --log="$scratch/weston.log" >"$scratch/weston.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [[ -S $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY ]] && break
    sleep 0.1
done
"$program" >"$scratch/program.log" 2>&1 &
pids+=($!)
sleep 3
if ! kill -0 "${pids[1]}" 2>/dev/null || [[ -s $scratch/program.log ]] ||
    ! grep -q /platforms/libqwayland "/proc/${pids[1]}/maps"; then
    echo "FAIL: the program did not stay up silently on Qt's Wayland platform:" >&2
    cat "$scratch/program.log" "$scratch/weston.log" >&2
    exit 1
fi
app_id=$(basename "$entry" .desktop)  # as the compositor's protocol log has the request
grep -qF "set_app_id(\"$app_id\")" "$scratch/weston.log" || { echo "FAIL: not $app_id" >&2; exit 1; }
echo "PASS: the window runs on Wayland, silently, with the app id $app_id"
