#!/usr/bin/env bash
# Runs the built program with the accessibility bus on, and lets screen_reader_check.py press
# Calculate over AT-SPI and read the result lines back, as a screen reader would. Usage, in a
# session of its own: in_session.sh screen_reader_check.sh NESTEGG
set -euo pipefail

program=${1:?usage: in_session.sh screen_reader_check.sh NESTEGG}
# D-Bus starts these on demand; without them nothing answers on the accessibility bus.
for tool in /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd; do
    [[ -x $tool ]] || { echo "SKIP: $tool is not installed"; exit 77; }
done
python=
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null; then
        python=$candidate
        break
    fi
done
[[ -n $python ]] || { echo "SKIP: no python3 with the Atspi bindings"; exit 77; }

here=$(cd "$(dirname "$0")" && pwd)
log=$TMPDIR/nestegg.log
unset QT_QPA_PLATFORM AT_SPI_BUS_ADDRESS
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$program" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

if ! "$python" "$here/screen_reader_check.py"; then
    echo "--- program output ---" >&2
    cat "$log" >&2
    exit 1
fi
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended" >&2; exit 1; }
echo "PASS: each result line was shown anew as a notification and reads as its sentence"
