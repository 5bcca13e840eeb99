#!/usr/bin/env bash
# Installs the Debian packages Brenvoll needs to build, run and test.
# Only what is missing is installed; uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
    libgl1-mesa-dev
    fonts-noto-cjk
    sqlite3 libsqlite3-dev
    poppler-utils
    python3 python3-xlrd python3-xlwt
    xdg-utils
    clang-format clang-tidy
    qt6-svg-dev
    libqt6svg6
    postgresql libpq-dev libqt6sql6-psql
    libsodium-dev
    libqcustomplot-dev libqcustomplot2.1-qt6
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
