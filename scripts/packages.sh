# shellcheck shell=bash
# Helpers sourced by run.sh, test.sh and screenshot.sh: what they need installed and how to
# install it.

# Stops with one line saying what to do as root, where this is not root and sudo cannot help: it
# is not installed (Debian installed with a root password has none), or the user may not use it
# (is outside the sudo group). sudo -n says which without asking for a password that would be
# refused anyway; one who may use it is asked then, by as_root.
need_root() {  # what to do as root, with its command
    ((EUID != 0)) || return 0
    local why
    if ! command -v sudo >/dev/null; then
        why="sudo is not installed"
    elif [[ $(LC_ALL=C sudo -n -v 2>&1) == *"may not run sudo"* ]]; then
        why="$(id -un) may not use sudo"
    else
        return 0
    fi
    echo "$0: $why; as root, $1, then run $0 again" >&2
    exit 1
}

# Runs a command as root, through sudo when this is not root already.
as_root() {
    if ((EUID == 0)); then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs the Debian packages given as arguments that are not installed yet.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    need_root "install the packages it needs: su -c 'apt-get update && apt-get install \
--no-install-recommends ${missing[*]}'"
    echo "Installing ${missing[*]} with apt-get (its progress follows)"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# shellcheck disable=SC2034 # The package lists are read by the scripts that source this file.
# What building and running the calculator needs: the compiler and Qt, Qt's X and Wayland
# platforms, and the fonts the window names (Arial and Times New Roman come as Liberation's
# look-alikes) and the sans-serif its buttons take by default.
BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libxcb1-dev qt6-wayland fonts-liberation
    fonts-dejavu-core)
# What the tests need besides: a virtual screen and tools to drive and photograph it, the
# checkers of the desktop files and the Debian package, the accessibility bus, the Orca screen
# reader, the tools that give the saved file an ACL and extended attributes, and strace, which
# makes the save's system calls fail one by one.
# shellcheck disable=SC2034
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev dpkg-dev file
    desktop-file-utils appstream lintian locales at-spi2-core python3-pyatspi dbus orca acl attr
    strace)

# The test and benchmark libraries, the headless Wayland compositor the window is tried under,
# and the checker of the shell scripts.
TEST_PACKAGES+=(libgtest-dev libbenchmark-dev weston shellcheck)

# Generates the locales the tests run in when the machine lacks them. Each is given as its line
# of /etc/locale.gen ("de_DE.UTF-8 UTF-8", "de_DE ISO-8859-1"); locale-gen rebuilds only what
# that file lists, so every one goes into it before locale-gen runs once.
ensure_locales() {
    local line lang charset missing=() commands=()
    for line in "$@"; do
        lang=${line%%[. ]*}
        charset=${line##* }
        charset=${charset,,}
        if locale -a 2>/dev/null | grep -qx "$lang.${charset//-/}"; then
            continue
        fi
        missing+=("$line")
        commands+=("localedef -i $lang -f ${line##* } ${line% *}")
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    printf -v line '%s; ' "${commands[@]}"
    need_root "generate the locales it tests with: su -c '${line%; }'"
    for line in "${missing[@]}"; do
        if grep -qx "# *$line" /etc/locale.gen; then
            as_root sed -i "s/^# *$line\$/$line/" /etc/locale.gen
        elif ! grep -qx "$line" /etc/locale.gen; then
            echo "$line" | as_root tee -a /etc/locale.gen >/dev/null
        fi
    done
    echo "Generating the locales ${missing[*]}"
    as_root locale-gen
}
