#!/usr/bin/env bash
# Sets up, builds and starts the sandbox from its run folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh"
cd "$here/build/run"
exec ./tessivane "$@"
