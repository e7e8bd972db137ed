#!/usr/bin/env bash
# Packs the Debian package of the build given, then builds the program again from a copy of the
# source in another folder, minutes later, and packs that: the two packages must be the same
# byte for byte, as Debian expects of one source.
set -euo pipefail
source=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
copy=$scratch/elsewhere/nestegg

# The files as they are now, committed or not; the copy reads the commit's time through a link
# to the repository.
mkdir -p "$copy"
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$source" && git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
        xargs -0 cp -P --parents -t "$copy")
    ln -s "$(cd "$source" && git rev-parse --absolute-git-dir)" "$copy/.git"
else
    (cd "$source" && find . -path ./build -prune -o ! -type d -print0 |
        xargs -0 cp -P --parents -t "$copy")
fi

pack() {  # build folder, output folder
    (cd "$1" && cpack -G DEB -B "$2" | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
}
first=$(pack "$build" "$scratch/first")
(cd "$copy" && cmake --preset default >/dev/null &&
    cmake --build --preset default --target nestegg -j"$(nproc)" >/dev/null)
second=$(pack "$copy/build" "$scratch/second")

if ! cmp "$first" "$second"; then
    diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") >&2 || true
    for package in "$first" "$second"; do
        dpkg-deb -x "$package" "$scratch/unpacked"
        readelf -n "$scratch/unpacked/usr/bin/nestegg" | grep 'Build ID' >&2
    done
    echo "the same source packed twice gives two different packages" >&2
    exit 1
fi
echo "$(basename "$first") comes out the same from $copy"
