#!/usr/bin/env bash
# Cross-builds for 64-bit Windows what the calculator links against, from Debian's own sources,
# once per machine: the smallest Qt it needs (from the qt6-base source package) and GoogleTest
# (from /usr/src/googletest). Each goes to ${XDG_CACHE_HOME:-~/.cache}/nestegg/, into a folder
# named after its version and a hash of everything that shapes its build (configure line,
# patches, toolchain file), so a later run, or another clone, finds it and builds nothing.
# Prints the two folders, Qt's first, one a line.
#
# A build happens in a work folder beside its final one and is installed there; only a complete
# install is renamed to the final name, so an interrupted run never leaves something that looks
# finished, and the next run continues the interrupted build where it stopped.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/nestegg
toolchain=$repo/windows/toolchain.cmake

# Qt's host tools (moc, rcc, uic) come from Debian's qt6-base-dev-tools; the Windows Qt must be
# the very same version for them to fit.
qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
# Core, Gui, Widgets and Test with the windows platform, and the offscreen one, which is built
# only with FreeType (on Windows it finds no fonts, so the tests use the windows platform).
# Debian's "+dfsg" source lacks src/3rdparty/wintab, hence no tablet events. No Direct2D: the
# calculator paints nothing that needs it (see the patch).
QT_CONFIGURE=(-release -shared -opensource -confirm-license -xplatform win32-g++
    -qt-host-path /usr -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-libjpeg -no-direct2d
    -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-printsupport
    -no-feature-concurrent -no-feature-vulkan -no-feature-tabletevent)
qt_patches=("$repo"/windows/qtbase-*.patch)

gtest_version=$(dpkg-query -W -f='${Version}' googletest)

# Builds what the function $3 builds, unless the cache has it already; $1 names it and $2 is
# what shapes it. The function gets the work folder and the final folder, configures with the
# final folder as prefix, and installs with DESTDIR=work/stage.
cached() {
    local name=$1 shape=$2 build=$3 key final work
    key=$(sha256sum <<<"$shape")
    final=$cache/$name-${key:0:12}
    if [[ ! -d $final ]]; then
        mkdir -p "$cache"
        # One build at a time: a second run waits for the first and then takes its result.
        exec {lock}>"$final.lock"
        flock "$lock"
        if [[ ! -d $final ]]; then
            work=$(find "$cache" -maxdepth 1 -type d -name "${final##*/}.work.*" -print -quit)
            if [[ -z $work ]]; then
                work=$(mktemp -d "$final.work.XXXXXX")
            fi
            echo "Building $name for Windows in $work" >&2
            "$build" "$work" "$final" >&2
            mv "$work/stage$final" "$final"
            rm -r "${work:?}"
        fi
        exec {lock}>&-
    fi
    echo "$final"
}

build_qt() {
    local work=$1 prefix=$2
    echo "This takes about 50 minutes on two busy cores, once."
    if [[ ! -f $work/source.done ]]; then
        fetch_qt_source "$work"
        touch "$work/source.done"
    fi
    # Qt's qt.toolchain.cmake refers to the toolchain file it was built with: a copy beside it.
    cp "$toolchain" "$prefix.toolchain.cmake"
    mkdir -p "$work/build"
    if [[ ! -f $work/build/build.ninja ]]; then
        (cd "$work/build" && "$work/source/configure" -prefix "$prefix" "${QT_CONFIGURE[@]}" -- \
            -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix.toolchain.cmake" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
    fi
    nice -n 10 cmake --build "$work/build" --parallel "$(nproc)"
    install_into_stage "$work"
}

# Debian's qt6-base source with Debian's patches and ours, through a private apt configuration
# that holds one deb-src line: the machine's own apt sources stay as they are.
fetch_qt_source() {
    local work=$1 apt=$1/apt codename patch
    # shellcheck source=/dev/null
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$work/download"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
        "http://deb.debian.org/debian $codename main" >"$apt/sources.list"
    local options=(-q -o "Dir::Etc::SourceList=$apt/sources.list"
        -o "Dir::Etc::SourceParts=$apt/none" -o "Dir::State::Lists=$apt/lists"
        -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    apt-get "${options[@]}" update
    (cd "$work/download" && apt-get "${options[@]}" source --download-only "qt6-base=$qt_version")
    if [[ -e $work/source ]]; then
        rm -r "${work:?}/source"
    fi
    # apt checked every file against Debian's signed index already.
    dpkg-source --no-check -x "$work"/download/qt6-base_*.dsc "$work/source"
    for patch in "${qt_patches[@]}"; do
        patch -d "$work/source" -p1 <"$patch"
    done
}

build_gtest() {
    local work=$1 prefix=$2
    cmake -S /usr/src/googletest -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
        -Dgtest_disable_pthreads=OFF
    nice -n 10 cmake --build "$work/build" --parallel "$(nproc)"
    install_into_stage "$work"
}

install_into_stage() {
    if [[ -e $1/stage ]]; then
        rm -r "${1:?}/stage"
    fi
    DESTDIR=$1/stage cmake --install "$1/build"
}

cached "qt-${qt_version%%+*}-windows" \
    "$(printf '%s\n' "$qt_version" "${QT_CONFIGURE[@]}" && cat "${qt_patches[@]}" "$toolchain")" \
    build_qt
cached "googletest-${gtest_version%%-*}-windows" \
    "$(echo "$gtest_version" && cat "$toolchain")" build_gtest
