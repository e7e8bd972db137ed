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
    echo "Installing ${missing[*]}"
    local sudo=()
    if ((EUID != 0)); then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# What building the calculator needs.
BUILD_PACKAGES=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev qt6-base-dev
    fonts-liberation)
# What the tests need besides: a virtual screen and tools to drive and photograph it.
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev dpkg-dev file
    desktop-file-utils appstream locales)

# Generates a locale such as de_DE.UTF-8 when the machine lacks it.
ensure_locale() {
    local name=$1
    local normalised=${name/UTF-8/utf8}
    if locale -a 2>/dev/null | grep -qix "$normalised"; then
        return 0
    fi
    echo "Generating the $name locale"
    local sudo=()
    if ((EUID != 0)); then
        sudo=(sudo)
    fi
    if grep -q "^# *$name UTF-8" /etc/locale.gen; then
        "${sudo[@]}" sed -i "s/^# *$name UTF-8/$name UTF-8/" /etc/locale.gen
    elif ! grep -q "^$name UTF-8" /etc/locale.gen; then
        echo "$name UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${sudo[@]}" locale-gen >/dev/null
}
