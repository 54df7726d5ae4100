#!/usr/bin/env bash
# Builds the two Debian packages (quorvel-tools, libquorvel-dev) with CPack,
# checks them with lintian --pedantic (nothing above information allowed),
# checks what each holds, and builds and runs the examples (a vendor's own
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
[ "$(ls "$build"/packages/*.deb | wc -l)" = 2 ] || fail "cpack made other packages: $(ls "$build"/packages)"

# lintian: warnings, pedantic tags and errors all fail; information is shown.
lintian --pedantic --fail-on error,warning,pedantic --tag-display-limit 0 "$tools" "$dev" ||
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
echo "packages: $(basename "$tools") depends on: $depends"

dpkg-deb -x "$dev" "$work/root"
dpkg-deb -x "$tools" "$work/root"
bash "$root/scripts/run-examples.sh" "$work/root/usr" "$work/examples"
