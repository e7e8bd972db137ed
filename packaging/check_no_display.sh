#!/usr/bin/env bash
# Starts the program where no window can open: without DISPLAY, with a DISPLAY that no X server
# serves, and with a WAYLAND_DISPLAY that no compositor serves. Each time it must end with status
# 1 and one line naming the problem and how to see the window, not abort inside Qt (status 134)
# with a page of plugin diagnostics.
set -euo pipefail
program=$1
ulimit -c 0

# A display number nothing serves: no lock file, no socket (named or abstract), no TCP port.
unused_display() {
    local n tries
    for ((tries = 0, n = 500 + RANDOM % 400; tries < 400; tries++, n++)); do
        [[ -e /tmp/.X$n-lock ]] && continue
        grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix && continue
        (exec 3<>"/dev/tcp/127.0.0.1/$((6000 + n))") 2>/dev/null && continue
        echo ":$n"
        return 0
    done
    return 1
}

failures=0
expect_one_line() {  # what_it_must_say env-arguments...
    local says=$1 status=0 message
    shift
    message=$(env -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u QT_QPA_PLATFORM "$@" \
        timeout 10 "$program" 2>&1 >/dev/null) || status=$?
    if ((status != 1)) || [[ $(wc -l <<<"$message") -ne 1 || $message != *"$says"*"ssh -X"* ]]; then
        echo "FAIL with $*: status $status, expected 1 and one line saying \"$says\" and ssh -X:" >&2
        echo "$message" >&2
        failures=$((failures + 1))
    else
        echo "$*: $message"
    fi
}

display=$(unused_display) || { echo "no unused display number found" >&2; exit 1; }
expect_one_line "no display found" -u DISPLAY
expect_one_line "cannot open the display $display" DISPLAY="$display"
expect_one_line "cannot open the Wayland display none" -u DISPLAY WAYLAND_DISPLAY=none
((failures == 0))
