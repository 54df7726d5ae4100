#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60).
# The cabinet fuzzer starts from cabinets gcab makes here: stored and MSZIP,
# nested names, an empty file and a file of several blocks.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export QT_QPA_PLATFORM=offscreen
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON -DQUORVEL_ALLOW_UNSIGNED=ON \
  -DQUORVEL_SHARED=OFF
cabseeds=build-fuzz/seeds-cab
rm -rf "$cabseeds" build-fuzz/seeds-src
mkdir -p "$cabseeds" build-fuzz/seeds-src/sub/dir
(
  cd build-fuzz/seeds-src
  printf 'hello\n' >a.txt
  : >empty.txt
  printf 'nested file\n' >sub/dir/b.txt
  head -c 70000 /dev/zero | tr '\0' 'q' >big.txt
  gcab -c ../seeds-cab/stored.cab a.txt sub/dir/b.txt
  gcab -cz ../seeds-cab/mszip.cab a.txt empty.txt sub/dir/b.txt
  gcab -cz ../seeds-cab/blocks.cab big.txt a.txt
)
for fuzzer in build-fuzz/tests/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="build-fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  [[ $name == cab* ]] && seeds=("$cabseeds")
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
