#!/usr/bin/env bash
# Sets up, builds and starts Tocksley.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh build -DTOCKSLEY_BUILD_APP=ON -DTOCKSLEY_BUILD_TESTS=OFF -DTOCKSLEY_BUILD_BENCHMARKS=OFF
exec ./build/tocksley "$@"
