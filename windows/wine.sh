#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of the build's own, never ~/.wine; ctest
# runs the Windows tests through it. The prefix is made on first use, with Arial and Times New
# Roman drawn by the Liberation fonts: Wine has neither, and without a stand-in a window asking
# for them draws no text at all.
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

if [[ ! -f $WINEPREFIX/nestegg-ready ]]; then
    mkdir -p "$WINEPREFIX"
    exec {lock}>"$WINEPREFIX.lock"
    flock "$lock"
    if [[ ! -f $WINEPREFIX/nestegg-ready ]]; then
        wineboot --init >/dev/null 2>&1
        replacements='HKCU\Software\Wine\Fonts\Replacements'
        wine reg add "$replacements" /v Arial /d "Liberation Sans" /f >/dev/null 2>&1
        wine reg add "$replacements" /v "Times New Roman" /d "Liberation Serif" /f >/dev/null 2>&1
        touch "$WINEPREFIX/nestegg-ready"
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
