#!/usr/bin/env bash
# Sets up, builds and starts the sandbox from its run folder: tools/run.sh [window options] [--record FILE] [scene file]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh" runnable
args=("$@")
# The program runs from build/run, so a scene file named from here is passed by its full
# path; the paths inside it still count from the run folder.
if [ $# -gt 0 ]; then
  last="${args[$#-1]}"
  if [ "${last#-}" = "$last" ] && [ -f "$last" ]; then
    args[$#-1]="$(cd "$(dirname "$last")" && pwd)/$(basename "$last")"
  fi
fi
cd "$here/build/run"
exec ./tessivane "${args[@]}"
