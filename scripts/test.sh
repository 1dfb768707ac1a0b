#!/usr/bin/env bash
# Sets up, builds and runs every test (unit, window and end-to-end).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
QUAVETTE_CMAKE_ARGS="${QUAVETTE_CMAKE_ARGS:--DQUAVETTE_WERROR=ON}" scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
