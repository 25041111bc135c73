#!/usr/bin/env bash
# Installs the Debian packages Snipwave needs to build, test and run.
# Quick when everything is already there: it only calls apt-get for what is missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins libqt5svg5-dev
    qttools5-dev qttools5-dev-tools
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
    libtag1-dev libmpg123-dev qttranslations5-l10n
    # tests: an independent decoder, an encoder and a speech synthesiser for fixtures
    ffmpeg lame espeak-ng
    # the fuzz target's sanitizer build (fuzz/CMakeLists.txt)
    clang
    # the Debian package and its checks
    dpkg-dev file fakeroot lintian appstream desktop-file-utils
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
