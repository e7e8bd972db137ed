#!/usr/bin/env bash
# Runs the built program under the Orca screen reader, in a virtual X server with a private
# session bus, and works it from the keyboard as a blind user would: Space on Calculate, Tab to
# the current age, Orca's read-title command, Tab on to Cancel and the link. Orca's debug log,
# which holds every utterance before any voice would speak it, tells what it says. Usage, in a
# session of its own: in_session.sh orca_check.sh NESTEGG
set -euo pipefail

program=${1:?usage: in_session.sh orca_check.sh NESTEGG}
here=$(cd "$(dirname "$0")" && pwd)
for tool in orca xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

log=$NESTEGG_SCRATCH/orca.log
pids=()
# Orca, asked politely to end, waits to say goodbye.
trap 'kill -KILL "${pids[@]}" 2>/dev/null || true; wait "${pids[@]}" 2>/dev/null || true' EXIT

# Orca's utterances after line $1 of its log, one a line, without the full stop Orca puts after a
# closing word (but not after a "%").
said_since() {
    tail -n +"$1" "$log" 2>/dev/null |
        sed -nE "s/^.*SPEECH OUTPUT: '(.*)' ?( voice=[^{]*)?(\{.*\})?$/\1/p" |
        sed -E 's/ $//; s/\.$//'
}
# Waits up to $3 seconds until Orca says $2 after line $1 of its log.
wait_for_speech() {
    local tries
    for ((tries = $3 * 20; tries > 0; tries--)); do
        said_since "$1" | grep -qxF -- "${2%.}" && return 0
        sleep 0.05
    done
    return 1
}
next_line() {
    echo $(($(wc -l <"$log") + 1))
}
failures=0
complain() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
report() {
    if ((failures > 0)); then
        echo "--- what Orca said ---" >&2
        said_since 1 >&2
        exit 1
    fi
}

if pgrep -u "$EUID" -x orca >/dev/null; then
    echo "SKIP: another Orca of this user runs, and Orca starts beside none: the machine gave" \
        "the check no process namespace of its own"
    exit 77
fi

# Flushed line by line, the log can be waited on. No voice is started: none is needed.
mkdir -p "$HOME/.local/share/orca"
cat >"$HOME/.local/share/orca/orca-customizations.py" <<'EOF'
import orca.debug
import orca.settings

orca.debug.debugFile.reconfigure(line_buffering=True)
orca.settings.speechServerFactory = None
EOF
orca --debug-file "$log" >"$NESTEGG_SCRATCH/orca.out" 2>&1 &
pids+=($!)
wait_for_speech 1 "Screen reader on." 10 ||
    { complain "Orca did not start: $(cat "$NESTEGG_SCRATCH/orca.out")"; report; }

unset QT_QPA_PLATFORM QT_ACCESSIBILITY QT_LINUX_ACCESSIBILITY_ALWAYS_ON
"$program" >"$NESTEGG_SCRATCH/program.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --name '^Dar Uridizo Dodode Vozo Rov  \(v1\.0\)$') ||
    { complain "the window did not appear"; report; }
xdotool windowfocus --sync "${window%%$'\n'*}"
wait_for_speech 1 "Calculate push button." 10 || { complain "Calculate was not announced"; report; }

# Space on Calculate: each result line's new sentence, then which result it is. The sentences
# are those the AT-SPI check expects, read with the Python that Orca runs on.
python=$(sed -n '1s/^#! *//p' "$(command -v orca)")
mapfile -t sentences < <(PYTHONPATH=$here $python -c \
    'from screen_reader_check import EXPECTED; print(*EXPECTED, sep="\n")')
((${#sentences[@]} == 3)) || { complain "no sentences from screen_reader_check.py"; report; }
descriptions=("Result: projection" "Result: the 2 million goal" "Result: at 20%")
from=$(next_line)
xdotool key space
wait_for_speech "$from" "${descriptions[2]}" 2 || true
for i in "${!sentences[@]}"; do
    said_since "$from" | grep -xF -A1 -- "notification ${sentences[i]%.}" |
        grep -qxF -- "${descriptions[i]}" ||
        complain "after Space Orca did not say '${sentences[i]}', then '${descriptions[i]}'"
done

# Tab: the current age box's "40", whole and never in part.
from=$(next_line)
xdotool key Tab
wait_for_speech "$from" "40 selected" 2 || complain "after Tab Orca did not say '40 selected'"
if said_since "$from" | grep -qxE '4( selected)?'; then
    complain "after Tab Orca cut the current age short"
fi

# Orca's read-title command.
from=$(next_line)
xdotool key Insert+KP_Enter
wait_for_speech "$from" "Dar Uridizo Dodode Vozo Rov  (v1.0)" 2 ||
    complain "Insert+KP_Enter did not speak the window's title"
# Tab on to Cancel, Space on it (the window shows nothing of the save), and Tab on to the link.
for step in "Tab Tab Tab Tab Tab/Saves the starting balance to $HOME/file1.txt" \
    "space/notification Starting balance saved to $HOME/file1.txt" "Tab/nesteggpress.example link"; do
    from=$(next_line)
    # shellcheck disable=SC2086 # the keys, one word each
    xdotool key ${step%%/*}
    wait_for_speech "$from" "${step#*/}" 2 || complain "after ${step%%/*} Orca did not say '${step#*/}'"
done
kill -0 "${pids[1]}" 2>/dev/null ||
    complain "the program ended: $(cat "$NESTEGG_SCRATCH/program.log")"
report
echo "PASS: Orca spoke the three results with their descriptions, the whole age and the title"
