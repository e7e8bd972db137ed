#!/usr/bin/env bash
# Works the Windows package as a user would, under Wine in the caller's X display: installs it
# silently, starts the program from its Start-menu entry (with DLLs from its own folder only),
# presses Calculate, photographs the window and reads the result back from the picture, presses
# Cancel and finds the line in the profile folder, uninstalls silently and finds nothing left
# but that file. The zip must hold the very files the installer installs, the uninstall entry
# their size. MODE is AllUsers or CurrentUser, the installer's switch; for the current user
# nothing new may appear outside the profile folder or in HKLM.
set -euo pipefail
usage="usage: check_installer.sh WINEPREFIX SETUP ZIP OUTPUT_DIR MODE"
prefix=${1:?$usage} setup=${2:?$usage} zip=${3:?$usage} outdir=${4:?$usage} mode=${5:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
caption='Dar Uridizo Dodode Vozo Rov  (v1.0)'
product='Nest Egg Calculator'
# What Calculate shows for the window's starting inputs: the projection, the goal line's figure.
expected=("Your \$40,000 will grow to \$280,544.16 if left in a tax deferred account for 27 years"
    "while growing at consistent 5% per year." "add \$2,850 per month")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ -n ${DISPLAY:-} ]] || fail "needs an X display (scripts/windows.sh gives one)"
run() {  # a Windows program, with nothing on its path but its own folder
    bash "$here/wine.sh" "$prefix" "" "$@"
}
windows_path() {
    run winepath -w "$1" | tr -d '\r'
}
# Waits up to ten seconds for the command given to succeed.
wait_for() {
    for _ in $(seq 50); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
# Everything on drive C but the folders of temporary files.
drive_c() {
    (cd "$prefix/drive_c" &&
        find . -path '*/Temp' -prune -o -path ./windows/temp -prune -o -print) | sort
}
registered() {
    run reg query "$uninstall_key" /v DisplayName 2>/dev/null | grep -q "$product"
}
machine_registry() {  # HKLM, a line a value
    run reg export HKLM "$(windows_path "$outdir/hklm.reg")" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$outdir/hklm.reg" | sort
}

mkdir -p "$outdir"
profile=$(run cmd /c echo %USERPROFILE% | tr -d '\r')
saved=$(run winepath -u "$profile\\file1.txt" | tr -d '\r')
home=$(realpath --relative-to="$prefix/drive_c" "$(dirname "$saved")")
case $mode in  # where the program, its Start-menu entry and its uninstall entry go
AllUsers) programs="Program Files" menu=ProgramData hive=HKLM ;;
CurrentUser) programs=$home/AppData/Local/Programs menu=$home/AppData/Roaming hive=HKCU ;;
*) fail "$usage" ;;
esac
folder="$prefix/drive_c/$programs/$product"
menu_entry="$prefix/drive_c/$menu/Microsoft/Windows/Start Menu/Programs/$product.lnk"
uninstall_key="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NestEggCalculator"
rm -f "$saved"
before=$(drive_c)
machine_before=$(machine_registry)

run "$(windows_path "$setup")" /S "/$mode"
[[ -f $menu_entry ]] || fail "no Start-menu entry $menu_entry"
registered || fail "no \"$product\" among the installed programs in $hive"
if [[ $mode == CurrentUser ]]; then
    outside=$(comm -13 <(echo "$before") <(drive_c) | grep -v "^\./$home/" || true)
    [[ -z $outside ]] || fail "installing for the current user wrote outside $home: $outside"
    machine=$(comm -13 <(echo "$machine_before") <(machine_registry) | grep -i 'nest *egg' || true)
    [[ -z $machine ]] || fail "installing for the current user wrote into HKLM: $machine"
fi
size=$(find "$folder" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "0x%x", s / 1024 }')
run reg query "$uninstall_key" /v EstimatedSize | grep -q "REG_DWORD *$size\b" ||
    fail "the uninstall entry's EstimatedSize is not the $size KB installed"
installed=$(cd "$folder" && find . -type f ! -name uninstall.exe | sed 's|^\./||' | sort)
zipped=$(cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
[[ $installed == "$zipped" ]] ||
    fail "the installer and the zip differ: $(diff <(echo "$installed") <(echo "$zipped"))"

run start /wait "$(windows_path "$menu_entry")" &
program=$!
shown() { window=$(xdotool search --onlyvisible --name "^${caption//[()]/.}\$" | head -n1); }
wait_for shown || fail "the window did not appear"
sleep 1
# Calculate sits at 4080,3600 twips, 1695x495, Cancel at 2520,3600, 1335x495: their middles are
# 328,256 and 212,256 in pixels. The pointer then leaves, so that no button is drawn hovered.
xdotool mousemove --window "$window" 328 256 click 1 mousemove 0 0
sleep 1
picture=$outdir/installed_window_$mode.png
import -window "$window" -define png:exclude-chunks=date,time "$picture" || fail "no screenshot"
echo "screenshot: $picture"
# Read three times the size, as tesseract reads small screen text best.
reading=$(convert "$picture" -resize 300% -colorspace Gray png:- |
    tesseract - - --psm 6 2>/dev/null | tr '\n' ' ')
for text in "${expected[@]}"; do
    [[ $reading == *"$text"* ]] || fail "the window does not show \"$text\"; it reads: $reading"
done

xdotool mousemove --window "$window" 212 256 click 1 mousemove 0 0
wait_for test -f "$saved" || fail "Cancel wrote no $saved"
[[ $(od -An -c "$saved" | tr -d ' ') == '40,000\r\n' ]] ||
    fail "Cancel wrote $(od -An -c "$saved") into $saved, not 40,000"
# Closed as Windows closes a program, and gone before its files are removed.
run taskkill /im nestegg.exe >/dev/null
ended() { ! run taskkill /im nestegg.exe >/dev/null 2>&1; }
wait_for ended || fail "the program did not end when closed"
wait "$program"

# The uninstaller hands over to a copy of itself in the temporary folder and returns: its last
# step unregisters the program.
run "$(windows_path "$folder/uninstall.exe")" /S
wait_for eval '! registered' || fail "the program is still among the installed programs"
sleep 1
left=$(comm -13 <(echo "$before") <(drive_c))
[[ $left == "./$(realpath --relative-to="$prefix/drive_c" "$saved")" ]] ||
    fail "uninstalling left more than file1.txt on drive C: $left"
rm "$saved"
echo "PASS ($mode): installed, calculated, saved in the profile, uninstalled but for file1.txt"
