#!/usr/bin/env bash
# Remakes the screenshots of the updater's window in its Ready, Waiting,
# Failed and Finished states (and checks its layout) by running the window
# tests: under Xvfb with a real X window when xvfb-run is there, else on the
# offscreen platform. The pictures land in BUILD/screenshots/.
#   scripts/screenshots.sh [BUILD]   (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cd "$root"
bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_ALLOW_UNSIGNED=ON -- app_tests
export QUORVEL_SCREENSHOTS="$build/screenshots"
rm -rf "$QUORVEL_SCREENSHOTS"
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
    "$build/tests/app_tests" --gtest_filter='MainWindow.*'
else
  QT_QPA_PLATFORM=offscreen "$build/tests/app_tests" --gtest_filter='MainWindow.*'
fi
ls -1 "$QUORVEL_SCREENSHOTS"
