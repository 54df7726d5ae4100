#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60),
# seeded with the shared test cabinets.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export QT_QPA_PLATFORM=offscreen
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON -DQUORVEL_ALLOW_UNSIGNED=ON
shared="$root/../shared/cabinets"
for fuzzer in build-fuzz/tests/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="build-fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  [[ $name == cab* && -d $shared ]] && seeds=("$shared")
  [[ $name == form* ]] && seeds=("$root/resources/forms")
  [[ -d tests/fuzz/seeds/${name%_fuzz} ]] && seeds=("tests/fuzz/seeds/${name%_fuzz}")
  echo "-- $name for ${seconds}s"
  log="build-fuzz/$name.log"
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
      "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "$name found a failure (its input is saved under build-fuzz/)"
    exit 1
  fi
  grep -E '^(Done|stat::(number_of_executed_units|peak_rss_mb))' "$log"
done
