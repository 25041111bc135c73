#!/usr/bin/env bash
# Builds the Debian package build/snipwave_VERSION-RELEASE_ARCH.deb: installs
# what is missing, configures and builds when needed, then runs CPack.
# Install it with: sudo apt install ./build/snipwave_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
rm -f snipwave_*.deb
cpack -G DEB
ls snipwave_*.deb
