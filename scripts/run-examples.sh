#!/usr/bin/env bash
# Builds the programs of examples/ against an installed Quorvel alone and
# runs them:
#   scripts/run-examples.sh PREFIX WORK
# PREFIX is the installed tree (holding lib*/cmake/Quorvel), WORK a scratch
# folder. The download example fetches a cabinet made by gcab from a local
# HTTP server on a free loopback port and unpacks it; its files must come out
# byte for byte. The GUI example runs offscreen, saves a picture of its window
# and exits by itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(cd "$1" && pwd)
work=$2
mkdir -p "$work"

server=""
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null || true; }
trap cleanup EXIT

fail() { echo "examples: FAILED: $*" >&2; exit 1; }

for example in cabinet-download html-button headless-update; do
  # No package registry, no build tree: only what PREFIX holds.
  cmake -S "$root/examples/$example" -B "$work/build-$example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/$example.configure.log" 2>&1 ||
    { cat "$work/$example.configure.log"; fail "$example does not configure"; }
  found=$(sed -n 's/^Quorvel_DIR:PATH=//p' "$work/build-$example/CMakeCache.txt")
  case "$found" in "$prefix"/*) ;; *) fail "$example found Quorvel in '$found', not below $prefix" ;; esac
  cmake --build "$work/build-$example" >"$work/$example.build.log" 2>&1 ||
    { cat "$work/$example.build.log"; fail "$example does not build"; }
done

# A cabinet with a file in a subfolder, served over HTTP.
mkdir -p "$work/files/sub" "$work/site" "$work/download"
printf 'hello from the package\n' >"$work/files/readme.txt"
head -c 300000 /dev/urandom >"$work/files/sub/data.bin"
(cd "$work/files" && gcab -c -z "$work/site/package.cab" readme.txt sub/data.bin)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/site" "$port" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done

"$work/build-cabinet-download/cabinet-download" "http://127.0.0.1:$port/package.cab" "$work/download" |
  tee "$work/cabinet-download.log" || fail "cabinet-download exited with an error"
cmp "$work/files/readme.txt" "$work/download/unpacked/readme.txt" || fail "readme.txt differs"
cmp "$work/files/sub/data.bin" "$work/download/unpacked/sub/data.bin" || fail "sub/data.bin differs"

# The headless update installs the same package into a product folder, then
# finds the product current.
mkdir -p "$work/product"
printf 'old readme\n' >"$work/product/readme.txt"
"$work/build-headless-update/headless-update" "http://127.0.0.1:$port/package.cab" "$work/product" \
  >"$work/headless-update.log" || { cat "$work/headless-update.log"; fail "headless-update did not install"; }
cmp "$work/files/readme.txt" "$work/product/readme.txt" || fail "the updated readme.txt differs"
cmp "$work/files/sub/data.bin" "$work/product/sub/data.bin" || fail "the updated sub/data.bin differs"
"$work/build-headless-update/headless-update" "http://127.0.0.1:$port/package.cab" "$work/product" |
  grep -q "Your version is current" || fail "headless-update did not find the product current"

export QT_QPA_PLATFORM=offscreen
"$work/build-html-button/html-button" --grab "$work/html-button.png" 2>/dev/null || fail "html-button --grab failed"
[ -s "$work/html-button.png" ] || fail "html-button saved no picture"
timeout 30 "$work/build-html-button/html-button" --quit-after 200 2>/dev/null || fail "html-button --quit-after failed"
echo "examples: all three built against $prefix and ran"
