#!/usr/bin/env bash
# Sets up, builds and runs every test (unit, headless GL and end-to-end under Xvfb).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh"
cd "$here/build"
ctest --output-on-failure -j"$(nproc)" "$@"
