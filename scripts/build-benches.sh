#!/usr/bin/env bash
# Builds every bench's programs without running them, in a build folder of
# the project that is already built (the test command's), so only the
# benches' own programs are compiled: bench/CMakeLists.txt adds them as the
# target "benches" (bench/delta and the transfer benches use quorvel-sign
# and webcopy, built there too). A bench that no longer builds fails here.
#   scripts/build-benches.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?usage: scripts/build-benches.sh BUILD_DIR}
cmake -S "$root" -B "$dir" -DQUORVEL_BENCHES=ON >/dev/null
cmake --build "$dir" --target benches
