#!/usr/bin/env bash
# Configures and builds into build/ (the ready-to-run folder is build/run): everything, or
# only the targets named, e.g. tools/build.sh runnable.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
