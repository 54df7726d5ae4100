#!/usr/bin/env bash
# Builds the Debian packages (quorvel-tools, libquorvel1, libquorvel-widgets1,
# libquorvel-dev) with CPack,
# checks them with lintian --pedantic (nothing above information allowed),
# checks what each holds and that the shared libraries still export every
# symbol listed in packaging/abi/ (scripts/update-abi.sh writes those lists),
# and builds and runs the examples (a vendor's own
# updater among them) against the packages unpacked into a temporary folder
# with dpkg-deb -x.
#   DIST_BUILD  the build folder (default build-dist, shared with
#               scripts/check-install.sh)
# The packages are left in DIST_BUILD/packages/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DIST_BUILD:-$root/build-dist}
work=$(mktemp -d /tmp/quorvel-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "packages: FAILED: $*" >&2; exit 1; }

bash "$root/scripts/build-dist.sh" "$build"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
tools=$(ls "$build"/packages/quorvel-tools_*.deb)
dev=$(ls "$build"/packages/libquorvel-dev_*.deb)
# With QUORVEL_SHARED the two shared libraries come in packages of their own.
shared=$(sed -n 's/^QUORVEL_SHARED:BOOL=//p' "$build/CMakeCache.txt")
runtime=""
widgets=""
if [ "$shared" = ON ]; then
  runtime=$(ls "$build"/packages/libquorvel1_*.deb)
  widgets=$(ls "$build"/packages/libquorvel-widgets1_*.deb)
  count=4
else
  count=2
fi
[ "$(ls "$build"/packages/*.deb | wc -l)" = $count ] || fail "cpack made other packages: $(ls "$build"/packages)"

# lintian: warnings, pedantic tags and errors all fail; information is shown.
lintian --pedantic --fail-on error,warning,pedantic --tag-display-limit 0 "$tools" $runtime $widgets "$dev" ||
  fail "lintian reports more than information"

# Each package's file list, read whole first: a `grep -q` that stops reading
# early would otherwise fail the listing itself under pipefail, at random.
dpkg-deb -c "$tools" | awk '{print $6}' >"$work/tools.list"
dpkg-deb -c "$dev" | awk '{print $6}' >"$work/dev.list"
for path in ./usr/bin/webcopy ./usr/bin/quorvel-sign ./usr/share/man/man1/webcopy.1.gz \
  ./usr/share/man/man1/quorvel-sign.1.gz ./usr/share/doc/quorvel-tools/copyright; do
  grep -qx "$path" "$work/tools.list" || fail "quorvel-tools lacks $path"
done
grep -q "/DirevidUreziv$" "$work/tools.list" "$work/dev.list" && fail "a generic package carries an updater"
depends=$(dpkg-deb -f "$tools" Depends)
for lib in libc6 libqt6core6 libcurl4; do
  [[ $depends == *"$lib"* ]] || fail "quorvel-tools does not depend on $lib: $depends"
done
for pattern in '/cmake/Quorvel/QuorvelConfig.cmake$' '/cmake/Quorvel/QuorvelAddUpdater.cmake$' \
  '/share/quorvel/updater/main.cpp$' '/doc/libquorvel-dev/copyright$'; do
  grep -q "$pattern" "$work/dev.list" || fail "libquorvel-dev lacks $pattern"
done
[ "$(dpkg-deb -f "$dev" Multi-Arch)" = same ] || fail "libquorvel-dev is not Multi-Arch: same"
# Each runtime package holds its library under its SONAME, the development
# package the link a program is linked through.
if [ "$shared" = ON ]; then
  dpkg-deb -c "$runtime" | awk '{print $6}' >"$work/runtime.list"
  dpkg-deb -c "$widgets" | awk '{print $6}' >"$work/widgets.list"
  grep -q '/libquorvel\.so\.1$' "$work/runtime.list" || fail "libquorvel1 lacks libquorvel.so.1"
  grep -q '/libquorvel-widgets\.so\.1$' "$work/widgets.list" || fail "libquorvel-widgets1 lacks libquorvel-widgets.so.1"
  grep -q '/libquorvel\.so$' "$work/dev.list" || fail "libquorvel-dev lacks the link libquorvel.so"
  grep -q '\.a$' "$work/dev.list" && fail "libquorvel-dev carries static archives"
  [[ $(dpkg-deb -f "$dev" Depends) == *"libquorvel1 (= "* ]] || fail "libquorvel-dev does not depend on libquorvel1"
  [[ $(dpkg-deb -f "$runtime" Depends) != *libqt6widgets* ]] || fail "libquorvel1 depends on Qt Widgets"
fi
echo "packages: $(basename "$tools") depends on: $depends"

dpkg-deb -x "$dev" "$work/root"
dpkg-deb -x "$tools" "$work/root"

# The interface: a symbol listed in packaging/abi/ but gone from its library
# breaks every program linked against an earlier build. New ones are shown.
[ "$shared" = ON ] && dpkg-deb -x "$runtime" "$work/root" && dpkg-deb -x "$widgets" "$work/root"
for library in $([ "$shared" = ON ] && echo libquorvel.so.1 libquorvel-widgets.so.1); do
  [ -f "$root/packaging/abi/$library.symbols" ] ||
    fail "no packaging/abi/$library.symbols: scripts/update-abi.sh writes it"
  file=$(find "$work/root" -name "$library")
  bash "$root/scripts/list-abi.sh" "$file" >"$work/$library.symbols"
  gone=$(LC_ALL=C comm -23 "$root/packaging/abi/$library.symbols" "$work/$library.symbols")
  [ -z "$gone" ] || fail "$library no longer exports: $gone"
  added=$(LC_ALL=C comm -13 "$root/packaging/abi/$library.symbols" "$work/$library.symbols" | wc -l)
  echo "packages: $library exports every listed symbol ($added new; scripts/update-abi.sh lists them)"
done
bash "$root/scripts/run-examples.sh" "$work/root/usr" "$work/examples"

# The packages installed as a user installs them (as root, on a machine that
# does not have them yet): a program of one's own, every warning an error,
# built through CMake and through pkg-config with nothing but the system's
# paths, runs; then the packages are removed again.
if [ "$(id -u)" = 0 ] && ! dpkg-query -W libquorvel-dev >/dev/null 2>&1; then
  trap 'dpkg -r libquorvel-dev quorvel-tools libquorvel-widgets1 libquorvel1 >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  dpkg -i "$tools" $runtime $widgets "$dev" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
  mkdir -p "$work/own"
  cat >"$work/own/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(Own LANGUAGES CXX)
find_package(Quorvel CONFIG REQUIRED COMPONENTS Transfer Cabinet Widgets)
add_executable(own main.cpp)
target_compile_options(own PRIVATE -Wall -Wextra -Werror)
target_link_libraries(own PRIVATE Quorvel::Transfer Quorvel::Cabinet Quorvel::Widgets)
CMAKE
  printf '%s\n' '#include <quorvel/WebCopy.h>' '#include <quorvel/XiProgressBar.h>' '#include <quorvel/cabfiles.h>' \
    '#include <quorvel/version.h>' '#include <cstdio>' \
    'int main() {' '    quorvel::TWebCopy copy;' '    quorvel::TCABFile cab;' \
    '    std::printf("%s %s\n", QUORVEL_VERSION_STRING, qPrintable(copy.Version()));' \
    '    return cab.IsWholeCabinet() ? 1 : 0;' '}' >"$work/own/main.cpp"
  cmake -S "$work/own" -B "$work/own/build" -G Ninja >"$work/own.log" 2>&1 &&
    cmake --build "$work/own/build" >>"$work/own.log" 2>&1 || { cat "$work/own.log"; fail "a program against the installed packages (CMake)"; }
  "$work/own/build/own" | grep -q "^$(dpkg-deb -f "$dev" Version | sed 's/-.*//') " || fail "the CMake-built program does not run"
  c++ -std=c++20 -Wall -Wextra -Werror -o "$work/own/own-pc" "$work/own/main.cpp" \
    $(pkg-config --cflags --libs quorvel quorvel-widgets) || fail "a program against the installed packages (pkg-config)"
  "$work/own/own-pc" >/dev/null || fail "the pkg-config-built program does not run"
  dpkg -r libquorvel-dev quorvel-tools libquorvel-widgets1 libquorvel1 >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; fail "dpkg -r"; }
  echo "packages: installed with dpkg -i, a program of one's own built through CMake and pkg-config ran, removed with dpkg -r"
fi
