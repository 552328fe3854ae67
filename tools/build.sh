#!/usr/bin/env bash
# Configures and builds into build/ (the ready-to-run folder is build/run).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
