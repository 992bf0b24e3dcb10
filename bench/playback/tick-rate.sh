#!/usr/bin/env bash
# Ticks per second of a real player window at 600x under Xvfb (a figure to report, not a test).
# Usage: bench/playback/tick-rate.sh [SECONDS] [WIDTH HEIGHT]
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BUILD_DIR:-build}/bench/bin/playback_tick_rate
if [ ! -x "$BIN" ]; then
  echo "tick-rate: $BIN is not built (cmake --build build --target playback_tick_rate)" >&2
  exit 1
fi
exec xvfb-run -a -s "-screen 0 2400x1400x24" "$BIN" "$@"
