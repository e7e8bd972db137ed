#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of the build's own, never ~/.wine; ctest
# runs the Windows tests through it. The prefix is made on first use, with the settings in
# wine.reg.
# Usage: wine.sh PREFIX DLL_FOLDERS PROGRAM [ARGUMENT...]
# DLL_FOLDERS, Unix folders joined by ":", go on the program's path (Qt's and MinGW's DLLs).
set -euo pipefail

export WINEPREFIX=${1:?usage: wine.sh PREFIX DLL_FOLDERS PROGRAM [ARGUMENT...]}
dll_folders=${2?usage: wine.sh PREFIX DLL_FOLDERS PROGRAM [ARGUMENT...]}
shift 2
# Qt Test writes to the debugger when a program has no console; +debugstr prints that.
export WINEDEBUG=-all,+debugstr WINEARCH=win64
# No Mono and Gecko installers asking to be run, and no menu entries or file types written into
# the desktop of the user running the tests.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# Caches made under Wine (Mesa compiles shaders for Wine's X11 driver) stay in the prefix, not in
# the home folder of the user running the tests.
export XDG_CACHE_HOME=$WINEPREFIX/cache

winepath=
IFS=: read -r -a folders <<<"$dll_folders"
for folder in "${folders[@]}"; do
    winepath+="Z:${folder//\//\\};"
done
export WINEPATH=$winepath

# The prefix takes the settings in wine.reg when it is made, and again whenever they change.
settings=$(dirname "$0")/wine.reg
applied=$WINEPREFIX/nestegg-settings.reg
if ! cmp -s "$settings" "$applied"; then
    mkdir -p "$WINEPREFIX"
    exec {lock}>"$WINEPREFIX.lock"
    flock "$lock"
    if ! cmp -s "$settings" "$applied"; then
        # Wine's background programs, started here, live on: they must not inherit the lock.
        wineboot --init >/dev/null 2>&1 {lock}>&-
        wine regedit /S "$(winepath -w "$settings" {lock}>&-)" >/dev/null 2>&1 {lock}>&-
        cp "$settings" "$applied"
    fi
    exec {lock}>&-
fi

# Wine starts its background programs (the desktop, the COM server) with whichever program
# first needs them, and they inherit its output. Into a file, that output cannot keep ctest
# waiting for them to end.
output=$(mktemp "$WINEPREFIX.output.XXXXXX")
trap 'rm -f "$output"' EXIT
status=0
wine "$@" >"$output" 2>&1 </dev/null || status=$?
cat "$output"
exit "$status"
