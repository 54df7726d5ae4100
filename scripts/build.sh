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
# With Ninja, moc's step reruns only for headers it has already seen: when the
# set of headers changes, make it look at every folder again.
sum=$(cd "$root" && find . -name '*.h' -not -path './build*' -not -path './.git/*' | sort | md5sum)
if [ "$(cat "$dir/.headers.sum" 2>/dev/null)" != "$sum" ]; then
  find "$dir" -path '*_autogen/timestamp' -delete
  echo "$sum" >"$dir/.headers.sum"
fi
if ((${#targets[@]})); then
  cmake --build "$dir" --target "${targets[@]}"
else
  cmake --build "$dir"
fi
