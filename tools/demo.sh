#!/usr/bin/env bash
# Sets up and builds, then records a few seconds of the sandbox without a display:
#   tools/demo.sh [OUT_FOLDER] [--seconds N] [--every N] [--world NAME] [--size WxH]
#   tools/demo.sh --replay FILE OUT_FOLDER [--size WxH]   (every update of a recorded session)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh" >/dev/null
exec python3 "$here/tools/demo.py" "$@"
