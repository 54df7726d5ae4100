#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh DIR [extra cmake arguments...] [-- targets...]
set -euo pipefail
dir=$1; shift
cmake_args=(); targets=()
while (($#)); do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  cmake_args+=("$1"); shift
done
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$dir" -G Ninja "${cmake_args[@]}" >/dev/null
if ((${#targets[@]})); then
  cmake --build "$dir" --target "${targets[@]}"
else
  cmake --build "$dir"
fi
