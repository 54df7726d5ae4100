#!/usr/bin/env bash
# Builds the programs of examples/ against an installed Quorvel alone and
# runs them:
#   scripts/run-examples.sh PREFIX WORK
# PREFIX is the installed tree (holding lib*/cmake/Quorvel), WORK a scratch
# folder. The download example fetches a cabinet made by gcab from a local
# HTTP server on a free loopback port and unpacks it; its files must come out
# byte for byte. The GUI example runs offscreen, saves a picture of its window
# and exits by itself. The vendor's updater (quorvel_add_updater, with a key
# made by PREFIX/bin/quorvel-sign) updates a product folder under /opt from a
# signed package, headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(cd "$1" && pwd)
work=$2
mkdir -p "$work"

server=""
product=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  [ -n "$product" ] && rm -rf "$product"
}
trap cleanup EXIT

fail() { echo "examples: FAILED: $*" >&2; exit 1; }

# The server's port and the vendor's key come first: the vendor's updater is
# built for them.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
head -c 24 /dev/urandom | base64 >"$work/release.pass"
key=$("$prefix/bin/quorvel-sign" keygen "$work/release.pem" --passphrase-file "$work/release.pass")

for example in cabinet-download html-button headless-update vendor-updater; do
  # No package registry, no build tree: only what PREFIX holds.
  # As a careful user builds their own program: every warning an error.
  cmake -S "$root/examples/$example" -B "$work/build-$example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    "-DPRODUCT_UPDATE_URL=http://127.0.0.1:$port/downloads/DirevidUreziv.cab" "-DPRODUCT_UPDATE_KEY=$key" \
    >"$work/$example.configure.log" 2>&1 ||
    { cat "$work/$example.configure.log"; fail "$example does not configure"; }
  found=$(sed -n 's/^Quorvel_DIR:PATH=//p' "$work/build-$example/CMakeCache.txt")
  case "$found" in "$prefix"/*) ;; *) fail "$example found Quorvel in '$found', not below $prefix" ;; esac
  cmake --build "$work/build-$example" >"$work/$example.build.log" 2>&1 ||
    { cat "$work/$example.build.log"; fail "$example does not build"; }
done

# The include folder holds quorvel/ alone: its public headers, and what they
# need below quorvel/detail.
include_dir=$prefix/include
[ "$(ls "$include_dir")" = quorvel ] || fail "the include folder holds more than quorvel/: $(ls "$include_dir")"
for header in WebCopy.h cabfiles.h TUpdate.h version.h; do
  [ -f "$include_dir/quorvel/$header" ] || fail "no <quorvel/$header>"
done
for header in JobLoop.h WCopyThread.h TFileOps.h DateTime.h Graphics.h; do
  [ ! -e "$include_dir/quorvel/$header" ] || fail "<quorvel/$header> is installed as a public header"
done

# A console program of cabinets alone: its package looks for no libcurl, and
# it links no Qt Widgets, Gui or DBus.
mkdir -p "$work/cabinet-only"
cat >"$work/cabinet-only/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(CabinetOnly LANGUAGES CXX)
find_package(Quorvel CONFIG REQUIRED COMPONENTS Cabinet)
add_executable(cabinet-only main.cpp)
target_link_libraries(cabinet-only PRIVATE Quorvel::Cabinet)
CMAKE
printf '#include <quorvel/cabfiles.h>\nint main(int argc, char** argv) {\n    quorvel::TCABFile cab;\n    cab.SetCABFile(argc > 1 ? argv[1] : "");\n    return cab.IsWholeCabinet() ? 0 : 3;\n}\n' >"$work/cabinet-only/main.cpp"
cmake -S "$work/cabinet-only" -B "$work/build-cabinet-only" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/cabinet-only.configure.log" 2>&1 ||
  { cat "$work/cabinet-only.configure.log"; fail "a Cabinet-only program does not configure"; }
! grep -qi '^CURL_' "$work/build-cabinet-only/CMakeCache.txt" || fail "find_package(Quorvel COMPONENTS Cabinet) looked for libcurl"
cmake --build "$work/build-cabinet-only" >"$work/cabinet-only.build.log" 2>&1 ||
  { cat "$work/cabinet-only.build.log"; fail "a Cabinet-only program does not build"; }
# Every library it loads, through the libraries it links.
needed=$(ldd "$work/build-cabinet-only/cabinet-only" | awk '{print $1}' | tr '\n' ' ')
case "$needed" in *Qt6Widgets* | *Qt6Gui* | *Qt6DBus*) fail "a Cabinet-only program loads $needed" ;; esac
[ "$("$work/build-cabinet-only/cabinet-only" /nonexistent.cab; echo $?)" = 3 ] || fail "the Cabinet-only program does not run"

# pkg-config users: the same download example from quorvel.pc alone (its
# libraries in link order), and <quorvel/version.h>.
pc_dir=$(dirname "$(find "$prefix/lib" -name quorvel.pc | head -n 1)")
printf '#include <quorvel/version.h>\n#include <cstdio>\nint main() { std::printf("%%d.%%d.%%d %%s\\n", QUORVEL_VERSION_MAJOR, QUORVEL_VERSION_MINOR, QUORVEL_VERSION_PATCH, QUORVEL_VERSION_STRING); }\n' >"$work/version.cpp"
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs quorvel) || fail "pkg-config does not know quorvel"
# The prefix's library folder is no system one: the programs find it through their run path.
libdir=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --variable=libdir quorvel)
flags="-Wall -Wextra -Werror $flags -Wl,-rpath,$libdir"
c++ -o "$work/version" "$work/version.cpp" $flags || fail "<quorvel/version.h> does not build"
c++ -o "$work/cabinet-download-pc" "$root/examples/cabinet-download/main.cpp" $flags >"$work/pc.build.log" 2>&1 ||
  { cat "$work/pc.build.log"; fail "cabinet-download does not build with pkg-config"; }
version=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --modversion quorvel)
[ "$("$work/version")" = "$version $version" ] || fail "version.h says '$("$work/version")', quorvel.pc $version"

# A cabinet with a file in a subfolder, served over HTTP.
mkdir -p "$work/files/sub" "$work/site" "$work/download"
printf 'hello from the package\n' >"$work/files/readme.txt"
head -c 300000 /dev/urandom >"$work/files/sub/data.bin"
(cd "$work/files" && gcab -c -z "$work/site/package.cab" readme.txt sub/data.bin)
# Dated an hour back, so that a package installed now is plainly newer than
# the server's copy (the date rule compares in two-second steps).
touch -d '1 hour ago' "$work/site/package.cab"
# The same package as the vendor publishes it: release 2 with its signed statement.
mkdir -p "$work/site/downloads"
cp "$work/site/package.cab" "$work/site/downloads/DirevidUreziv.cab"
"$prefix/bin/quorvel-sign" statement "$work/release.pem" "$work/site/downloads/DirevidUreziv.cab" \
  --product "Example Product" --release 2 --passphrase-file "$work/release.pass" >/dev/null
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
rm -rf "$work/download"
"$work/cabinet-download-pc" "http://127.0.0.1:$port/package.cab" "$work/download" >/dev/null ||
  fail "cabinet-download built with pkg-config exited with an error"
cmp "$work/files/sub/data.bin" "$work/download/unpacked/sub/data.bin" || fail "pkg-config build: sub/data.bin differs"

# The vendor's updater, installed into a product folder under /opt as it
# ships (release 1), installs the signed release 2 without a display.
cmake --install "$work/build-vendor-updater" --prefix "$work/vendor" >/dev/null
mkdir -p /opt
product=$(mktemp -d /opt/quorvel-example.XXXXXX)
cp -a "$work/vendor/opt/example-product/." "$product/"
printf 'old readme\n' >"$product/readme.txt"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LD_LIBRARY_PATH="$libdir" \
  "$product/example-product-updater" --update --folder "$product" \
  >"$work/vendor-updater.log" 2>&1 || { cat "$work/vendor-updater.log"; fail "the vendor's updater did not install"; }
cmp "$work/files/readme.txt" "$product/readme.txt" || fail "the vendor's updater: readme.txt differs"
cmp "$work/files/sub/data.bin" "$product/sub/data.bin" || fail "the vendor's updater: sub/data.bin differs"
[ "$(cat "$product/.DirevidUreziv.release")" = 2 ] || fail "the vendor's updater did not record release 2"

# The headless update installs the same package into a product folder, then
# finds the product current.
mkdir -p "$work/product"
printf 'old readme\n' >"$work/product/readme.txt"
"$work/build-headless-update/headless-update" "http://127.0.0.1:$port/package.cab" "$work/product" \
  >"$work/headless-update.log" || { cat "$work/headless-update.log"; fail "headless-update did not install"; }
cmp "$work/files/readme.txt" "$work/product/readme.txt" || fail "the updated readme.txt differs"
cmp "$work/files/sub/data.bin" "$work/product/sub/data.bin" || fail "the updated sub/data.bin differs"
"$work/build-headless-update/headless-update" "http://127.0.0.1:$port/package.cab" "$work/product" \
  >"$work/headless-update-again.log" || true
grep -q "Your version is current" "$work/headless-update-again.log" ||
  { cat "$work/headless-update-again.log"; fail "headless-update did not find the product current"; }

export QT_QPA_PLATFORM=offscreen
"$work/build-html-button/html-button" --grab "$work/html-button.png" 2>/dev/null || fail "html-button --grab failed"
[ -s "$work/html-button.png" ] || fail "html-button saved no picture"
timeout 30 "$work/build-html-button/html-button" --quit-after 200 2>/dev/null || fail "html-button --quit-after failed"
echo "examples: all four built against $prefix and ran"
