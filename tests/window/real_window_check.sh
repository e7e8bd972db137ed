#!/usr/bin/env bash
# Runs the built program in a virtual X server and works it as a person would: checks the
# window's client size, calculates, takes a screenshot, then calculates with letters in an
# age box and dismisses the message; runs it again under a file size limit and saves a starting
# balance longer than the limit. Also its title bar and class, and at 200% that it fits the
# screen. Usage, in a session of its own (its screen 1920x1200):
# in_session.sh real_window_check.sh NESTEGG OUTPUT_DIR DESKTOP_ENTRY
set -euo pipefail

usage="usage: in_session.sh real_window_check.sh NESTEGG OUTPUT_DIR DESKTOP_ENTRY"
program=${1:?$usage} outdir=${2:?$usage} entry=${3:?$usage}
pattern='^Dar Uridizo Dodode Vozo Rov  \(v1\.0\)$'  # the caption; message boxes share it
for tool in xdotool xwininfo xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

mkdir -p "$outdir"
log="$outdir/real_window.log"
: >"$log"
pid=
stop_program() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
}
trap stop_program EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    echo "--- program output ---" >&2
    cat "$log" >&2
    exit 1
}

# Waits until the number of visible windows with the caption is $1; prints their ids.
wait_for_windows() {
    local want=$1 ids count
    for _ in $(seq 100); do
        ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true)
        count=$(grep -c . <<<"$ids" || true)
        if [[ $count -eq $want ]]; then
            echo "$ids"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

click_at() {  # window x y
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

# Types $3 into the box at $1,$2, clicks the button at $4,$5 and dismisses the message that must
# follow, saved as the screenshot $6; the program, doing $7, must not end.
type_and_expect_message() {
    click_at "$window" "$1" "$2"
    xdotool key ctrl+a
    xdotool type --delay 0 "$3"
    click_at "$window" "$4" "$5"
    wait_for_windows 2 >/dev/null || fail "no message box after $7"
    import -window root "$outdir/$6" || true
    xdotool key Return
    wait_for_windows 1 >/dev/null || fail "the message box did not close on Return"
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "the program ended after $7"
}

unset QT_QPA_PLATFORM
"$program" >"$log" 2>&1 &
pid=$!

window=$(wait_for_windows 1) || fail "the window did not appear"
sleep 0.5
read -r width height < <(xwininfo -id "$window" |
    awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w, h}')
[[ $width == 550 && $height == 612 ]] || fail "client area is ${width}x${height}, not 550x612"
# Window managers offer what the Motif hints allow: minimise and close, not maximise. Docks find
# the launcher by the window's class, the desktop entry's StartupWMClass.
IFS=', ' read -r _ functions decorations _ < <(xprop -id "$window" _MOTIF_WM_HINTS | sed 's/.*= //')
(( (functions & 0x38) == 0x28 && !(decorations & 0x40) )) || fail "the title bar's buttons are off"
[[ $(xprop -id "$window" WM_CLASS) == *", \"$(sed -n 's/^StartupWMClass=//p' "$entry")\"" ]] ||
    fail "the window's class is not its desktop entry's StartupWMClass"

# Calculate sits at 4080,3600 twips, 1695x495: its middle is 328,256 in pixels.
click_at "$window" 328 256
sleep 0.5
import -window root "$outdir/window.png" || fail "no screenshot"
echo "screenshot: $outdir/window.png"

# Letters into the current-age box (1680,720 twips), then Calculate.
type_and_expect_message 148 60 abc 328 256 window_message.png "calculating with letters in an age"
stop_program

# At 200% the window, 1224 pixels high, would run off this 1920x1200 screen.
QT_SCALE_FACTOR=2 "$program" >"$outdir/real_window_scaled.log" 2>&1 &
pid=$!
window=$(wait_for_windows 1) || fail "the window did not appear at 200%"
bottom=$(xwininfo -id "$window" | awk '/upper-left Y:/ {y=$4} /Height:/ {print y + $2}')
((bottom <= 1200)) || fail "at 200% the window runs off the 1920x1200 screen, to $bottom"
stop_program

# A 1 KiB file size limit, and a starting balance of 1,500 digits: Cancel must report the failed
# save, keep the earlier file whole and keep the program running.
log="$outdir/real_window_limited.log"
home=$NESTEGG_SCRATCH/limited
mkdir "$home"
printf '12\r\n' >"$home/file1.txt"
(ulimit -f 1 && HOME=$home exec "$program") >"$log" 2>&1 &
pid=$!
window=$(wait_for_windows 1) || fail "the window did not appear under a file size limit"
sleep 0.5
# The starting-balance box sits at 5280,1320 twips, 1455x405; Cancel at 2520,3600, 1335x495.
type_and_expect_message 400 101 "$(printf '1%.0s' $(seq 1500))" 212 256 \
    window_limited_message.png "Cancel under a file size limit"
[[ $(od -An -c "$home/file1.txt" | tr -d ' ') == '12\r\n' ]] ||
    fail "the earlier file1.txt changed: $(od -An -c "$home/file1.txt")"

echo "PASS: window ${width}x${height}, message shown and dismissed, program still running;"
echo "PASS: title bar and class as the desktop entry has them; at 200% within the screen;"
echo "PASS: a save past the file size limit was reported, the earlier file kept, program running"
