#!/usr/bin/env bash
# Writes the lists of symbols the shared libraries export
# (packaging/abi/<library>.symbols) from a build folder, after an intended
# change of the libraries' interface; scripts/check-packages.sh fails when a
# listed symbol is gone.
#   scripts/update-abi.sh [BUILD]   (default build-dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-dist}
for library in libquorvel.so.1 libquorvel-widgets.so.1; do
  file=$(find "$build" -maxdepth 1 -name "$library" | head -n 1)
  [ -n "$file" ] || { echo "update-abi: no $library in $build" >&2; exit 1; }
  bash "$root/scripts/list-abi.sh" "$file" >"$root/packaging/abi/$library.symbols"
  echo "update-abi: $(wc -l <"$root/packaging/abi/$library.symbols") symbols of $library"
done
