#!/usr/bin/env bash
# Runs the whole suite through CTest, under Xvfb when there is no display.
set -euo pipefail
build=${1:-build}
jobs=$(nproc)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --test-dir "$build" --output-on-failure -j "$jobs"
fi
exec ctest --test-dir "$build" --output-on-failure -j "$jobs"
