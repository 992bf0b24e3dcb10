#!/usr/bin/env bash
# Replay of the 12-day trip at 600x with the map following, in a real player window under Xvfb:
# track seconds per wall second, the holds after skipped stops, ticks and recentrings (figures to
# report, not a test). Usage: bench/tracks/long-trip-replay.sh [SECONDS [WIDTH HEIGHT]]
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BUILD_DIR:-build}/bench/tools/long_trip_probe
if [ ! -x "$BIN" ]; then
  echo "long-trip-replay: $BIN is not built (cmake --build build --target long_trip_probe)" >&2
  exit 1
fi
exec xvfb-run -a -s "-screen 0 2400x1400x24" "$BIN" replay "$@"
