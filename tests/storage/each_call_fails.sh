#!/usr/bin/env bash
# The save under every fault: each call it makes (as strace logs a real run) fails in turn with
# EIO, ENOSPC or EINTR, once and from then on, or kills it (not in place: nothing undoes that),
# on a plain and a hard-linked file, with a shorter and a longer line. The file holds the old line
# with a reason or the new one without, keeps its names, owner, mode, ACL and attributes, and
# nothing else is left in its folder after one more save.
set -euo pipefail
export saver old=40,000-old-balance scratch
saver=$(realpath "$1") scratch=$(mktemp -d)
trap '[[ $scratch == */tmp.* ]] && rm -r -- "$scratch"' EXIT && cd "$scratch"
facts() { shopt -s dotglob; stat -c '%u:%g %a %h' file1.txt && getfattr -d -m- file1.txt; echo *; }
for kind in plain linked; do
    mkdir "$kind" && cd "$kind" && printf '%s\r\n' "$old" >file1.txt
    setfacl -m u:daemon:rw file1.txt && setfattr -n user.kept -v 1 file1.txt
    [[ $kind == plain ]] || ln file1.txt other; facts >"../$kind.facts"; cd ..
    for new in 123 1,234,567,890,123,456,789.00; do  # each call: name, count in the save, in all
        cp -a "$kind" run; (cd run && strace -qq -o ../log "$saver" file1.txt "$new"); rm -r run
        awk -v run="$kind $new" '/^write\(-1, "done"/ { exit }
            /^[a-z0-9_]+\(/ { call = $0; sub(/\(.*/, "", call); at = ++count[call] }
            /^write\(-1, "save"/ { saving = split("error=EIO:when=%d error=ENOSPC:when=%d " \
                "error=EINTR:when=%d error=EIO:when=%d+ error=ENOSPC:when=%d+ " \
                "error=EINTR:when=%d+ signal=SIGKILL:when=%d", fault); next }
            saving && /^[a-z0-9_]+\(/ {
                n = ++seen[call]
                for (i = 1; i <= (run ~ /plain/ ? 7 : 6); i++)
                    printf "%s %s %d " fault[i] "\n", run, call, n, at
            }' log >>runs
    done
done

run() {  # kind, new line, call, its count in the save, fault
    local here=$scratch/r$BASHPID status=0 held=neither problem=
    cp -a "$scratch/$1" "$here" && cd "$here" || return
    local trace=(strace -qq -o "$here.log" -e trace="$3,write" -e inject="$3:$5")
    [[ $5 == signal* ]] || trace+=(--seccomp-bpf -f)  # 4 times faster, but sends no signal
    { "${trace[@]}" "$saver" file1.txt "$2" || status=$?; } 2>/dev/null
    printf '%s\r\n' "$old" | cmp -s - file1.txt && held=old
    printf '%s\r\n' "$2" | cmp -s - file1.txt && held=new
    if [[ $(awk -v c="$3(" '{ sub(/^[0-9]+ +/, "") } /"save"/ { on = 1 } on && index($0, c) == 1 {
        n++ } /INJECTED|killed by/ { print on * n; exit }' "$here.log") != "$4" ]]; then
        problem="the fault came at another call"
    elif ! [[ $status-$held =~ ^(0-new|3-old|137-old|137-new)$ ]] ||
        [[ -e other && ! file1.txt -ef other ]]; then
        problem="exit $status, the file holding $(od -An -c file1.txt | tr -s ' \n' ' ')"
    elif ! facts | cmp -s - "$scratch/$1.facts" &&
        ! { "$saver" file1.txt 5 && facts | cmp -s - "$scratch/$1.facts"; }; then
        problem="after one more save: $(facts | tr '\n' ' ')"
    fi
    [[ -z $problem ]] || echo "$1 file, new line $2, call $4 to $3, $5: $problem"
    rm -r -- "$here" "$here.log"
}
export -f run facts
xargs -r -P "$(nproc)" -L 1 bash -c 'run "$@"' run <runs | tee problems
echo "$(wc -l <runs) runs with a fault injected, $SECONDS seconds"
[[ -s runs && ! -s problems ]]
