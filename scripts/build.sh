#!/usr/bin/env bash
# Configures and builds Tocksley. Usage: scripts/build.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
cd "$(dirname "$0")/.."

buildDir=${1:-build}
shift || true

cmake -S . -B "$buildDir" -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$buildDir" --parallel "$(nproc)"
