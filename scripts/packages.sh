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
# What the tests need besides: a virtual screen and tools to drive and photograph it, and the
# checkers of the desktop files and the Debian package.
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev dpkg-dev file
    desktop-file-utils appstream lintian locales)

# Generates a locale such as de_DE.UTF-8 when the machine lacks it.
ensure_locale() {
    local name=$1
    local normalised=${name/UTF-8/utf8}
    if locale -a 2>/dev/null | grep -qix "$normalised"; then
        return 0
    fi
    echo "Generating the $name locale"
    if grep -q "^# *$name UTF-8" /etc/locale.gen; then
        as_root sed -i "s/^# *$name UTF-8/$name UTF-8/" /etc/locale.gen
    elif ! grep -q "^$name UTF-8" /etc/locale.gen; then
        echo "$name UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen >/dev/null
}
