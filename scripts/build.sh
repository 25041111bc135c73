#!/usr/bin/env bash
# Configures (once) and builds the project into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build "$@"
elif [ $# -gt 0 ]; then
    cmake build "$@"
fi
cmake --build build --parallel "$jobs"
