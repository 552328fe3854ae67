#!/usr/bin/env bash
# Times whole frames of the default world (update, every viewport, button bar, swap) in
# a private virtual X server with Mesa's software renderer, in one view and in four.
# Extra arguments go to the benchmark, e.g. --benchmark_repetitions=5.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh" runnable bench_frame >/dev/null
exec 3>&1
# Xvfb writes the display number it chose to the given descriptor.
fifo="$(mktemp -u)"
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp 4>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
read -r display <"$fifo"
DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 "$here/build/bin/bench_frame" "$@"
