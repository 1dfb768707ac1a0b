#!/usr/bin/env bash
# Configures and builds Quavette into ./build (Release with debug info).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUAVETTE_CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
