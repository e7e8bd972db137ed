#!/usr/bin/env bash
# Runs the built program in a virtual X server with its own session and accessibility buses, and
# lets screen_reader_check.py press Calculate over AT-SPI and read the result lines back, as a
# screen reader would. Usage: screen_reader_check.sh NESTEGG
set -euo pipefail

program=${1:?usage: screen_reader_check.sh NESTEGG}

if [[ -z ${NESTEGG_IN_SESSION:-} ]]; then
    for tool in xvfb-run xauth dbus-run-session; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
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

    # The buses, the X server and the program keep their files here, and nowhere else.
    tmp_root=${TMPDIR:-/tmp}
    work=$(mktemp -d "$tmp_root/nestegg-atspi.XXXXXX")
    trap '[[ $work == "$tmp_root"/nestegg-atspi.?????? && -d $work ]] && rm -rf -- "$work"' EXIT
    mkdir -m 700 "$work/home" "$work/runtime"
    # -noreset: the accessibility bus leaves the X server before the program comes, and a server
    # that resets when its last client leaves refuses the program meanwhile.
    status=0
    NESTEGG_IN_SESSION=1 PYTHON=$python HOME=$work/home TMPDIR=$work \
        XDG_RUNTIME_DIR=$work/runtime timeout 100 \
        xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
        dbus-run-session -- bash "$0" "$@" || status=$?
    exit "$status"
fi

here=$(cd "$(dirname "$0")" && pwd)
log=$TMPDIR/nestegg.log
unset QT_QPA_PLATFORM AT_SPI_BUS_ADDRESS
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$program" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

if ! "${PYTHON:?}" "$here/screen_reader_check.py"; then
    echo "--- program output ---" >&2
    cat "$log" >&2
    exit 1
fi
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended" >&2; exit 1; }
echo "PASS: each result line was shown anew as a notification and reads as its sentence"
