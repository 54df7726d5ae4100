#!/usr/bin/env bash
# Builds the two Debian packages (quorvel-updater, libquorvel-dev) with CPack,
# checks them with lintian (no errors allowed), checks what each holds, and
# builds and runs both examples against the development package unpacked
# into a temporary folder with dpkg-deb -x.
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
updater=$(ls "$build"/packages/quorvel-updater_*.deb)
dev=$(ls "$build"/packages/libquorvel-dev_*.deb)

# lintian: errors fail; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$updater" "$dev" || fail "lintian reports errors"

contents() { dpkg-deb -c "$1" | awk '{print $6}'; }
for path in ./usr/lib/quorvel/DirevidUreziv ./usr/bin/DirevidUreziv ./usr/bin/webcopy ./usr/bin/quorvel-sign \
  ./usr/share/man/man1/DirevidUreziv.1.gz ./usr/share/man/man1/webcopy.1.gz ./usr/share/man/man1/quorvel-sign.1.gz; do
  contents "$updater" | grep -qx "$path" || fail "quorvel-updater lacks $path"
done
depends=$(dpkg-deb -f "$updater" Depends)
for lib in libc6 libqt6widgets6 libcurl4 libmspack0; do
  [[ $depends == *"$lib"* ]] || fail "quorvel-updater does not depend on $lib: $depends"
done
contents "$dev" | grep -q '/cmake/Quorvel/QuorvelConfig.cmake$' || fail "libquorvel-dev lacks the CMake package"
echo "packages: $(basename "$updater") depends on: $depends"

dpkg-deb -x "$dev" "$work/root"
bash "$root/scripts/run-examples.sh" "$work/root/usr" "$work/examples"
