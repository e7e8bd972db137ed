#!/usr/bin/env bash
# Helpers sourced by run.sh and test.sh: what they need installed and how to install it.

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
    echo "Installing ${missing[*]} with apt-get (its progress follows)"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# What building the calculator needs.
BUILD_PACKAGES=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev qt6-base-dev
    libxcb1-dev fonts-liberation)
# What the tests need besides: a virtual screen and tools to drive and photograph it, the
# checkers of the desktop files and the Debian package, the accessibility bus, the Orca screen
# reader, and the tools that give the saved file an ACL and extended attributes.
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev dpkg-dev file
    desktop-file-utils appstream lintian locales at-spi2-core python3-pyatspi dbus orca acl attr)

# Generates the locales the tests run in when the machine lacks them. Each is given as its line
# of /etc/locale.gen ("de_DE.UTF-8 UTF-8", "de_DE ISO-8859-1"); locale-gen rebuilds only what
# that file lists, so every one goes into it before locale-gen runs once.
ensure_locales() {
    local line lang charset missing=()
    for line in "$@"; do
        lang=${line%%[. ]*}
        charset=${line##* }
        charset=${charset,,}
        if locale -a 2>/dev/null | grep -qx "$lang.${charset//-/}"; then
            continue
        fi
        missing+=("$line")
        if grep -qx "# *$line" /etc/locale.gen; then
            as_root sed -i "s/^# *$line\$/$line/" /etc/locale.gen
        elif ! grep -qx "$line" /etc/locale.gen; then
            echo "$line" | as_root tee -a /etc/locale.gen >/dev/null
        fi
    done
    if ((${#missing[@]} > 0)); then
        echo "Generating the locales ${missing[*]}"
        as_root locale-gen
    fi
}
