#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only those missing; or, given
# package names, those packages instead.
set -euo pipefail

packages=("$@")
[ ${#packages[@]} -gt 0 ] || packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libqt6sql6-sqlite libcurl4-openssl-dev nlohmann-json3-dev libgtest-dev libgmock-dev
    libquickfix-dev qt6-httpserver-dev qt6-websockets-dev curl
    qtkeychain-qt6-dev libsecret-1-0 gnome-keyring
    python3-aiosmtpd openssl ca-certificates spamassassin
    fonts-dejavu-core fonts-dejavu-extra fp-utils
    clang libclang-rt-14-dev
    dbus-daemon dbus-bin xvfb xauth trayer openbox x11-utils libxcb1-dev
    librsvg2-bin gzip dpkg-dev fakeroot file desktop-file-utils appstream lintian
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
